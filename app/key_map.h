// The key map: which game key an SDL key event means, and which arrows each
// source of input holds. Pure: no window, no event queue.
#pragma once

#include <SDL_keyboard.h>

#include <cstdint>

// The game's key code for an SDL key (the window system's virtual-key codes
// the handlers expect), 0 for a key the game has no use for. Called by
// SdlPlatform for every key event.
int16_t GameKey(const SDL_Keysym& k);

// The keypad arrow at a scancode (the keypad's 4, 8, 6 and 2), whatever
// NumLock says; 0 for any other key. A key let go is matched by where it is,
// so a NumLock change while it is held cannot strand it.
int16_t KeypadArrowAt(SDL_Scancode scancode);

// Bit i of an arrow mask is the arrow kVkLeft + i: left, up, right, down.
uint8_t ArrowBit(int16_t key);

// Arrows held, kept apart for each source (the keyboard's arrows, the
// keypad's, the page's touch controls, each game pad): an arrow is down while
// any source holds it, so letting go on one source never lifts what another
// still holds.
class HeldArrows {
 public:
  static constexpr int kKeyboard = 0, kKeypad = 1, kTouch = 2, kFirstPad = 3;
  static constexpr int kSources = 7;  // the keyboard, the keypad, touch and four pads

  // Sets what one source holds now. Returns the arrows held by no source
  // before and by some source now (pressed) and the reverse (released).
  struct Change {
    uint8_t pressed = 0, released = 0;
  };
  Change Set(int source, uint8_t arrows);
  uint8_t Held(int source) const { return held_[source]; }
  uint8_t Any() const;

 private:
  uint8_t held_[kSources] = {};
};
