#include "app/event_loop.h"

#include <algorithm>

EventLoop::EventLoop(Platform& platform) : Host(platform), platform_(platform) {
  SetTimerEnabled(TimerId::ScrollText, true);
}

void EventLoop::SetTimerEnabled(TimerId id, bool enabled) {
  Timer& t = timers_[Index(id)];
  if (enabled && !t.enabled) t.due = platform_.Now() + t.interval;
  t.enabled = enabled;
}

// A timer keeps the rhythm it took when enabled: a tick handled a little late
// (the wait woke a millisecond after the due time) does not delay the next,
// so the game runs at its 20 frames a second. A timer late by a whole
// interval or more fires once and takes a new rhythm from now, so a slow
// handler never causes a burst of catch-up ticks.
bool EventLoop::FireDueTimers() {
  bool fired = false;
  for (TimerId id : {TimerId::Main, TimerId::ScrollText}) {
    Timer& t = timers_[Index(id)];
    const uint32_t now = platform_.Now();
    if (!t.enabled || static_cast<int32_t>(now - t.due) < 0) continue;
    t.due += t.interval;
    if (static_cast<int32_t>(now - t.due) >= 0) t.due = now + t.interval;
    fired = true;
    if (handlers_ != nullptr) handlers_->OnTimer(id);
  }
  return fired;
}

uint32_t EventLoop::TimeToNextTimer(uint32_t limit) {
  const uint32_t now = platform_.Now();
  for (const Timer& t : timers_) {
    if (!t.enabled) continue;
    const int32_t left = static_cast<int32_t>(t.due - now);
    limit = std::min(limit, static_cast<uint32_t>(std::max(left, 0)));
  }
  return limit;
}

void EventLoop::DispatchPending(uint32_t maxWaitMs) {
  bool any = false;
  Event e;
  // Input first, then timers: a timer tick is the lowest-priority event.
  while (platform_.WaitEvent(e, 0)) {
    any = true;
    if (handlers_ != nullptr) handlers_->OnEvent(e);
  }
  if (FireDueTimers()) any = true;
  if (any || maxWaitMs == 0) return;

  const uint32_t wait = TimeToNextTimer(maxWaitMs);
  if (wait > 0 && platform_.WaitEvent(e, wait)) {
    if (handlers_ != nullptr) handlers_->OnEvent(e);
    while (platform_.WaitEvent(e, 0)) {
      if (handlers_ != nullptr) handlers_->OnEvent(e);
    }
  }
  FireDueTimers();
}

void EventLoop::Run() {
  for (;;) DispatchPending(1000);
}
