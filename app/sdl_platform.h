// The SDL2 window: the real Platform. The only video and input code that
// calls SDL.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/event_loop.h"

struct SDL_Window;
struct SDL_Surface;
struct _SDL_GameController;

class SdlPlatform : public Platform {
 public:
  // The canvas size in logical units; the window shows it scale_ times larger.
  static constexpr int kWidth = 400, kHeight = 400;
  static constexpr int kMaxScale = 8;

  // Opens the hidden, centred, fixed-size window, enlarged by the desktop's
  // whole scale factor. Returns null and a one-line reason when there is no
  // window system to open it on or the window cannot show pictures.
  static std::unique_ptr<SdlPlatform> Create(std::string& error);
  ~SdlPlatform() override;

  // The pixel layout of the window's surface, which the canvas shares.
  PixelFormat Format() const { return format_; }
  void SetIcon(const Surface& icon);
  void ShowWindow();

  uint32_t Now() override;
  bool WaitEvent(Event& e, uint32_t timeoutMs) override;
  // Shows rows first to end - 1 of the canvas, enlarged. A window that cannot
  // show them ends the program with one line on stderr and exit code 1
  // rather than play on unseen.
  void PresentRows(const Surface& canvas, int first, int end) override;
  void OpenUrl(const char* url) override;
  void SetCaption(const char* caption) override;

 private:
  SdlPlatform() = default;
  bool OpenWindow(std::string& error);
  // The window's surface, or the end of the program when there is none.
  SDL_Surface* WindowSurface();
  // Copies canvas rows [firstRow, endRow) into the window's surface, each
  // pixel as a scale_ x scale_ square, in the surface's own format.
  void CopyRows(const Surface& canvas, SDL_Surface* ws, int firstRow, int endRow);
  // Sends the window pixels of canvas rows [firstRow, endRow) to the screen.
  void UpdateRows(int firstRow, int endRow);
  [[noreturn]] void CannotShow(const char* what);

  // Game controllers: held directions become arrow key events.
  bool ControllerEvent(const void* sdlEvent);
  void SetDirections(int slot, uint8_t dpad, uint8_t stick);
  void Queue(Event::Type type, int16_t key);

  SDL_Window* window_ = nullptr;
  PixelFormat format_;
  int scale_ = 1;  // window pixels, across and down, per canvas pixel; read at each present
  int mouseScale_ = 1;  // window coordinates per canvas pixel
  std::vector<uint32_t> wideRow_;  // one enlarged row, for surfaces of another format
  const Surface* shown_ = nullptr;  // the canvas presented last, shown again on expose

  struct Controller {
    _SDL_GameController* pad = nullptr;
    int32_t id = -1;
    uint8_t dpad = 0, stick = 0;  // held directions, one bit per arrow
  };
  static constexpr int kControllers = 4;
  Controller controllers_[kControllers];
  uint8_t held_ = 0;  // directions held by any controller
  static constexpr int kQueue = 16;
  Event queue_[kQueue];
  int queueHead_ = 0, queueCount_ = 0;
};
