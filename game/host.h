// The host: everything game and display code needs from the platform
// (present, timers, clock, event dispatch, timed pause, open URL, caption,
// quit). The real
// one runs over SDL; tests use one with a scripted clock and scripted events.
#pragma once

#include <cstdint>

#include "assets/surface.h"

enum class TimerId { Main, ScrollText };
constexpr uint32_t kMainInterval = 50;        // frame tick, 20 per second
constexpr uint32_t kScrollTextInterval = 20;  // banner step

// Thrown by Host::Quit and caught only by main (or a test): unwinding through
// every nested handler guarantees that nothing runs after the program ends.
struct ProgramExit {};

class Host {
 public:
  virtual ~Host() = default;

  // Makes the window show the canvas as it is now, sending only rows first
  // to end - 1: the caller drew nothing elsewhere since the last present.
  // Every drawing call site presents at once, so it knows its rows.
  virtual void PresentRows(const Surface& canvas, int first, int end) = 0;
  // The same for every row: for a caller that drew all over.
  void Present(const Surface& canvas) { PresentRows(canvas, 0, canvas.Height()); }

  // Switches a timer. Enabling an enabled timer changes nothing; the first
  // tick after enabling comes one interval later.
  virtual void SetTimerEnabled(TimerId id, bool enabled) = 0;
  virtual bool TimerEnabled(TimerId id) const = 0;

  // Millisecond clock; wraps after 2^32 ms.
  virtual uint32_t Now() = 0;

  // Dispatches every pending event and due timer tick to the handlers. When
  // nothing is pending it waits up to maxWaitMs for something to come, then
  // dispatches that. Handlers may call it again (nested dispatch).
  virtual void DispatchPending(uint32_t maxWaitMs) = 0;

  // Returns once at least ms milliseconds have passed, handling every window
  // event (input, timer ticks) at once while it waits. 0 returns at once
  // without dispatching. Correct across the 32-bit clock wrap.
  virtual void Pause(uint32_t ms) = 0;

  virtual void OpenUrl(const char* url) = 0;
  virtual void SetCaption(const char* caption) = 0;

  // Ends the program at once with exit code 0 by throwing ProgramExit.
  [[noreturn]] virtual void Quit() = 0;
};
