// Keys from the browser page's on-screen controls (phones and tablets). The
// page calls kestrane_touch_key from its pointer handlers while the game
// sleeps; the platform hands the keys to the game as the keyboard's and the
// game controller's: the same virtual-key codes, key down and key up. Pure:
// the queue and what each change means, tested on the desktop.
#pragma once

#include <cstdint>

#include "app/event_loop.h"
#include "app/key_map.h"

// What happened to a control, as the page says it.
constexpr int kTouchRelease = 0;  // the finger lifted: Space fires
constexpr int kTouchPress = 1;
// The browser took the finger back (pointercancel: the system claimed the
// gesture, a dialog opened). The control is let go without the action of a
// release: arrows stop steering, Space and the other keys do nothing.
constexpr int kTouchCancel = 2;

class TouchKeys {
 public:
  // The page sends one change per finger, and the game takes them at least
  // every 25 ms: 64 is far more than fingers make in that time.
  static constexpr int kCapacity = 64;

  // Queues a change of one of the game's keys (Space, the arrows, Escape, M,
  // S); any other key or action is ignored. A full queue (the game stopped
  // taking events) makes room by dropping its oldest press, or, with none
  // left, the older of two releases of one key: a release is never lost
  // unless a later one of the same key stands for it.
  void Push(int key, int action);

  // The oldest change the game sees, as its event; arrows go through
  // `arrows` as the touch source, so an arrow still held on a keyboard or
  // pad stays down. False when no change waiting means anything.
  bool Take(HeldArrows& arrows, Event& e);

 private:
  struct Change {
    int16_t key;
    int8_t action;
  };
  void Remove(int i);
  Change waiting_[kCapacity] = {};
  int count_ = 0;
};

extern "C" {
// Called by the page: `key`, the virtual-key code of one of the game's keys,
// and kTouchPress, kTouchRelease or kTouchCancel. Built for the browser only.
void kestrane_touch_key(int key, int action);
}
