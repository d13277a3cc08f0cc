#include "app/sdl_platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/fatal.h"
#include "app/link.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif
#ifdef KESTRANE_X11_SCALE
#include <SDL_syswm.h>
#endif

namespace {

// The keypad's arrow keys with NumLock off.
int16_t KeypadArrow(const SDL_Keysym& k) {
  if (k.mod & KMOD_NUM) return 0;
  switch (k.scancode) {
    case SDL_SCANCODE_KP_4: return kVkLeft;
    case SDL_SCANCODE_KP_8: return kVkUp;
    case SDL_SCANCODE_KP_6: return kVkRight;
    case SDL_SCANCODE_KP_2: return kVkDown;
    default: return 0;
  }
}

// SDL keys to the window system's virtual-key codes the game expects.
int16_t VirtualKey(const SDL_Keysym& k) {
  switch (k.sym) {
    case SDLK_ESCAPE: return kVkEscape;
    case SDLK_SPACE: return kVkSpace;
    case SDLK_LEFT: return kVkLeft;
    case SDLK_UP: return kVkUp;
    case SDLK_RIGHT: return kVkRight;
    case SDLK_DOWN: return kVkDown;
    default: break;
  }
  if (const int16_t arrow = KeypadArrow(k)) return arrow;
  // A letter key's code is its capital letter's, a digit key's its digit's.
  if (k.sym >= SDLK_a && k.sym <= SDLK_z) return static_cast<int16_t>('A' + (k.sym - SDLK_a));
  if (k.sym >= SDLK_0 && k.sym <= SDLK_9) return static_cast<int16_t>('0' + (k.sym - SDLK_0));
  // A layout whose key gives no Latin character (Cyrillic, Greek, ...): the
  // letter or digit that sits at the same place on a US keyboard.
  const bool nonLatin = k.sym >= 0x80 && (k.sym & SDLK_SCANCODE_MASK) == 0;
  if (nonLatin && k.scancode >= SDL_SCANCODE_A && k.scancode <= SDL_SCANCODE_Z) {
    return static_cast<int16_t>('A' + (k.scancode - SDL_SCANCODE_A));
  }
  if (nonLatin && k.scancode >= SDL_SCANCODE_1 && k.scancode <= SDL_SCANCODE_0) {
    return static_cast<int16_t>(k.scancode == SDL_SCANCODE_0 ? '0'
                                                              : '1' + (k.scancode - SDL_SCANCODE_1));
  }
  return 0;
}

bool IsArrow(int16_t key) { return key >= kVkLeft && key <= kVkDown; }

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

// SDL releases every held key when the window loses the keyboard: those
// key-ups come in one run straight before the focus-lost event.
bool FocusLossFollows() {
  SDL_Event pending[16];
  const int n = SDL_PeepEvents(pending, 16, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
  for (int i = 0; i < n; ++i) {
    if (pending[i].type == SDL_WINDOWEVENT &&
        pending[i].window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
      return true;
    }
    if (pending[i].type != SDL_KEYUP) return false;
  }
  return false;
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
int DesktopScale(SDL_Window* window) {
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
    scale = std::min(scale, std::min(usable.w / SdlPlatform::kWidth,
                                     usable.h / SdlPlatform::kHeight));
  }
  return std::clamp(scale, 1, SdlPlatform::kMaxScale);
}

}  // namespace

std::unique_ptr<SdlPlatform> SdlPlatform::Create(std::string& error) {
#if defined(_WIN32)
  // Windows has one window system, always there; Wine passes DISPLAY on,
  // which must not pick a driver the Windows build does not have.
  const bool explicitDriver = true;
  const char* display = nullptr;
#elif !defined(__EMSCRIPTEN__)
  // Without a display SDL quietly falls back to an invisible offscreen
  // window; a player would see nothing, so say so instead.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const bool explicitDriver = driver != nullptr && *driver != '\0';
  if (!explicitDriver && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr) {
    error = "no window system to open the game window on (DISPLAY is not set)";
    return nullptr;
  }
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
  if (!p->OpenWindow(error)) {
    // A Wayland session that cannot show our window (no GL there) may still
    // have XWayland, where a software surface needs nothing more.
    const bool wayland = current != nullptr && std::strcmp(current, "wayland") == 0;
    if (explicitDriver || !wayland || display == nullptr) return nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0 || !p->OpenWindow(error)) return nullptr;
  }
  // Without controllers the keyboard plays alone.
  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
  return p;
}

