// Where the canvas lands in a window of any size, the copy of its rows
// there, and the door through which pictures reach the window. Pure: a
// window surface is just pixels, a pitch and a size here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "assets/surface.h"

struct WindowRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// The canvas in a window: each canvas pixel a scale x scale square, the top
// left corner at (x, y). The largest whole scale that fits, at least 1,
// centred on black; in a window smaller than the canvas, the canvas starts
// at the window's edge and only cols x rows of it show.
struct Placement {
  int scale = 1;
  int x = 0, y = 0;
  int cols = 0, rows = 0;

  // Called by SdlPlatform at each present, with the window surface's size.
  static Placement Fit(int canvasWidth, int canvasHeight, int windowWidth, int windowHeight,
                       int maxScale);
  // The window pixels canvas rows [first, end) cover, inside the window.
  WindowRect Rows(int first, int end) const;
  // The canvas pixel under a window pixel; outside the picture it lies
  // beyond the canvas's edges (negative or past its size).
  int CanvasX(int windowX) const { return FloorDiv(windowX - x, scale); }
  int CanvasY(int windowY) const { return FloorDiv(windowY - y, scale); }

 private:
  static int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
};

// Writes converted pixels into the window: for a window whose pixel format is
// not the canvas's (16-bit screens). Null when the formats match.
class PixelConverter {
 public:
  virtual ~PixelConverter() = default;
  // Converts count canvas pixels into the window's format at to.
  virtual void Convert(const uint32_t* from, int count, uint8_t* to) = 0;
};

// A window's pixels: bytesPerPixel is 4 unless a converter is given.
struct WindowPixels {
  uint8_t* pixels = nullptr;
  int pitch = 0;
  int bytesPerPixel = 4;
};

// Copies canvas rows [first, end) into the window as placed, enlarged and
// clipped to the window. wideRow holds one enlarged row (canvas width x
// scale pixels) and is used only with a converter. Returns the rectangle
// written, empty when no row is shown.
WindowRect DrawRows(const Surface& canvas, int first, int end, const Placement& at,
                    const WindowPixels& window, PixelConverter* convert, uint32_t* wideRow);

// One way of getting pictures into the window (app/sdl_present.*: SDL's
// window surface; app/x11_present.*: X11 shared memory), chosen when the
// window opens. Each present is a Begin, rows drawn into its pixels, a Send.
class WindowPresent {
 public:
  struct Frame {
    WindowPixels pixels;
    int width = 0, height = 0;          // the pixels' size
    int windowWidth = 0;                // the window's width in its coordinates (Wayland's scale)
    PixelConverter* convert = nullptr;  // for pixels of another format than the canvas's
    uint32_t* wideRow = nullptr;        // one enlarged row, used with convert
    bool fresh = false;  // new pixels, black: the canvas is placed afresh and drawn whole
  };
  virtual ~WindowPresent() = default;
  // The window's pixels at its size now; false when there are none to be had.
  virtual bool Begin(Frame& f) = 0;
  // Sends the rectangle of the pixels to the window (an empty one: nothing,
  // but the present is over); false when that failed.
  virtual bool Send(const WindowRect& r) = 0;
  // The present that takes over for good when this one has failed (X11's
  // shared memory gives way to plain requests); null when there is none.
  virtual std::unique_ptr<WindowPresent> FallBack() { return nullptr; }
};
