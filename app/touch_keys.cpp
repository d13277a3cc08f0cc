#include "app/touch_keys.h"

namespace {
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

void TouchKeys::Remove(int i) {
  for (--count_; i < count_; ++i) waiting_[i] = waiting_[i + 1];
}

void TouchKeys::Push(int key, int action) {
  if (!IsGameKey(key) || action < kTouchRelease || action > kTouchCancel) return;
  if (count_ == kCapacity) {
    // A press dropped at worst misses a step or a start; a release dropped
    // could leave an arrow steering for ever. With eight keys and 64 places
    // one of the two kinds below is always there.
    int drop = -1;
    for (int i = 0; i < count_ && drop < 0; ++i) {
      if (waiting_[i].action == kTouchPress) drop = i;
    }
    for (int i = 0; i < count_ && drop < 0; ++i) {
      for (int j = i + 1; j < count_ && drop < 0; ++j) {
        if (waiting_[j].key == waiting_[i].key) drop = i;
      }
    }
    Remove(drop);
  }
  waiting_[count_++] = {static_cast<int16_t>(key), static_cast<int8_t>(action)};
}

bool TouchKeys::Take(HeldArrows& arrows, Event& e) {
  while (count_ > 0) {
    const Change c = waiting_[0];
    Remove(0);
    const bool press = c.action == kTouchPress;
    if (const uint8_t bit = ArrowBit(c.key)) {
      const uint8_t held = arrows.Held(HeldArrows::kTouch);
      arrows.Set(HeldArrows::kTouch, static_cast<uint8_t>(press ? held | bit : held & ~bit));
      // A lift of an arrow touch did not hold, or that another source still
      // holds, changes nothing; a cancelled arrow is simply let go.
      if (!press && ((held & bit) == 0 || (arrows.Any() & bit) != 0)) continue;
    } else if (c.action == kTouchCancel) {
      continue;
    }
    e = {};
    e.type = press ? Event::Type::KeyDown : Event::Type::KeyUp;
    e.key = c.key;
    return true;
  }
  return false;
}
