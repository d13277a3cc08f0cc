#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "app/presenter.h"
#include "app/sdl_platform.h"
#include "app/sdl_window.h"
#include "app/touch_keys.h"

namespace {

// Sets an environment variable for one scope and puts the old value back.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvVar() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

}  // namespace

TEST(SdlPlatform, RefusesToRunWithoutAWindowSystem) {
  EnvVar driver("SDL_VIDEODRIVER", nullptr);
  EnvVar display("DISPLAY", nullptr);
  EnvVar wayland("WAYLAND_DISPLAY", nullptr);
  std::string error;
  EXPECT_EQ(SdlPlatform::Create(error), nullptr);
  EXPECT_NE(error.find("no window system"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);  // one line

  // A display that does not answer: one line naming it, and no other
  // window system tried behind its back.
  EnvVar unreachable("DISPLAY", ":987");
  error.clear();
  EXPECT_EQ(SdlPlatform::Create(error), nullptr);
  EXPECT_NE(error.find(":987"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);

  // A window the driver refuses to make: no window, and the reason.
  EnvVar dummy("SDL_VIDEODRIVER", "dummy");
  const GameWindow refused = OpenGameWindow(1 << 15, 400, 1, error);
  EXPECT_EQ(refused.window, nullptr);
  EXPECT_EQ(error.rfind("cannot create the game window: ", 0), 0u) << error;
  SDL_Quit();
}

TEST(SdlPlatform, TranslatesKeysMouseAndCloseAndPresents) {
  EnvVar driver("SDL_VIDEODRIVER", "dummy");
  std::string error;
  auto p = SdlPlatform::Create(error);
  ASSERT_NE(p, nullptr) << error;

  Surface canvas(400, 400, p->Format().Rgb(10, 20, 30));
  p->Present(canvas);  // must not fail on a hidden window
  p->SetCaption("Caption");

  auto push = [](SDL_Event ev) { ASSERT_EQ(SDL_PushEvent(&ev), 1); };
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_LEFT;
  push(key);
  key.key.keysym.sym = SDLK_m;
  key.key.keysym.mod = KMOD_LSHIFT;
  key.key.repeat = 1;  // automatic repeats arrive as key-downs too
  push(key);
  key.type = SDL_KEYUP;
  key.key.keysym.sym = SDLK_SPACE;
  push(key);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 133;
  motion.motion.y = 53;
  push(motion);
  SDL_Event button{};
  button.type = SDL_MOUSEBUTTONDOWN;
  button.button.button = SDL_BUTTON_RIGHT;
  button.button.x = 140;
  button.button.y = 60;
  push(button);
  // Layouts without Latin letters: M and S by where they sit. Keypad
  // arrows steer with NumLock off and are digits with it on.
  SDL_Event russian{};
  russian.type = SDL_KEYDOWN;
  russian.key.keysym = {SDL_SCANCODE_M, 0x44C, 0, 0};
  push(russian);
  russian.key.keysym = {SDL_SCANCODE_S, 0x44B, 0, 0};
  push(russian);
  SDL_Event keypad{};
  keypad.type = SDL_KEYDOWN;
  keypad.key.keysym = {SDL_SCANCODE_KP_8, SDLK_KP_8, 0, 0};
  push(keypad);
  keypad.key.keysym.mod = KMOD_NUM;
  push(keypad);
  // The window lost the keyboard with Space and Left held: SDL lets both go
  // before it says so. Left is released; Space never fires.
  key = {};
  key.type = SDL_KEYUP;
  key.key.keysym.sym = SDLK_SPACE;
  push(key);
  key.key.keysym.sym = SDLK_LEFT;
  push(key);
  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  push(focus);
  // An arrow held on the keyboard and on the keypad is down until both let
  // go; the keypad's goes up by where it is, though NumLock came on meanwhile.
  key = {};
  key.type = SDL_KEYDOWN;
  key.key.keysym = {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 0, 0};
  push(key);
  key.key.keysym = {SDL_SCANCODE_KP_6, SDLK_KP_6, 0, 0};
  push(key);
  key.type = SDL_KEYUP;
  key.key.keysym = {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 0, 0};
  push(key);
  key.key.keysym = {SDL_SCANCODE_KP_6, SDLK_KP_6, KMOD_NUM, 0};
  push(key);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  push(quit);

  Event e;
  // The next event must be this key going down or up.
  auto nextKey = [&](Event::Type type, int16_t code) {
    ASSERT_TRUE(p->WaitEvent(e, 0));
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.key, code);
  };
  nextKey(Event::Type::KeyDown, kVkLeft);
  nextKey(Event::Type::KeyDown, kVkM);
  EXPECT_EQ(e.shift, 1);
  nextKey(Event::Type::KeyUp, kVkSpace);
  ASSERT_TRUE(p->WaitEvent(e, 0));
  EXPECT_EQ(e.type, Event::Type::MouseMove);
  EXPECT_EQ(e.x, 133.0f);
  EXPECT_EQ(e.y, 53.0f);
  ASSERT_TRUE(p->WaitEvent(e, 0));
  EXPECT_EQ(e.type, Event::Type::MouseDown);
  EXPECT_EQ(e.x, 140.0f);
  for (int16_t code : {kVkM, kVkS, kVkUp, int16_t{0}}) nextKey(Event::Type::KeyDown, code);
  nextKey(Event::Type::KeyUp, kVkLeft);
  nextKey(Event::Type::KeyDown, kVkRight);
  nextKey(Event::Type::KeyDown, kVkRight);
  nextKey(Event::Type::KeyUp, kVkRight);  // the keypad's, after the keyboard's
  EXPECT_EQ(e.shift, 0);
  ASSERT_TRUE(p->WaitEvent(e, 0));
  EXPECT_EQ(e.type, Event::Type::Close);

  // Text input stays off, so an input method never takes keys: off with the
  // window, and off again whatever turns it on.
  EXPECT_FALSE(SDL_IsTextInputActive());
  SDL_StartTextInput();
  EXPECT_FALSE(p->WaitEvent(e, 0));
  EXPECT_FALSE(SDL_IsTextInputActive());

  // Nothing pending: a short wait times out and takes about its time.
  const uint32_t t0 = p->Now();
  EXPECT_FALSE(p->WaitEvent(e, 30));
  EXPECT_GE(p->Now() - t0, 25u);
}

TEST(SdlPlatform, AnExposedWindowShowsTheLastPresentedCanvasAgain) {
  EnvVar driver("SDL_VIDEODRIVER", "dummy");
  std::string error;
  auto p = SdlPlatform::Create(error);
  ASSERT_NE(p, nullptr) << error;
  SDL_Window* window = SDL_GetWindowFromID(1);
  ASSERT_NE(window, nullptr);
  SDL_Surface* shown = SDL_GetWindowSurface(window);
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(shown->format->BytesPerPixel, 4);
  auto pixel = [&](int x, int y) {
    return static_cast<const uint32_t*>(shown->pixels)[y * shown->pitch / 4 + x];
  };

  Surface canvas(400, 400, p->Format().Rgb(10, 20, 30));
  canvas.SetPixel(399, 399, p->Format().Rgb(200, 100, 50));
  p->Present(canvas);
  EXPECT_EQ(pixel(0, 0), canvas.Pixel(0, 0));
  EXPECT_EQ(pixel(399, 399), canvas.Pixel(399, 399));

  // The window system lost the picture (covered, restored); the expose that
  // follows is handled inside and brings the canvas back without an event.
  SDL_FillRect(shown, nullptr, 0);
  for (Uint8 what : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_RESTORED}) {
    SDL_Event expose{};
    expose.type = SDL_WINDOWEVENT;
    expose.window.event = what;
    expose.window.windowID = SDL_GetWindowID(window);
    ASSERT_EQ(SDL_PushEvent(&expose), 1);
    Event e;
    EXPECT_FALSE(p->WaitEvent(e, 0));
    EXPECT_EQ(pixel(0, 0), canvas.Pixel(0, 0));
    EXPECT_EQ(pixel(399, 399), canvas.Pixel(399, 399));
    SDL_FillRect(shown, nullptr, 0);
  }

  // The window system replaced the surface (a compositor's configure, another
  // output scale): the next present, even of a few rows, fills all of it.
  // SDL soon settles on handing out each new surface at the old one's
  // address, so the address cannot tell them apart.
  auto replaceSurface = [&] {
    SDL_SetWindowSize(window, 401, 401);
    SDL_GetWindowSurface(window);
    SDL_SetWindowSize(window, 400, 400);
  };
  for (int i = 0; i < 3; ++i) {
    replaceSurface();
    p->Present(canvas);
  }
  for (int i = 0; i < 3; ++i) {
    replaceSurface();
    p->PresentRows(canvas, 380, 397);
    shown = SDL_GetWindowSurface(window);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(pixel(0, 0), canvas.Pixel(0, 0));
    EXPECT_EQ(pixel(399, 399), canvas.Pixel(399, 399));
  }
}

