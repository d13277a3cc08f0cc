// The window's event loop with its two interval timers, independent of the
// window system: a Platform supplies clock, raw events and presentation.
#pragma once

#include <cstdint>

#include "game/host.h"

// Virtual-key codes the handlers receive (named apart from <windows.h>'s
// VK_ macros, which would replace them).
constexpr int16_t kVkEscape = 27;
constexpr int16_t kVkSpace = 32;
constexpr int16_t kVkLeft = 37;
constexpr int16_t kVkUp = 38;
constexpr int16_t kVkRight = 39;
constexpr int16_t kVkDown = 40;
constexpr int16_t kVkM = 77;
constexpr int16_t kVkS = 83;

struct Event {
  enum class Type { KeyDown, KeyUp, MouseMove, MouseDown, Close };
  Type type = Type::Close;
  int16_t key = 0;    // virtual-key code, for key events
  int16_t shift = 0;  // Shift/Ctrl/Alt state, for key and mouse events
  int16_t button = 0; // for mouse-down
  float x = 0, y = 0; // client coordinates, for mouse events
};

// The window system's side: the window and its raw events. SdlPlatform is
// the real one.
class Platform : public Window {
 public:
  // Takes the next raw event, waiting at most timeoutMs (0: do not wait).
  // Returns false when none came. Expose events are handled inside (the
  // platform shows the last presented canvas again) and never returned.
  virtual bool WaitEvent(Event& e, uint32_t timeoutMs) = 0;
};

// Receivers of the dispatched events: the main window's handlers.
class Handlers {
 public:
  virtual ~Handlers() = default;
  virtual void OnEvent(const Event& e) = 0;
  virtual void OnTimer(TimerId id) = 0;
};

class EventLoop : public Host {
 public:
  explicit EventLoop(Platform& platform);

  void SetHandlers(Handlers* handlers) { handlers_ = handlers; }

  // Dispatches for ever; leaves only by ProgramExit from a handler.
  [[noreturn]] void Run();

  void SetTimerEnabled(TimerId id, bool enabled) override;
  bool TimerEnabled(TimerId id) const override { return timers_[Index(id)].enabled; }
  void DispatchPending(uint32_t maxWaitMs) override;
  [[noreturn]] void Quit() override { throw ProgramExit{}; }

 private:
  struct Timer {
    uint32_t interval;
    bool enabled;
    uint32_t due;
  };
  static int Index(TimerId id) { return id == TimerId::Main ? 0 : 1; }
  bool FireDueTimers();
  uint32_t TimeToNextTimer(uint32_t limit);

  Platform& platform_;
  Handlers* handlers_ = nullptr;
  // tmrMain starts disabled, tmrScrollText enabled.
  Timer timers_[2] = {{kMainInterval, false, 0}, {kScrollTextInterval, false, 0}};
};
