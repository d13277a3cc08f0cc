#include "app/game_pads.h"

#include "app/event_loop.h"

namespace {
// Arrow bits, as the key map counts them: left, up, right, down.
constexpr uint8_t kLeft = 1, kUp = 2, kRight = 4, kDown = 8;
}  // namespace

uint8_t StickArrows(uint8_t held, bool xAxis, int value) {
  const uint8_t negative = xAxis ? kLeft : kUp, positive = xAxis ? kRight : kDown;
  if (value < -16384) held = static_cast<uint8_t>((held | negative) & ~positive);
  if (value > 16384) held = static_cast<uint8_t>((held | positive) & ~negative);
  if (value > -8192 && value < 8192) held = static_cast<uint8_t>(held & ~(negative | positive));
  return held;
}

void GamePads::CloseAll() {
  for (Pad& p : pads_) {
    if (p.controller != nullptr) SDL_GameControllerClose(p.controller);
    p = {};
  }
}

int GamePads::SlotOf(SDL_JoystickID id) const {
  for (int i = 0; i < kPads; ++i) {
    if (pads_[i].controller != nullptr && pads_[i].id == id) return i;
  }
  return -1;
}

bool GamePads::Handle(const SDL_Event& ev, Change& change) {
  change = {};
  switch (ev.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(ev.cdevice.which);
      if (SlotOf(id) >= 0) return false;
      for (Pad& p : pads_) {
        if (p.controller != nullptr) continue;
        p.controller = SDL_GameControllerOpen(ev.cdevice.which);
        p.id = id;
        break;
      }
      return false;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
      const int slot = SlotOf(ev.cdevice.which);
      if (slot < 0) return false;
      SDL_GameControllerClose(pads_[slot].controller);
      pads_[slot] = {};
      change.pad = slot;  // what it held is let go
      return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      const int slot = SlotOf(ev.cbutton.which);
      if (slot < 0) return false;
      Pad& p = pads_[slot];
      change.down = ev.type == SDL_CONTROLLERBUTTONDOWN;
      uint8_t bit = 0;
      switch (ev.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_A: change.key = kVkSpace; return true;
        case SDL_CONTROLLER_BUTTON_BACK: change.key = kVkEscape; return true;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: bit = kLeft; break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: bit = kUp; break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: bit = kRight; break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: bit = kDown; break;
        default: return false;
      }
      p.dpad = static_cast<uint8_t>(change.down ? p.dpad | bit : p.dpad & ~bit);
      change.pad = slot;
      change.arrows = p.dpad | p.stick;
      return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
      const int slot = SlotOf(ev.caxis.which);
      const bool x = ev.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX;
      if (slot < 0 || (!x && ev.caxis.axis != SDL_CONTROLLER_AXIS_LEFTY)) return false;
      Pad& p = pads_[slot];
      p.stick = StickArrows(p.stick, x, ev.caxis.value);
      change.pad = slot;
      change.arrows = p.dpad | p.stick;
      return true;
    }
    default:
      return false;
  }
}