TEST(SdlPlatform, AControllerPlaysAsTheKeyboardDoesAndMayComeAndGo) {
  EnvVar driver("SDL_VIDEODRIVER", "dummy");
  // The dummy window never has the keyboard, which would mute controllers.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  std::string error;
  auto p = SdlPlatform::Create(error);
  ASSERT_NE(p, nullptr) << error;
  Event e;
  while (p->WaitEvent(e, 0)) {
  }

  // Plugged in while the game runs.
  const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                               SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
  ASSERT_GE(device, 0) << SDL_GetError();
  EXPECT_FALSE(p->WaitEvent(e, 20));
  SDL_Joystick* pad = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device));
  ASSERT_NE(pad, nullptr) << "the platform did not open the controller";

  // Returns the keys the game saw next, as "+37" (down) and "-37" (up).
  auto keys = [&] {
    std::string seen;
    while (p->WaitEvent(e, 20)) {
      if (e.type != Event::Type::KeyDown && e.type != Event::Type::KeyUp) continue;
      seen += e.type == Event::Type::KeyDown ? '+' : '-';
      seen += std::to_string(e.key);
      seen += ' ';
    }
    return seen;
  };
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  EXPECT_EQ(keys(), "+37 ");
  // The stick right of centre, then across to the left: the d-pad still
  // holds left, so only right comes and goes.
  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, 30000);
  EXPECT_EQ(keys(), "+39 ");
  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, -30000);
  EXPECT_EQ(keys(), "-39 ");
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0);
  EXPECT_EQ(keys(), "");
  // The keyboard's Left let go while the stick still holds left: the ship
  // steers on (a key-down comes through as a repeat would).
  SDL_Event left{};
  left.type = SDL_KEYDOWN;
  left.key.keysym = {SDL_SCANCODE_LEFT, SDLK_LEFT, 0, 0};
  ASSERT_EQ(SDL_PushEvent(&left), 1);
  left.type = SDL_KEYUP;
  ASSERT_EQ(SDL_PushEvent(&left), 1);
  EXPECT_EQ(keys(), "+37 ");
  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 30000);
  EXPECT_EQ(keys(), "+40 ");
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 1);
  EXPECT_EQ(keys(), "+32 +27 ");
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 0);
  EXPECT_EQ(keys(), "-32 -27 ");
  // Unplugged with the stick held left and down: both let go.
  SDL_JoystickDetachVirtual(device);
  EXPECT_EQ(keys(), "-37 -40 ");
}

