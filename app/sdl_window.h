// Opening the game window: which video driver, the fallbacks when a window
// system cannot show it, and the desktop's scale.
#pragma once

#include <memory>
#include <string>

#include "app/presenter.h"
#include "assets/surface.h"

struct SDL_Window;

struct GameWindow {
  SDL_Window* window = nullptr;  // null when it could not be opened
  PixelFormat format;            // the window's pixel layout, which the canvas shares
  // X11 shared memory where the server has it (app/x11_present.*),
  // otherwise SDL's window surface (app/sdl_present.*).
  std::unique_ptr<WindowPresent> present;
};

// Starts SDL's video part on the window system the environment names and
// opens the hidden, centred window of width x height logical units, enlarged
// by the desktop's whole scale factor (at most maxScale), and chooses how
// pictures reach it. No window and a one-line reason when there is no window
// system or the window cannot show pictures. Called once, by
// SdlPlatform::Create.
GameWindow OpenGameWindow(int width, int height, int maxScale, std::string& error);
