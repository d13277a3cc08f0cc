// Presenting on X11 screens with the canvas's 32-bit layout: straight
// through the server's shared memory, or, where the server has none or it
// fails, the pixels sent in the requests. SDL's own present waits for the
// server's answer after every picture, which wakes the game a second time
// each frame; here the picture is sent and the game goes on. Other screens
// present through SDL's window surface (app/sdl_present.*).
#pragma once

#include <memory>

#include "app/presenter.h"

struct SDL_Window;

// Null when the window is not an X11 one or its screen cannot show the
// canvas's pixels as they are. Shared memory where the server has it and
// every attach checks out; otherwise, and through FallBack once shared
// memory fails later (at a new size, an attach or a put), no shared memory
// at all. Called once, when the window opens; format is the pixel layout
// the canvas is to take. Built only where X11 is (KESTRANE_X11_PRESENT).
std::unique_ptr<WindowPresent> OpenX11Present(SDL_Window* window, PixelFormat& format);
