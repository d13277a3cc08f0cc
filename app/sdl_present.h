// Presenting through SDL's window surface: software pixels sent by SDL, or
// where SDL has no software surface (Wayland, 10-bit X screens) a texture
// drawn by its renderer. Works wherever the window can show pictures at all;
// the shared-memory path falls back to it.
#pragma once

#include <cstdint>
#include <memory>

#include "app/presenter.h"

struct SDL_Window;

// Canvas pixels into a window of another format (16-bit screens), by SDL.
class SdlConverter : public PixelConverter {
 public:
  // to: the window's SDL pixel format.
  SdlConverter(const PixelFormat& canvas, uint32_t to);
  void Convert(const uint32_t* from, int count, uint8_t* to) override;
  void SetTarget(uint32_t to) { to_ = to; }
  uint32_t Source() const { return from_; }  // the canvas's SDL pixel format

 private:
  uint32_t from_, to_;
};

// Null when the window has no surface (the screen cannot show pictures);
// canvas is the canvas's pixel layout, converted where the surface's differs.
std::unique_ptr<WindowPresent> OpenSurfacePresent(SDL_Window* window, const PixelFormat& canvas,
                                                  int widestRow);
