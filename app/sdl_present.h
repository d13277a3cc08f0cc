// Presenting through SDL's window surface: software pixels sent by SDL, or
// where SDL has no software surface (Wayland, 10-bit X screens) a texture
// drawn by its renderer. Works wherever the window can show pictures at all;
// the shared-memory path falls back to it.
#pragma once

#include <memory>

#include "app/presenter.h"

struct SDL_Window;

// Null when the window has no surface (the screen cannot show pictures);
// canvas is the canvas's pixel layout, converted where the surface's differs.
std::unique_ptr<WindowPresent> OpenSurfacePresent(SDL_Window* window, const PixelFormat& canvas,
                                                  int widestRow);
