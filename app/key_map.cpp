#include "app/key_map.h"

#include "app/event_loop.h"

namespace {
bool IsArrow(int16_t key) { return key >= kVkLeft && key <= kVkDown; }
}  // namespace

int16_t KeypadArrowAt(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_KP_4: return kVkLeft;
    case SDL_SCANCODE_KP_8: return kVkUp;
    case SDL_SCANCODE_KP_6: return kVkRight;
    case SDL_SCANCODE_KP_2: return kVkDown;
    default: return 0;
  }
}

int16_t GameKey(const SDL_Keysym& k) {
  switch (k.sym) {
    case SDLK_ESCAPE: return kVkEscape;
    case SDLK_SPACE: return kVkSpace;
    case SDLK_LEFT: return kVkLeft;
    case SDLK_UP: return kVkUp;
    case SDLK_RIGHT: return kVkRight;
    case SDLK_DOWN: return kVkDown;
    default: break;
  }
  // The keypad's arrow keys steer with NumLock off.
  if ((k.mod & KMOD_NUM) == 0) {
    if (const int16_t arrow = KeypadArrowAt(k.scancode)) return arrow;
  }
  // A letter key's code is its capital letter's, a digit key's its digit's.
  if (k.sym >= SDLK_a && k.sym <= SDLK_z) return static_cast<int16_t>('A' + (k.sym - SDLK_a));
  if (k.sym >= SDLK_0 && k.sym <= SDLK_9) return static_cast<int16_t>('0' + (k.sym - SDLK_0));
  // A layout whose key gives no Latin character (Cyrillic, Greek, ...): the
  // letter or digit that sits at the same place on a US keyboard.
  const bool nonLatin = k.sym >= 0x80 && (k.sym & SDLK_SCANCODE_MASK) == 0;
  if (nonLatin && k.scancode >= SDL_SCANCODE_A && k.scancode <= SDL_SCANCODE_Z) {
    return static_cast<int16_t>('A' + (k.scancode - SDL_SCANCODE_A));
  }
  if (nonLatin && k.scancode >= SDL_SCANCODE_1 && k.scancode <= SDL_SCANCODE_0) {
    return static_cast<int16_t>(k.scancode == SDL_SCANCODE_0 ? '0'
                                                              : '1' + (k.scancode - SDL_SCANCODE_1));
  }
  return 0;
}

uint8_t ArrowBit(int16_t key) {
  return IsArrow(key) ? static_cast<uint8_t>(1u << (key - kVkLeft)) : 0;
}

uint8_t HeldArrows::Any() const {
  uint8_t any = 0;
  for (uint8_t h : held_) any |= h;
  return any;
}

HeldArrows::Change HeldArrows::Set(int source, uint8_t arrows) {
  const uint8_t before = Any();
  held_[source] = arrows;
  const uint8_t after = Any();
  return {static_cast<uint8_t>(after & ~before), static_cast<uint8_t>(before & ~after)};
}
