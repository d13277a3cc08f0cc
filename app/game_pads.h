// Game pads: each pad's held directions as arrows, A and Back as Space and
// Escape. Opens pads as they are plugged in and lets go of what a pad held
// when it is pulled out.
#pragma once

#include <SDL_events.h>
#include <SDL_gamecontroller.h>

#include <cstdint>

class GamePads {
 public:
  static constexpr int kPads = 4;

  GamePads() = default;
  ~GamePads() { CloseAll(); }
  GamePads(const GamePads&) = delete;
  GamePads& operator=(const GamePads&) = delete;

  // What one SDL event meant: pad (>= 0) now holds the arrows given, and/or
  // key (Space, Escape) went down or up.
  struct Change {
    int pad = -1;
    uint8_t arrows = 0;
    int16_t key = 0;
    bool down = false;
  };
  // Called by SdlPlatform for each SDL event it does not handle itself;
  // false when the event was not a pad's or changes nothing for the game.
  bool Handle(const SDL_Event& ev, Change& change);
  // Closes every pad; called before SDL's controller part stops.
  void CloseAll();

 private:
  struct Pad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    uint8_t dpad = 0, stick = 0;  // held directions, one bit per arrow
  };
  int SlotOf(SDL_JoystickID id) const;

  Pad pads_[kPads];
};

// The arrows a stick holds after it moved along one axis to value. Past half
// way holds the arrow; back inside a quarter lets it go, so a stick resting
// near the edge does not chatter.
uint8_t StickArrows(uint8_t held, bool xAxis, int value);