bool SdlPlatform::OpenWindow(std::string& error) {
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool wayland = driver != nullptr && std::strcmp(driver, "wayland") == 0;
  // A software window surface is far cheaper than a GL renderer on a
  // software-rendered X server, and the game needs nothing more. Wayland has
  // no software surface, and some X screens (10 bits a channel) none that SDL
  // can describe: there the surface is a texture drawn by SDL's renderer.
  for (const char* accelerate : {wayland ? "1" : "0", "1"}) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, accelerate);
    // Wayland scales by the output's factor itself, given a window that asks.
    window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight,
                               SDL_WINDOW_HIDDEN | (wayland ? SDL_WINDOW_ALLOW_HIGHDPI : 0));
    if (window_ == nullptr) {
      error = std::string("cannot create the game window: ") + SDL_GetError();
      return false;
    }
    if (!wayland) {
      const int scale = DesktopScale(window_);
      if (scale > 1) {
        SDL_SetWindowSize(window_, kWidth * scale, kHeight * scale);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      }
    }
    SDL_Surface* ws = SDL_GetWindowSurface(window_);
    if (ws != nullptr) {
      int windowWidth = kWidth;
      SDL_GetWindowSize(window_, &windowWidth, nullptr);
      mouseScale_ = std::max(1, windowWidth / kWidth);
      if (ws->format->BytesPerPixel == 4) {
        format_ = {MaskShift(ws->format->Rmask), MaskShift(ws->format->Gmask),
                   MaskShift(ws->format->Bmask)};
      }
      wideRow_.resize(static_cast<size_t>(kWidth) * kMaxScale);
      return true;
    }
    error = std::string("the game window cannot show pictures on this screen: ") + SDL_GetError();
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (std::strcmp(accelerate, "1") == 0) break;
    // SDL decides on the texture path once per start of its video part.
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) break;
  }
  return false;
}

