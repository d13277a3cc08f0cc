// Opening the game window: which video driver, the fallbacks when a window
// system cannot show it, and the desktop's scale.
#pragma once

#include <memory>
#include <string>

#include "app/x11_present.h"
#include "assets/surface.h"

struct SDL_Window;

// Starts SDL's video part on the window system the environment names and
// opens the hidden, centred window of width x height logical units, enlarged
// by the desktop's whole scale factor (at most maxScale). Null and a
// one-line reason when there is no window system or the window cannot show
// pictures. format is the window's pixel layout, which the canvas shares.
// x11 is set where the window presents through X11's shared memory rather
// than SDL's window surface. Called once, by SdlPlatform::Create.
SDL_Window* OpenGameWindow(int width, int height, int maxScale, PixelFormat& format,
                           std::unique_ptr<X11Present>& x11, std::string& error);
