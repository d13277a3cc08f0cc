#include "app/touch_keys.h"

// Built for the browser only.
#include <emscripten.h>

namespace {
// The page sends one key per finger change, and the game takes them at least
// every 25 ms: 64 is far more than fingers can press in that time.
constexpr int kWaiting = 64;
Event waiting[kWaiting];
int head = 0, count = 0;

bool IsGameKey(int key) {
  switch (key) {
    case kVkSpace:
    case kVkEscape:
    case kVkLeft:
    case kVkUp:
    case kVkRight:
    case kVkDown:
    case kVkM:
    case kVkS:
      return true;
    default:
      return false;
  }
}
}  // namespace

bool TakeTouchKey(Event& e) {
  if (count == 0) return false;
  e = waiting[head];
  head = (head + 1) % kWaiting;
  --count;
  return true;
}

extern "C" EMSCRIPTEN_KEEPALIVE void kestrane_touch_key(int key, int down) {
  // Full only if the game stopped taking events: a key more changes nothing.
  if (!IsGameKey(key) || count == kWaiting) return;
  Event& e = waiting[(head + count++) % kWaiting];
  e = {};
  e.type = down != 0 ? Event::Type::KeyDown : Event::Type::KeyUp;
  e.key = static_cast<int16_t>(key);
}
