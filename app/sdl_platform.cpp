#include "app/sdl_platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/link.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

// SDL key symbols to the window system's virtual-key codes the game expects.
int16_t VirtualKey(SDL_Keycode sym) {
  switch (sym) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    default: break;
  }
  // A letter key's code is its capital letter's, a digit key's its digit's.
  if (sym >= SDLK_a && sym <= SDLK_z) return static_cast<int16_t>('A' + (sym - SDLK_a));
  if (sym >= SDLK_0 && sym <= SDLK_9) return static_cast<int16_t>('0' + (sym - SDLK_0));
  return 0;
}

int16_t ShiftState(uint16_t mod) {
  int16_t s = 0;
  if (mod & KMOD_SHIFT) s |= 1;
  if (mod & KMOD_CTRL) s |= 2;
  if (mod & KMOD_ALT) s |= 4;
  return s;
}

uint8_t MaskShift(uint32_t mask) {
  uint8_t shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

}  // namespace

std::unique_ptr<SdlPlatform> SdlPlatform::Create(std::string& error) {
#ifndef __EMSCRIPTEN__
  // Without a display SDL quietly falls back to an invisible offscreen
  // window; a player would see nothing, so say so instead.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const bool explicitDriver = driver != nullptr && *driver != '\0';
  if (!explicitDriver && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr) {
    error = "no window system to open the game window on (DISPLAY is not set)";
    return nullptr;
  }
  // A software window surface is far cheaper than a GL renderer on a
  // software-rendered X server, and the game needs nothing more.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Only the window systems the environment names: when the X server named
  // by DISPLAY cannot be reached, SDL would otherwise try Wayland too and its
  // library would add complaints of its own to ours.
  const char* display = std::getenv("DISPLAY");
  if (!explicitDriver) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER,
                std::getenv("WAYLAND_DISPLAY") != nullptr ? "wayland,x11" : "x11");
  }
#else
  // In the browser the window is the page's canvas, always there.
  const bool explicitDriver = true;
  const char* display = nullptr;
  // The game sleeps only in WaitEvent; SDL would also yield to the browser
  // after every picture, in the middle of the game's own drawing.
  SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
#endif
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    error = std::string("cannot open the window system") +
            (display != nullptr ? std::string(" on display ") + display : std::string()) + ": " +
            SDL_GetError();
    return nullptr;
  }
  const char* current = SDL_GetCurrentVideoDriver();
  if (!explicitDriver && current != nullptr && std::strcmp(current, "offscreen") == 0) {
    SDL_Quit();
    error = "no window system to open the game window on";
    return nullptr;
  }
  std::unique_ptr<SdlPlatform> p(new SdlPlatform());
  p->window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 400, 400,
                                SDL_WINDOW_HIDDEN);
  if (p->window_ == nullptr) {
    error = std::string("cannot create the game window: ") + SDL_GetError();
    return nullptr;
  }
  SDL_Surface* ws = SDL_GetWindowSurface(p->window_);
  if (ws != nullptr && ws->format->BytesPerPixel == 4) {
    p->format_ = {MaskShift(ws->format->Rmask), MaskShift(ws->format->Gmask),
                  MaskShift(ws->format->Bmask)};
  }
  return p;
}

SdlPlatform::~SdlPlatform() {
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_Quit();
}

void SdlPlatform::SetIcon(const Surface& icon) {
  const uint32_t rmask = 0xFFu << format_.rshift, gmask = 0xFFu << format_.gshift,
                 bmask = 0xFFu << format_.bshift;
  SDL_Surface* s = SDL_CreateRGBSurfaceFrom(const_cast<uint32_t*>(icon.Row(0)), icon.Width(),
                                            icon.Height(), 32, icon.Width() * 4, rmask, gmask,
                                            bmask, 0);
  if (s == nullptr) return;
  SDL_SetWindowIcon(window_, s);
  SDL_FreeSurface(s);
}

void SdlPlatform::ShowWindow() {
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  if (shown_ != nullptr) Present(*shown_);
}

uint32_t SdlPlatform::Now() { return SDL_GetTicks(); }

