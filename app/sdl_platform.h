// The SDL2 window: the real Platform. The only video code that calls SDL.
#pragma once

#include <memory>
#include <string>

#include "app/event_loop.h"

struct SDL_Window;

class SdlPlatform : public Platform {
 public:
  // Opens the hidden, centred, fixed 400 x 400 window. Returns null and a
  // one-line reason when there is no window system to open it on.
  static std::unique_ptr<SdlPlatform> Create(std::string& error);
  ~SdlPlatform() override;

  // The pixel layout of the window's surface, which the canvas shares.
  PixelFormat Format() const { return format_; }
  void SetIcon(const Surface& icon);
  void ShowWindow();

  uint32_t Now() override;
  bool WaitEvent(Event& e, uint32_t timeoutMs) override;
  void PresentRows(const Surface& canvas, int first, int end) override;
  void OpenUrl(const char* url) override;
  void SetCaption(const char* caption) override;

 private:
  SdlPlatform() = default;
  // The window lost its picture (exposed, restored, shown, resized): every
  // row of the last canvas again.
  void PresentAgain();

  SDL_Window* window_ = nullptr;
  PixelFormat format_;
  const Surface* shown_ = nullptr;  // the canvas presented last, shown again on expose
};
