// Presenting on X11 straight through the server's shared memory. SDL's own
// present waits for the server's answer after every picture, which wakes the
// game a second time each frame; here the picture is sent and the game goes
// on. Only where the server shares memory and its screen has the canvas's
// 32-bit layout; everywhere else, and from the first failure on, SDL's
// window surface presents (app/sdl_present.*).
#pragma once

#include <memory>

#include "app/presenter.h"

struct SDL_Window;

// Null when the window is not an X11 one, the server cannot share its memory
// with us (no MIT-SHM, segments refused, or attached in another IPC
// namespace) or cannot show the canvas's pixels as they are. Called once,
// when the window opens; format is the pixel layout the canvas is to take.
// Its Begin or Send fails, and stays failed, when shared memory fails later:
// at a new size, an attach or a put. Built only where X11 is
// (KESTRANE_X11_PRESENT).
std::unique_ptr<WindowPresent> OpenX11Present(SDL_Window* window, PixelFormat& format);