bool SdlPlatform::WaitEvent(Event& e, uint32_t timeoutMs) {
  const uint32_t start = SDL_GetTicks();
  for (;;) {
    // Events the game does not see must not stretch the wait.
    const uint32_t elapsed = SDL_GetTicks() - start;
    const uint32_t left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
    SDL_Event ev;
#ifdef __EMSCRIPTEN__
    // SDL's own wait would wake the page every millisecond. One sleep hands
    // the browser the time to the deadline (at most kWebWaitStepMs, so input
    // is never left long); what came in meanwhile is taken when it ends. It
    // ends a millisecond past the deadline: waking a fraction of one early
    // would cost a second, short sleep, which the browser stretches to 4 ms.
    constexpr uint32_t kWebWaitStepMs = 25;
    if (SDL_PollEvent(&ev) == 0) {
      if (left == 0) return false;
      emscripten_sleep(left <= kWebWaitStepMs * 2 ? left + 1 : kWebWaitStepMs);
      continue;
    }
#else
    int got = left == 0 ? SDL_PollEvent(&ev) : SDL_WaitEventTimeout(&ev, static_cast<int>(left));
    if (got == 0) return false;
#endif
    switch (ev.type) {
      case SDL_QUIT:
        e = {};
        e.type = Event::Type::Close;
        return true;
      case SDL_WINDOWEVENT:
        if (ev.window.event == SDL_WINDOWEVENT_CLOSE) {
          e = {};
          e.type = Event::Type::Close;
          return true;
        }
        if ((ev.window.event == SDL_WINDOWEVENT_EXPOSED ||
             ev.window.event == SDL_WINDOWEVENT_RESTORED ||
             ev.window.event == SDL_WINDOWEVENT_SHOWN) &&
            shown_ != nullptr) {
          Present(*shown_);
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        e = {};
        e.type = ev.type == SDL_KEYDOWN ? Event::Type::KeyDown : Event::Type::KeyUp;
        e.key = VirtualKey(ev.key.keysym.sym);
        e.shift = ShiftState(ev.key.keysym.mod);
        return true;
      case SDL_MOUSEMOTION:
        e = {};
        e.type = Event::Type::MouseMove;
        e.x = static_cast<float>(ev.motion.x);
        e.y = static_cast<float>(ev.motion.y);
        e.shift = ShiftState(SDL_GetModState());
        return true;
      case SDL_MOUSEBUTTONDOWN:
        e = {};
        e.type = Event::Type::MouseDown;
        e.button = ev.button.button;
        e.x = static_cast<float>(ev.button.x);
        e.y = static_cast<float>(ev.button.y);
        e.shift = ShiftState(SDL_GetModState());
        return true;
      default:
        break;
    }
  }
}

void SdlPlatform::Present(const Surface& canvas) {
  shown_ = &canvas;
  SDL_Surface* ws = SDL_GetWindowSurface(window_);
  if (ws == nullptr) return;
  if (SDL_MUSTLOCK(ws)) SDL_LockSurface(ws);
  const int w = std::min(canvas.Width(), ws->w), h = std::min(canvas.Height(), ws->h);
  if (ws->format->BytesPerPixel == 4) {
    for (int y = 0; y < h; ++y) {
      std::memcpy(static_cast<uint8_t*>(ws->pixels) + static_cast<size_t>(y) * ws->pitch,
                  canvas.Row(y), static_cast<size_t>(w) * 4);
    }
  } else {
    // Rare displays of another depth: let SDL convert.
    const uint32_t fmt = SDL_MasksToPixelFormatEnum(32, 0xFFu << format_.rshift,
                                                    0xFFu << format_.gshift,
                                                    0xFFu << format_.bshift, 0);
    SDL_ConvertPixels(w, h, fmt, canvas.Row(0), canvas.Width() * 4, ws->format->format, ws->pixels,
                      ws->pitch);
  }
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
  SDL_UpdateWindowSurface(window_);
}

void SdlPlatform::OpenUrl(const char* url) {
#ifdef __EMSCRIPTEN__
  // The browser resolves an address relative to the game's page.
  SDL_OpenURL(url);
#else
  char* base = SDL_GetBasePath();
  SDL_OpenURL(AddressFromFolder(base != nullptr ? base : "./", url).c_str());
  SDL_free(base);
#endif
}

void SdlPlatform::SetCaption(const char* caption) { SDL_SetWindowTitle(window_, caption); }
