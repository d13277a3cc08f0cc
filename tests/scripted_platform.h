// The test seam: a Platform with a scripted clock and scripted events, so
// whole runs of the game play without a window and without waiting.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/event_loop.h"

class ScriptedPlatform : public Platform {
 public:
  // Queues an event that becomes pending at time t (ms).
  void At(uint32_t t, Event e) {
    auto it = script_.begin();
    while (it != script_.end() && static_cast<int32_t>(it->first - t) <= 0) ++it;
    script_.insert(it, {t, e});
  }
  void KeyDownAt(uint32_t t, int16_t key) { At(t, Key(Event::Type::KeyDown, key)); }
  void KeyUpAt(uint32_t t, int16_t key) { At(t, Key(Event::Type::KeyUp, key)); }
  void MouseAt(uint32_t t, Event::Type type, float x, float y) {
    Event e;
    e.type = type;
    e.x = x;
    e.y = y;
    e.button = 1;
    At(t, e);
  }
  static Event Key(Event::Type type, int16_t key) {
    Event e;
    e.type = type;
    e.key = key;
    return e;
  }
  bool Idle() const { return script_.empty(); }

  uint32_t Now() override { return now; }
  bool WaitEvent(Event& e, uint32_t timeoutMs) override {
    ++waits;
    if (!script_.empty()) {
      const int32_t until = static_cast<int32_t>(script_.front().first - now);
      if (until <= static_cast<int32_t>(timeoutMs)) {
        if (until > 0) now = script_.front().first;
        e = script_.front().second;
        script_.pop_front();
        return true;
      }
    }
    now += timeoutMs;
    return false;
  }
  // Keeps what the window would show and fails the test when a caller
  // changed a row it did not present: the window would show it stale.
  void PresentRows(const Surface& canvas, int first, int end) override {
    ++presents;
    if (shown.Width() != canvas.Width() || shown.Height() != canvas.Height()) shown = canvas;
    for (int y = 0; y < canvas.Height(); ++y) {
      const size_t bytes = static_cast<size_t>(canvas.Width()) * sizeof(uint32_t);
      if (y >= first && y < end) {
        std::memcpy(shown.Row(y), canvas.Row(y), bytes);
      } else if (std::memcmp(shown.Row(y), canvas.Row(y), bytes) != 0) {
        ADD_FAILURE() << "row " << y << " changed but only rows " << first << ".." << end - 1
                      << " were presented";
        shown = canvas;
        break;
      }
    }
    if (onPresent) onPresent(canvas);
  }
  void OpenUrl(const char* url) override { urls.emplace_back(url); }
  void SetCaption(const char* c) override { caption = c; }

  uint32_t now = 0;
  int presents = 0;
  int waits = 0;
  std::vector<std::string> urls;
  std::string caption;
  std::function<void(const Surface&)> onPresent;
  Surface shown{0, 0};  // what the window shows

 private:
  std::deque<std::pair<uint32_t, Event>> script_;
};

// Runs the event loop until the scripted clock reaches t.
inline void RunUntil(EventLoop& loop, ScriptedPlatform& p, uint32_t t) {
  while (static_cast<int32_t>(t - p.now) > 0) loop.DispatchPending(t - p.now);
}
