#include "app/sdl_platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "app/fatal.h"
#include "app/link.h"
#include "app/sdl_window.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

#include "app/touch_keys.h"
#endif

namespace {

#ifdef __EMSCRIPTEN__
// The page's on-screen controls; filled by the page while the game sleeps.
TouchKeys touchKeys;
#endif

int16_t ShiftState(uint16_t mod) {
  int16_t s = 0;
  if (mod & KMOD_SHIFT) s |= 1;
  if (mod & KMOD_CTRL) s |= 2;
  if (mod & KMOD_ALT) s |= 4;
  return s;
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

// Keys go straight to the game: SDL starts text input with the window, and an
// input method would then take M and S into its composition.
void KeepTextInputOff() {
  if (SDL_IsTextInputActive()) SDL_StopTextInput();
}

}  // namespace

#ifdef __EMSCRIPTEN__
extern "C" EMSCRIPTEN_KEEPALIVE void kestrane_touch_key(int key, int action) {
  touchKeys.Push(key, action);
}
#endif

std::unique_ptr<SdlPlatform> SdlPlatform::Create(std::string& error) {
  std::unique_ptr<SdlPlatform> p(new SdlPlatform());
  GameWindow window = OpenGameWindow(kWidth, kHeight, kMaxScale, error);
  if (window.window == nullptr) return nullptr;
  p->window_ = window.window;
  p->format_ = window.format;
  p->present_ = std::move(window.present);
  KeepTextInputOff();
  // Without controllers the keyboard plays alone.
  SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
  return p;
}

SdlPlatform::~SdlPlatform() {
  pads_.CloseAll();
  present_.reset();
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

void SdlPlatform::QueueArrows(HeldArrows::Change change) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t bit = static_cast<uint8_t>(1u << i);
    if ((change.pressed | change.released) & bit) {
      Queue(change.pressed & bit ? Event::Type::KeyDown : Event::Type::KeyUp,
            static_cast<int16_t>(kVkLeft + i));
    }
  }
}

bool SdlPlatform::KeyEvent(const void* sdlEvent, Event& e) {
  const SDL_KeyboardEvent& ev = static_cast<const SDL_Event*>(sdlEvent)->key;
  const bool down = ev.type == SDL_KEYDOWN;
  int16_t key = GameKey(ev.keysym);
  // An arrow is the keyboard's or the keypad's; a keypad key let go is the
  // arrow it held, whatever NumLock says now.
  const int16_t keypadArrow = KeypadArrowAt(ev.keysym.scancode);
  int source = -1;
  const bool keypadHolds = (arrows_.Held(HeldArrows::kKeypad) & ArrowBit(keypadArrow)) != 0;
  if (keypadArrow != 0 && (key == keypadArrow || (!down && keypadHolds))) {
    source = HeldArrows::kKeypad;
    key = keypadArrow;
  } else if (keypadArrow == 0 && ArrowBit(key) != 0) {
    source = HeldArrows::kKeyboard;
  }
  if (source >= 0) {
    const uint8_t bit = ArrowBit(key), held = arrows_.Held(source);
    arrows_.Set(source, static_cast<uint8_t>(down ? held | bit : held & ~bit));
    // Still held by another source: the arrow stays down.
    if (!down && (arrows_.Any() & bit) != 0) return false;
  } else if (!down && FocusLossFollows()) {
    // Keys let go because the window lost the keyboard release held arrows,
    // but were never really released: they must not fire.
    return false;
  }
  e = {};
  e.type = down ? Event::Type::KeyDown : Event::Type::KeyUp;
  e.key = key;
  e.shift = ShiftState(ev.keysym.mod);
  return true;
}

// Window coordinates to canvas pixels through the placement the picture was
// drawn with: every window pixel of an enlarged canvas pixel is that pixel.
void SdlPlatform::MouseAt(int windowX, int windowY, Event& e) const {
  e.x = static_cast<float>(placement_.CanvasX(windowX * surfaceWidth_ / windowWidth_));
  e.y = static_cast<float>(placement_.CanvasY(windowY * surfaceWidth_ / windowWidth_));
  e.shift = ShiftState(SDL_GetModState());
}