TEST(TouchKeys, FingersAreOneMoreSourceOfArrowsACancelDoesNotFireAndNoReleaseIsLost) {
  TouchKeys touch;
  HeldArrows arrows;
  // The keys the game sees next, as "+37" (down) and "-37" (up).
  auto keys = [&] {
    std::string seen;
    Event e;
    while (touch.Take(arrows, e)) {
      seen += e.type == Event::Type::KeyDown ? '+' : '-';
      seen += std::to_string(e.key) + ' ';
    }
    return seen;
  };
  // Left held on the keyboard and by a finger: lifting the finger leaves the
  // ship steering. A finger on Fire taken back by the browser fires nothing;
  // a cancelled arrow is let go. Other codes are ignored.
  arrows.Set(HeldArrows::kKeyboard, ArrowBit(kVkLeft));
  touch.Push(kVkLeft, kTouchPress);
  touch.Push(kVkLeft, kTouchRelease);
  touch.Push(kVkSpace, kTouchPress);
  touch.Push(kVkSpace, kTouchCancel);
  touch.Push(kVkRight, kTouchPress);
  touch.Push(kVkRight, kTouchCancel);
  touch.Push('Q', kTouchPress);
  touch.Push(kVkM, 7);
  EXPECT_EQ(keys(), "+37 +32 +39 -39 ");
  EXPECT_EQ(arrows.Any(), ArrowBit(kVkLeft));
  arrows.Set(HeldArrows::kKeyboard, 0);

  // The game stopped taking keys while a finger held Up: its lift still
  // comes through a full queue, in place of the oldest press, and in place
  // of the older of two releases of one key once no press is left.
  touch.Push(kVkUp, kTouchPress);
  EXPECT_EQ(keys(), "+38 ");
  for (int i = 0; i < TouchKeys::kCapacity / 2; ++i) {
    touch.Push(kVkM, kTouchPress);
    touch.Push(kVkM, kTouchRelease);
  }
  touch.Push(kVkUp, kTouchRelease);
  std::string expected = "-77 ";
  for (int i = 1; i < TouchKeys::kCapacity / 2; ++i) expected += "+77 -77 ";
  EXPECT_EQ(keys(), expected + "-38 ");
  touch.Push(kVkDown, kTouchPress);
  EXPECT_EQ(keys(), "+40 ");
  for (int i = 0; i < TouchKeys::kCapacity; ++i) touch.Push(kVkS, kTouchRelease);
  touch.Push(kVkDown, kTouchRelease);
  expected.clear();
  for (int i = 1; i < TouchKeys::kCapacity; ++i) expected += "-83 ";
  EXPECT_EQ(keys(), expected + "-40 ");
  EXPECT_EQ(arrows.Any(), 0);
}