SdlPlatform::~SdlPlatform() {
  for (Controller& c : controllers_) {
    if (c.pad != nullptr) SDL_GameControllerClose(c.pad);
  }
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
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

void SdlPlatform::Queue(Event::Type type, int16_t key) {
  if (queueCount_ == kQueue) return;  // cannot happen: at most 4 per SDL event
  Event& e = queue_[(queueHead_ + queueCount_++) % kQueue];
  e = {};
  e.type = type;
  e.key = key;
}

void SdlPlatform::SetDirections(int slot, uint8_t dpad, uint8_t stick) {
  controllers_[slot].dpad = dpad;
  controllers_[slot].stick = stick;
  uint8_t held = 0;
  for (const Controller& c : controllers_) held |= c.dpad | c.stick;
  // Bit i is the arrow kVkLeft + i: left, up, right, down.
  for (int i = 0; i < 4; ++i) {
    const uint8_t bit = static_cast<uint8_t>(1u << i);
    if ((held & bit) != (held_ & bit)) {
      Queue(held & bit ? Event::Type::KeyDown : Event::Type::KeyUp,
            static_cast<int16_t>(kVkLeft + i));
    }
  }
  held_ = held;
}

bool SdlPlatform::ControllerEvent(const void* sdlEvent) {
  const SDL_Event& ev = *static_cast<const SDL_Event*>(sdlEvent);
  auto slotOf = [this](SDL_JoystickID id) {
    for (int i = 0; i < kControllers; ++i) {
      if (controllers_[i].pad != nullptr && controllers_[i].id == id) return i;
    }
    return -1;
  };
  switch (ev.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(ev.cdevice.which);
      if (slotOf(id) >= 0) return false;
      for (Controller& c : controllers_) {
        if (c.pad != nullptr) continue;
        c.pad = SDL_GameControllerOpen(ev.cdevice.which);
        c.id = id;
        break;
      }
      return false;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
      const int slot = slotOf(ev.cdevice.which);
      if (slot < 0) return false;
      SetDirections(slot, 0, 0);  // what it held is let go
      SDL_GameControllerClose(controllers_[slot].pad);
      controllers_[slot] = {};
      break;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      const int slot = slotOf(ev.cbutton.which);
      if (slot < 0) return false;
      const bool down = ev.type == SDL_CONTROLLERBUTTONDOWN;
      const Event::Type type = down ? Event::Type::KeyDown : Event::Type::KeyUp;
      uint8_t bit = 0;
      switch (ev.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_A: Queue(type, kVkSpace); break;
        case SDL_CONTROLLER_BUTTON_BACK: Queue(type, kVkEscape); break;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: bit = 1; break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: bit = 2; break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: bit = 4; break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: bit = 8; break;
        default: break;
      }
      if (bit != 0) {
        const Controller& c = controllers_[slot];
        SetDirections(slot, static_cast<uint8_t>(down ? c.dpad | bit : c.dpad & ~bit), c.stick);
      }
      break;
    }
    case SDL_CONTROLLERAXISMOTION: {
      const int slot = slotOf(ev.caxis.which);
      const bool x = ev.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX;
      if (slot < 0 || (!x && ev.caxis.axis != SDL_CONTROLLER_AXIS_LEFTY)) return false;
      // Pushed past half way holds the arrow; back inside a quarter lets it
      // go, so a stick resting near the edge does not chatter.
      const Controller& c = controllers_[slot];
      const uint8_t negative = x ? 1 : 2, positive = x ? 4 : 8;
      uint8_t stick = c.stick;
      const int v = ev.caxis.value;
      if (v < -16384) stick = static_cast<uint8_t>((stick | negative) & ~positive);
      if (v > 16384) stick = static_cast<uint8_t>((stick | positive) & ~negative);
      if (v > -8192 && v < 8192) stick = static_cast<uint8_t>(stick & ~(negative | positive));
      SetDirections(slot, c.dpad, stick);
      break;
    }
    default:
      return false;
  }
  return queueCount_ > 0;
}

bool SdlPlatform::WaitEvent(Event& e, uint32_t timeoutMs) {
  const uint32_t start = SDL_GetTicks();
  for (;;) {
    if (queueCount_ > 0) {
      e = queue_[queueHead_];
      queueHead_ = (queueHead_ + 1) % kQueue;
      --queueCount_;
      return true;
    }
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
      case SDL_KEYUP: {
        const int16_t key = VirtualKey(ev.key.keysym);
        // Keys let go because the window lost the keyboard release held
        // arrows, but were never really released: they must not fire.
        if (ev.type == SDL_KEYUP && !IsArrow(key) && FocusLossFollows()) break;
        e = {};
        e.type = ev.type == SDL_KEYDOWN ? Event::Type::KeyDown : Event::Type::KeyUp;
        e.key = key;
        e.shift = ShiftState(ev.key.keysym.mod);
        return true;
      }
      // Window coordinates back to canvas pixels: every window pixel of an
      // enlarged canvas pixel is that pixel.
      case SDL_MOUSEMOTION:
        e = {};
        e.type = Event::Type::MouseMove;
        e.x = static_cast<float>(ev.motion.x / mouseScale_);
        e.y = static_cast<float>(ev.motion.y / mouseScale_);
        e.shift = ShiftState(SDL_GetModState());
        return true;
      case SDL_MOUSEBUTTONDOWN:
        e = {};
        e.type = Event::Type::MouseDown;
        e.button = ev.button.button;
        e.x = static_cast<float>(ev.button.x / mouseScale_);
        e.y = static_cast<float>(ev.button.y / mouseScale_);
        e.shift = ShiftState(SDL_GetModState());
        return true;
      default:
        ControllerEvent(&ev);
        break;
    }
  }
}