bool SdlPlatform::Translate(const void* sdlEvent, Event& e) {
  const SDL_Event& ev = *static_cast<const SDL_Event*>(sdlEvent);
  switch (ev.type) {
    case SDL_QUIT:
      e = {};
      e.type = Event::Type::Close;
      return true;
    case SDL_WINDOWEVENT:
      switch (ev.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          e = {};
          e.type = Event::Type::Close;
          return true;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
          repaint_ = true;
          if (shown_ != nullptr) Present(*shown_);
          return false;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          // A new size gets new pixels, placed afresh by the present.
          if (shown_ != nullptr) Present(*shown_);
          return false;
        default:
          return false;
      }
    case SDL_TEXTEDITING:
    case SDL_TEXTINPUT:
      KeepTextInputOff();
      return false;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return KeyEvent(&ev, e);
    case SDL_MOUSEMOTION:
      e = {};
      e.type = Event::Type::MouseMove;
      MouseAt(ev.motion.x, ev.motion.y, e);
      return true;
    case SDL_MOUSEBUTTONDOWN:
      e = {};
      e.type = Event::Type::MouseDown;
      e.button = ev.button.button;
      MouseAt(ev.button.x, ev.button.y, e);
      return true;
    default: {
      GamePads::Change change;
      if (!pads_.Handle(ev, change)) return false;
      if (change.key != 0) {
        Queue(change.down ? Event::Type::KeyDown : Event::Type::KeyUp, change.key);
      }
      if (change.pad >= 0) {
        QueueArrows(arrows_.Set(HeldArrows::kFirstPad + change.pad, change.arrows));
      }
      return false;
    }
  }
}

bool SdlPlatform::WaitEvent(Event& e, uint32_t timeoutMs) {
  KeepTextInputOff();  // whatever turned it on since
  const uint32_t start = SDL_GetTicks();
  for (;;) {
    if (queueCount_ > 0) {
      e = queue_[queueHead_];
      queueHead_ = (queueHead_ + 1) % kQueue;
      --queueCount_;
      return true;
    }
#ifdef __EMSCRIPTEN__
    // The page's on-screen controls, as keys; touch is one more source of arrows.
    if (touchKeys.Take(arrows_, e)) return true;
#endif
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
    // SDL pumps the window system's events as a wait ends; the looks that
    // follow in the same millisecond take only what it found.
    int got = 0;
    const uint32_t now = SDL_GetTicks();
    if (left == 0 && now == pumpedAt_) {
      got = SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    } else {
      got = left == 0 ? SDL_PollEvent(&ev) : SDL_WaitEventTimeout(&ev, static_cast<int>(left));
      pumpedAt_ = SDL_GetTicks();
    }
    if (got <= 0) return false;
#endif
    if (Translate(&ev, e)) return true;
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

void SdlPlatform::PresentRows(const Surface& canvas, int first, int end) {
  shown_ = &canvas;
  WindowPresent::Frame f;
  const char* failed = "no window surface";
  if (present_->Begin(f)) {
    // Only the rows the caller drew go to the window system: on the title
    // that is the banner's 17 rows, 50 times a second, not all 400. New
    // pixels, or a window that lost what it showed, get all of it.
    const bool whole = f.fresh || repaint_;
    if (f.fresh) {
      placement_ = Placement::Fit(kWidth, kHeight, f.width, f.height, kMaxScale);
      surfaceWidth_ = f.width;
      windowWidth_ = f.windowWidth;
    }
    if (whole) {
      first = 0;
      end = canvas.Height();
    }
    const WindowRect r = DrawRows(canvas, first, end, placement_, f.pixels, f.convert, f.wideRow);
    if (present_->Send(whole ? WindowRect{0, 0, f.width, f.height} : r)) {
      repaint_ = false;
      return;
    }
    failed = "present failed";
  }
  std::unique_ptr<WindowPresent> next = present_->FallBack();
  if (next == nullptr) CannotShow(failed);
  // Shared memory failed (segment limits, a server in another IPC
  // namespace): the pixels go in the requests instead.
  std::fprintf(stderr,
               "kestrane: the X server's shared memory failed; the game is sent without it from "
               "now on\n");
  present_ = std::move(next);
  repaint_ = true;
  PresentRows(canvas, first, end);
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