TEST(SdlPlatformDeathTest, AWindowThatCannotShowPicturesEndsTheGameWithOneLine) {
  EnvVar driver("SDL_VIDEODRIVER", "dummy");
  std::string error;
  auto p = SdlPlatform::Create(error);
  ASSERT_NE(p, nullptr) << error;
  Surface canvas(400, 400);
  // A window far too large for any surface: SDL has none to give.
  SDL_Window* window = SDL_GetWindowFromID(1);
  ASSERT_NE(window, nullptr);
  const uint32_t t0 = SDL_GetTicks();
  EXPECT_EXIT(
      {
        SDL_SetWindowSize(window, 1 << 30, 1 << 30);
        p->Present(canvas);
      },
      ::testing::ExitedWithCode(1),
      "^kestrane: the game window cannot show pictures \\(no window surface[^\n]*\n$");
  EXPECT_LT(SDL_GetTicks() - t0, 1000u);
  // Pixels to draw into, but a send that fails: the dummy driver loses its
  // frame buffer (kept reachable for the leak checker).
  p->Present(canvas);
  [[maybe_unused]] static void* lost = nullptr;
  EXPECT_EXIT(
      {
        lost = SDL_SetWindowData(window, "_SDL_DummySurface", nullptr);
        p->Present(canvas);
      },
      ::testing::ExitedWithCode(1),
      "^kestrane: the game window cannot show pictures \\(present failed[^\n]*\n$");
}

