// The SDL2 window: the real Platform, thin over its parts (app/sdl_window.*
// opens the window, app/presenter.* places and copies the picture,
// app/key_map.* names keys, app/game_pads.* reads pads).
#pragma once

#include <memory>
#include <string>

#include "app/event_loop.h"
#include "app/game_pads.h"
#include "app/key_map.h"
#include "app/presenter.h"

struct SDL_Window;
struct SDL_Surface;

class SdlPlatform : public Platform {
 public:
  // The canvas size in logical units; the window shows it scale times larger.
  static constexpr int kWidth = 400, kHeight = 400;
  static constexpr int kMaxScale = 8;

  // Opens the hidden, centred window, enlarged by the desktop's whole scale
  // factor. Returns null and a one-line reason when there is no window
  // system to open it on or the window cannot show pictures.
  static std::unique_ptr<SdlPlatform> Create(std::string& error);
  ~SdlPlatform() override;

  // The pixel layout of the window's surface, which the canvas shares.
  PixelFormat Format() const { return format_; }
  void SetIcon(const Surface& icon);
  void ShowWindow();

  uint32_t Now() override;
  bool WaitEvent(Event& e, uint32_t timeoutMs) override;
  // Shows rows first to end - 1 of the canvas, placed for the window's size
  // now. When shared memory fails, the window surface takes over for good;
  // a window that cannot show them at all ends the program with one line on
  // stderr and exit code 1 rather than play on unseen.
  void PresentRows(const Surface& canvas, int first, int end) override;
  void OpenUrl(const char* url) override;
  void SetCaption(const char* caption) override;

 private:
  SdlPlatform() = default;
  // Turns a raw SDL event into the game's; false when the game sees nothing.
  bool Translate(const void* sdlEvent, Event& e);
  bool KeyEvent(const void* sdlEvent, Event& e);
  void MouseAt(int windowX, int windowY, Event& e) const;
  void QueueArrows(HeldArrows::Change change);
  void Queue(Event::Type type, int16_t key);
  [[noreturn]] void CannotShow(const char* what);

  SDL_Window* window_ = nullptr;
  std::unique_ptr<WindowPresent> present_;
  PixelFormat format_;
  Placement placement_;             // of the canvas in the window surface shown
  int surfaceWidth_ = kWidth;       // window surface pixels across ...
  int windowWidth_ = kWidth;        // ... per this many window coordinates (Wayland's scale)
  const Surface* shown_ = nullptr;  // the canvas presented last, shown again on expose
  // The next present sends the whole window, bars too: after an expose the
  // window holds nothing (SDL's X11 windows have no background and no
  // backing store), whatever lay behind it shows.
  bool repaint_ = false;

  GamePads pads_;
  HeldArrows arrows_;
#ifndef __EMSCRIPTEN__
  uint32_t pumpedAt_ = 0;  // when SDL last read the window system's events
#endif
  static constexpr int kQueue = 16;
  Event queue_[kQueue];
  int queueHead_ = 0, queueCount_ = 0;
};
