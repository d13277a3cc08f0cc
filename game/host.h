// The host: everything game and display code needs from the platform: the
// window (clock, present, open URL, caption) and the event loop (timers,
// event dispatch, timed pause, quit). The real ones run over SDL; tests use
// ones with a scripted clock and scripted events.
#pragma once

#include <cstdint>

#include "assets/surface.h"

enum class TimerId { Main, ScrollText };
constexpr uint32_t kMainInterval = 50;        // frame tick, 20 per second
constexpr uint32_t kScrollTextInterval = 20;  // banner step

// Thrown by Host::Quit and caught only by main (or a test): unwinding through
// every nested handler guarantees that nothing runs after the program ends.
struct ProgramExit {};

// The window as game and display code see it: clock, pictures, caption and
// the link's address. SdlPlatform is the real one; tests script one.
class Window {
 public:
  virtual ~Window() = default;

  // Millisecond clock; wraps after 2^32 ms.
  virtual uint32_t Now() = 0;

  // Makes the window show the canvas as it is now, sending only rows first
  // to end - 1: the caller drew nothing elsewhere since the last present.
  // Every drawing call site presents at once, so it knows its rows.
  virtual void PresentRows(const Surface& canvas, int first, int end) = 0;
  // The same for every row: for a caller that drew all over.
  void Present(const Surface& canvas) { PresentRows(canvas, 0, canvas.Height()); }

  virtual void OpenUrl(const char* url) = 0;
  virtual void SetCaption(const char* caption) = 0;
};

// The event loop as game and display code see it: timers, dispatch, the
// timed pause and the way out, over the window it serves.
class Host {
 public:
  explicit Host(Window& w) : window(w) {}
  virtual ~Host() = default;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  Window& window;

  // Switches a timer. Enabling an enabled timer changes nothing; the first
  // tick after enabling comes one interval later.
  virtual void SetTimerEnabled(TimerId id, bool enabled) = 0;
  virtual bool TimerEnabled(TimerId id) const = 0;

  // Dispatches every pending event and due timer tick to the handlers. When
  // nothing is pending it waits up to maxWaitMs for something to come, then
  // dispatches that. Handlers may call it again (nested dispatch).
  virtual void DispatchPending(uint32_t maxWaitMs) = 0;

  // Returns once at least ms milliseconds have passed, handling every window
  // event (input, timer ticks) at once while it waits. 0 returns at once
  // without dispatching. Correct across the 32-bit clock wrap. It waits on
  // the event queue for no longer than the time left, rather than spinning
  // on the clock. Called by the title reveal and the death sequence.
  void Pause(uint32_t ms) {
    const uint32_t start = window.Now();
    for (;;) {
      const uint32_t elapsed = window.Now() - start;
      if (elapsed >= ms) return;
      DispatchPending(ms - elapsed);
    }
  }

  // Ends the program at once with exit code 0 by throwing ProgramExit.
  [[noreturn]] virtual void Quit() = 0;
};