TEST(Presenter, PlacesTheCanvasWholeAtTheLargestScaleThatFitsAndCopiesOnlyThere) {
  struct Case {
    int w, h, scale, x, y, cols, rows;
  } cases[] = {
      {4, 4, 1, 0, 0, 4, 4},          // the window the game asked for
      {11, 9, 2, 1, 0, 4, 4},         // larger, odd: centred
      {8, 30, 2, 0, 11, 4, 4},        // tall: the narrow side decides
      {3, 2, 1, 0, 0, 3, 2},          // smaller: the top left, clipped
      {400, 400, 8, 184, 184, 4, 4},  // never past the largest scale
  };
  for (const Case& c : cases) {
    const Placement at = Placement::Fit(4, 4, c.w, c.h, 8);
    EXPECT_EQ(std::tie(at.scale, at.x, at.y, at.cols, at.rows),
              std::tie(c.scale, c.x, c.y, c.cols, c.rows))
        << c.w << "x" << c.h;
  }

  // Rows 1..2 of a 4 x 4 canvas at scale 2 in an 11 x 9 window: each pixel a
  // 2 x 2 square from (1, 0), and nothing else of the window touched.
  Surface canvas(4, 4, 0);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) canvas.SetPixel(x, y, static_cast<uint32_t>(10 * y + x + 1));
  }
  const uint32_t kUntouched = 0xDEADBEEF;
  std::vector<uint32_t> window(11 * 9, kUntouched);
  Placement at = Placement::Fit(4, 4, 11, 9, 8);
  WindowRect r = DrawRows(canvas, 1, 3, at, {reinterpret_cast<uint8_t*>(window.data()), 11 * 4, 4},
                          nullptr, nullptr);
  EXPECT_EQ(r.x, 1);
  EXPECT_EQ(r.y, 2);
  EXPECT_EQ(r.w, 8);
  EXPECT_EQ(r.h, 4);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 11; ++x) {
      const bool inside = x >= 1 && x < 9 && y >= 2 && y < 6;
      const uint32_t want = inside ? canvas.Pixel((x - 1) / 2, y / 2) : kUntouched;
      EXPECT_EQ(window[static_cast<size_t>(y * 11 + x)], want) << x << "," << y;
    }
  }
  // The mouse through the same placement: left of the picture is left of
  // the canvas, and each window pixel of a square is its canvas pixel.
  EXPECT_EQ(at.CanvasX(0), -1);
  EXPECT_EQ(at.CanvasX(1), 0);
  EXPECT_EQ(at.CanvasX(8), 3);
  EXPECT_EQ(at.CanvasY(5), 2);

  // A window smaller than the canvas: rows past its bottom are not sent,
  // and no row is wider than the window.
  std::vector<uint32_t> small(3 * 2, kUntouched);
  at = Placement::Fit(4, 4, 3, 2, 8);
  r = DrawRows(canvas, 1, 4, at, {reinterpret_cast<uint8_t*>(small.data()), 3 * 4, 4}, nullptr,
               nullptr);
  EXPECT_EQ(r.y, 1);
  EXPECT_EQ(r.w, 3);
  EXPECT_EQ(r.h, 1);
  EXPECT_EQ(small, (std::vector<uint32_t>{kUntouched, kUntouched, kUntouched, 11, 12, 13}));
  r = DrawRows(canvas, 2, 4, at, {reinterpret_cast<uint8_t*>(small.data()), 3 * 4, 4}, nullptr,
               nullptr);
  EXPECT_EQ(r.h, 0);

  // Partial presents against a full redraw, with bars on every side (above
  // and below taller than a canvas pixel) at scales 2 and 3, copied straight
  // and through a converter: any rows drawn over an older picture, and only
  // the rectangle returned sent to what the window shows, show exactly what
  // drawing the whole new canvas shows.
  struct Identity : PixelConverter {
    void Convert(const uint32_t* from, int count, uint8_t* to) override {
      std::copy_n(from, count, reinterpret_cast<uint32_t*>(to));
    }
  } identity;
  std::vector<uint32_t> wideRow(4 * 3);
  Surface older(4, 3, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) older.SetPixel(x, y, static_cast<uint32_t>(10 * y + x + 1));
  }
  for (auto [w, h, scale] : {std::tuple{11, 11, 2}, std::tuple{14, 16, 3}}) {
    at = Placement::Fit(4, 3, w, h, 8);
    ASSERT_EQ(at.scale, scale);
    ASSERT_TRUE(at.x > 0 && at.y >= scale && w - at.x - 4 * scale > 0 &&
                h - at.y - 3 * scale >= scale)
        << w << "x" << h;
    for (PixelConverter* convert :
         {static_cast<PixelConverter*>(nullptr), static_cast<PixelConverter*>(&identity)}) {
      auto draw = [&](const Surface& from, int first, int end, std::vector<uint32_t>& to) {
        return DrawRows(from, first, end, at, {reinterpret_cast<uint8_t*>(to.data()), w * 4, 4},
                        convert, wideRow.data());
      };
      for (int first = 0; first < 3; ++first) {
        for (int end = first + 1; end <= 3; ++end) {
          Surface newer(older);
          for (int y = first; y < end; ++y) {
            for (int x = 0; x < 4; ++x) newer.SetPixel(x, y, older.Pixel(x, y) + 100);
          }
          std::vector<uint32_t> drawn(static_cast<size_t>(w * h), kUntouched), full(drawn);
          draw(older, 0, 3, drawn);
          std::vector<uint32_t> shown(drawn);
          r = draw(newer, first, end, drawn);
          for (int y = r.y; y < r.y + r.h; ++y) {
            std::copy_n(&drawn[static_cast<size_t>(y * w + r.x)], r.w,
                        &shown[static_cast<size_t>(y * w + r.x)]);
          }
          draw(newer, 0, 3, full);
          EXPECT_EQ(shown, full) << w << "x" << h << ", rows " << first << ".." << end
                                 << (convert != nullptr ? ", converted" : "");
        }
      }
    }
  }
}
