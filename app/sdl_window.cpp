#include "app/sdl_window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/sdl_present.h"
#ifdef KESTRANE_X11_PRESENT
#include "app/x11_present.h"
#endif

#ifdef KESTRANE_X11_SCALE
#include <SDL_syswm.h>
#endif

namespace {

// The driver choice, all of it: which window systems the environment names.
struct DriverChoice {
  bool explicitDriver = false;    // the user named one in SDL_VIDEODRIVER: SDL's choice alone
  const char* display = nullptr;  // the X display, for messages and the XWayland fallback
};

// False, with the reason, when there is no window system to try.
bool ChooseVideoDriver(DriverChoice& choice, std::string& error) {
#if defined(_WIN32)
  // Windows has one window system, always there; Wine passes DISPLAY on,
  // which must not pick a driver the Windows build does not have.
  choice.explicitDriver = true;
  (void)error;
#elif !defined(__EMSCRIPTEN__)
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  choice.explicitDriver = driver != nullptr && *driver != '\0';
  choice.display = std::getenv("DISPLAY");
  const bool wayland = std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (choice.explicitDriver) return true;
  // Without a display SDL quietly falls back to an invisible offscreen
  // window; a player would see nothing, so say so instead.
  if (choice.display == nullptr && !wayland) {
    error = "no window system to open the game window on (DISPLAY is not set)";
    return false;
  }
  // Only the window systems the environment names: when the X server named
  // by DISPLAY cannot be reached, SDL would otherwise try Wayland too and its
  // library would add complaints of its own to ours.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland ? "wayland,x11" : "x11");
#else
  // In the browser the window is the page's canvas, always there.
  choice.explicitDriver = true;
  // The game sleeps only in WaitEvent; SDL would also yield to the browser
  // after every picture, in the middle of the game's own drawing.
  SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
  (void)error;
#endif
  return true;
}

#ifdef KESTRANE_X11_SCALE
// Xft.dpi from the X server's resources, the scale most X desktops set; 0
// when there is none.
int XftDpi(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  const char* resources = XResourceManagerString(info.info.x11.display);
  if (resources == nullptr) return 0;
  for (const char* line = resources; line != nullptr && *line != '\0';) {
    if (std::strncmp(line, "Xft.dpi:", 8) == 0) return std::atoi(line + 8);
    line = std::strchr(line, '\n');
    if (line != nullptr) ++line;
  }
  return 0;
}
#endif

// The whole factor by which the desktop wants programs enlarged where it
// leaves the enlarging to them (X11, Windows): GDK_SCALE where it is set, as
// GTK programs take it, otherwise Xft.dpi or the monitor's DPI in whole
// 96ths; never so large that the window would not fit the screen.
int DesktopScale(SDL_Window* window, int width, int height, int maxScale) {
  int scale = 1;
  const char* gdk = std::getenv("GDK_SCALE");
  if (gdk != nullptr && std::atoi(gdk) >= 1) {
    scale = std::atoi(gdk);
  } else {
#ifdef KESTRANE_X11_SCALE
    scale = std::max(scale, XftDpi(window) / 96);
#endif
#ifdef _WIN32
    // The monitor's own DPI: the manifest makes the game aware of it per
    // monitor, so Windows neither shrinks nor blurs the window itself.
    float dpi = 0;
    const int monitor = std::max(SDL_GetWindowDisplayIndex(window), 0);
    if (SDL_GetDisplayDPI(monitor, nullptr, &dpi, nullptr) == 0) {
      scale = std::max(scale, static_cast<int>(dpi) / 96);
    }
#endif
  }
  SDL_Rect usable;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display >= 0 && SDL_GetDisplayUsableBounds(display, &usable) == 0) {
    scale = std::min(scale, std::min(usable.w / width, usable.h / height));
  }
  return std::clamp(scale, 1, maxScale);
}

bool IsDriver(const char* name) {
  const char* current = SDL_GetCurrentVideoDriver();
  return current != nullptr && std::strcmp(current, name) == 0;
}

// Opens the window on the video driver running now; out has a window and a
// present, or neither and error says why.
void OpenOnDriver(int width, int height, int maxScale, GameWindow& out, std::string& error) {
  const bool wayland = IsDriver("wayland");
  // A software window surface is far cheaper than a GL renderer on a
  // software-rendered X server, and the game needs nothing more. Wayland has
  // no software surface, and some X screens (10 bits a channel) none that SDL
  // can describe: there the surface is a texture drawn by SDL's renderer.
  for (const char* accelerate : {wayland ? "1" : "0", "1"}) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, accelerate);
    // Wayland scales by the output's factor itself, given a window that asks.
    SDL_Window* window =
        SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                         SDL_WINDOW_HIDDEN | (wayland ? SDL_WINDOW_ALLOW_HIGHDPI : 0));
    if (window == nullptr) {
      error = std::string("cannot create the game window: ") + SDL_GetError();
      return;
    }
    if (!wayland) {
      const int scale = DesktopScale(window, width, height, maxScale);
      if (scale > 1) {
        SDL_SetWindowSize(window, width * scale, height * scale);
        SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      }
    }
#ifdef KESTRANE_X11_PRESENT
    if (!wayland) out.present = OpenX11Present(window, out.format, width * maxScale);
#endif
    SDL_Surface* ws = out.present ? nullptr : SDL_GetWindowSurface(window);
    if (ws != nullptr) {
      if (ws->format->BytesPerPixel == 4) {
        out.format =
            PixelFormat::FromMasks(ws->format->Rmask, ws->format->Gmask, ws->format->Bmask);
      }
      out.present = OpenSurfacePresent(window, out.format, width * maxScale);
    }
    if (out.present) {
      out.window = window;
      return;
    }
    error = std::string("the game window cannot show pictures on this screen: ") + SDL_GetError();
    SDL_DestroyWindow(window);
    if (std::strcmp(accelerate, "1") == 0) break;
    // SDL decides on the texture path once per start of its video part.
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) break;
  }
}

}  // namespace

GameWindow OpenGameWindow(int width, int height, int maxScale, std::string& error) {
  GameWindow out;
  DriverChoice choice;
  if (!ChooseVideoDriver(choice, error)) return out;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error =
        std::string("cannot open the window system") +
        (choice.display != nullptr ? std::string(" on display ") + choice.display : std::string()) +
        ": " + SDL_GetError();
    return out;
  }
  if (!choice.explicitDriver && IsDriver("offscreen")) {
    SDL_Quit();
    error = "no window system to open the game window on";
    return out;
  }
  const bool wayland = IsDriver("wayland");
  OpenOnDriver(width, height, maxScale, out, error);
  if (out.window != nullptr) return out;
  // A Wayland session that cannot show our window (no GL there) may still
  // have XWayland, where a software surface needs nothing more.
  if (choice.explicitDriver || !wayland || choice.display == nullptr) return out;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return out;
  OpenOnDriver(width, height, maxScale, out, error);
  return out;
}