void SdlPlatform::CannotShow(const char* what) {
  const char* why = SDL_GetError();
  char line[512];
  std::snprintf(line, sizeof line, "the game window cannot show pictures (%s%s%s)", what,
                *why != '\0' ? ": " : "", why);
  ReportFatal(line);
  std::exit(1);
}

SDL_Surface* SdlPlatform::WindowSurface() {
  SDL_Surface* ws = SDL_GetWindowSurface(window_);
  if (ws == nullptr) CannotShow("no window surface");
  // Moved to an output of another scale, the window gets a new surface.
  scale_ = std::clamp(ws->w / kWidth, 1, kMaxScale);
  return ws;
}

void SdlPlatform::CopyRows(const Surface& canvas, SDL_Surface* ws, int firstRow, int endRow) {
  const int n = scale_;
  const int w = std::min(canvas.Width(), ws->w / n);
  endRow = std::min(endRow, ws->h / n);
  const size_t wideBytes = static_cast<size_t>(w) * n * 4;
  const uint32_t canvasFormat = SDL_MasksToPixelFormatEnum(
      32, 0xFFu << format_.rshift, 0xFFu << format_.gshift, 0xFFu << format_.bshift, 0);
  const bool same = ws->format->format == canvasFormat;
  if (SDL_MUSTLOCK(ws)) SDL_LockSurface(ws);
  for (int y = firstRow; y < endRow; ++y) {
    uint8_t* first = static_cast<uint8_t*>(ws->pixels) + static_cast<size_t>(y) * n * ws->pitch;
    const uint32_t* src = canvas.Row(y);
    if (n == 1 && same) {
      std::memcpy(first, src, wideBytes);
      continue;
    }
    // The row enlarged across, straight into the window or, for a window of
    // another pixel format (16-bit screens), converted on the way.
    uint32_t* wide = same ? reinterpret_cast<uint32_t*>(first) : wideRow_.data();
    if (n == 1) {
      wide = const_cast<uint32_t*>(src);
    } else {
      for (int x = 0; x < w; ++x) std::fill_n(wide + static_cast<size_t>(x) * n, n, src[x]);
    }
    if (!same) {
      SDL_ConvertPixels(w * n, 1, canvasFormat, wide, static_cast<int>(wideBytes),
                        ws->format->format, first, ws->pitch);
    }
    // ... and copied down.
    const size_t rowBytes = static_cast<size_t>(w) * n * ws->format->BytesPerPixel;
    for (int k = 1; k < n; ++k) std::memcpy(first + static_cast<size_t>(k) * ws->pitch, first, rowBytes);
  }
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
}

void SdlPlatform::UpdateRows(int firstRow, int endRow) {
  const SDL_Rect rows{0, firstRow * scale_, kWidth * scale_, (endRow - firstRow) * scale_};
  if (SDL_UpdateWindowSurfaceRects(window_, &rows, 1) != 0) CannotShow("present failed");
}

void SdlPlatform::PresentRows(const Surface& canvas, int first, int end) {
  shown_ = &canvas;
  SDL_Surface* ws = WindowSurface();
  // Only the rows the caller drew go to the window system: on the title that
  // is the banner's 17 rows, 50 times a second, not all 400. A new surface
  // (another output scale, a compositor's configure) holds nothing yet:
  // every row. SDL may allocate it where the old one was, so it is known by
  // the absence of our mark, not by its address.
  if (ws->userdata != this) {
    ws->userdata = this;
    first = 0;
    end = canvas.Height();
  }
  first = std::max(first, 0);
  end = std::min({end, canvas.Height(), kHeight});
  if (end <= first) return;
  CopyRows(canvas, ws, first, end);
  UpdateRows(first, end);
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
