// Presenting on X11 screens of 24 bits (the canvas's 32-bit layout) and 16:
// straight through the server's shared memory, or, where the server has
// none, it fails or the screen is of 16 bits, the pixels sent in the
// requests. SDL's own present waits for the server's answer after every
// picture, which wakes the game a second time each frame; here the picture
// is sent and the game goes on. Other screens (30 bits) present through
// SDL's window surface (app/sdl_present.*).
#pragma once

#include <memory>

#include "app/presenter.h"

struct SDL_Window;

// Null when the window is not an X11 one or its screen is neither of 24
// bits in 8-bit channels nor of 15 or 16. Shared memory on a 24-bit screen
// whose server has it and where every attach checks out; otherwise, and
// through FallBack once shared memory fails later (at a new size, an attach
// or a put), no shared memory at all. Called once, when the window opens;
// format is the pixel layout the canvas is to take (kept on 16-bit
// screens, whose pixels are converted with one enlarged row of widestRow).
// Built only where X11 is (KESTRANE_X11_PRESENT).
std::unique_ptr<WindowPresent> OpenX11Present(SDL_Window* window, PixelFormat& format,
                                              int widestRow);
