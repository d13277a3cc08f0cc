#include "app/input.h"

#include "app/event_loop.h"
#include "app/main_form.h"
#include "game/flow.h"
#include "game/music.h"
#include "game/player.h"

namespace {
// M and S act the same on both screens; switching the music on starts the
// section of the screen shown, from its start.
void SwitchKeys(Game& g, int16_t key) {
  World& w = g.world;
  if (key == kVkS) {
    w.SoundOn = !w.SoundOn;
  } else if (key == kVkM) {
    StopMusic(g, false);
    w.MusicOn = !w.MusicOn;
    if (w.MusicOn) PlaySection(g, w.GameRunning ? kPlayMusic : kTitleMusic);
  }
}

// The held-arrow flag a key controls, or null for any other key.
bool* ArrowFlag(World& w, int16_t key) {
  switch (key) {
    case kVkLeft:
      return &w.KeyLeftHeld;
    case kVkUp:
      return &w.KeyUpHeld;
    case kVkRight:
      return &w.KeyRightHeld;
    case kVkDown:
      return &w.KeyDownHeld;
    default:
      return nullptr;
  }
}

// Title screen, and the pauses of the death sequence and the title reveal.
void TitleKeyDown(Game& g, int16_t key) {
  if (key == kVkEscape) {
    UnloadMainForm(g);  // does not return
  } else if (key == kVkSpace) {
    // Space in the death sequence's pauses is the player firing; a game
    // started there would throw the running game away.
    if (!g.world.DeathSequenceRunning) StartGame(g);
  } else {
    SwitchKeys(g, key);
  }
}

// Play. Space does nothing here: the shot is fired on release.
void PlayKeyDown(Game& g, int16_t key) {
  if (bool* held = ArrowFlag(g.world, key)) {
    *held = true;
  } else if (key == kVkEscape) {
    BackToTitle(g);
  } else {
    SwitchKeys(g, key);
  }
}
}  // namespace

void Form_KeyDown(Game& g, int16_t key, int16_t) {
  if (g.world.GameRunning) {
    PlayKeyDown(g, key);
  } else {
    TitleKeyDown(g, key);
  }
}

void Form_KeyUp(Game& g, int16_t key, int16_t) {
  World& w = g.world;
  if (!w.GameRunning) return;
  if (bool* held = ArrowFlag(w, key)) {
    *held = false;
  } else if (key == kVkSpace) {
    FireShot(g);
  }
}
