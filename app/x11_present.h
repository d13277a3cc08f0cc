// Presenting on X11 straight through the server's shared memory. SDL's own
// present waits for the server's answer after every picture, which wakes the
// game a second time each frame; here the picture is sent and the game goes
// on. Only where the server shares memory and its screen has the canvas's
// 32-bit layout; everywhere else SDL's window surface presents.
#pragma once

#include <memory>

#include "app/presenter.h"

struct SDL_Window;

class X11Present {
 public:
  // Null when the window is not an X11 one or the server cannot share its
  // memory or show the canvas's pixels as they are. Called once, when the
  // window opens; format is the pixel layout the canvas is to take. Built
  // only where X11 is (KESTRANE_X11_PRESENT).
  static std::unique_ptr<X11Present> Create(SDL_Window* window, PixelFormat& format);
  virtual ~X11Present() = default;

  // The window's pixels at width x height, made afresh (black) when the
  // size changed, and whether they were; null when no memory can be had.
  virtual const WindowPixels* Pixels(int width, int height, bool& fresh) = 0;
  // Sends the rectangle of the pixels to the window without waiting.
  virtual void Send(const WindowRect& r) = 0;
};
