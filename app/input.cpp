#include "app/input.h"

#include "app/event_loop.h"
#include "app/flow.h"
#include "app/main_form.h"
#include "audio/music.h"
#include "game/player.h"

namespace {
// M: stop whatever plays; switching on restarts the given section from its start.
void SwitchMusic(Game& g, const MusicSection& section) {
  World& w = g.world;
  StopMusic(g, false);
  if (w.MusicOn) {
    w.MusicOn = false;
  } else {
    w.MusicOn = true;
    PlaySection(g, section);
  }
}

// The held-arrow flag a key controls, or null for any other key.
bool* ArrowFlag(World& w, int16_t key) {
  switch (key) {
    case VK_LEFT: return &w.KeyLeftHeld;
    case VK_UP: return &w.KeyUpHeld;
    case VK_RIGHT: return &w.KeyRightHeld;
    case VK_DOWN: return &w.KeyDownHeld;
    default: return nullptr;
  }
}

// Title screen, and the pauses of the death sequence and the title reveal.
void TitleKeyDown(Game& g, int16_t key) {
  World& w = g.world;
  switch (key) {
    case VK_ESCAPE:
      UnloadMainForm(g);  // does not return
      break;
    case VK_SPACE:
      // Space in the death sequence's pauses is the player firing; a game
      // started there would throw the running game away.
      if (!w.DeathSequenceRunning) StartGame(g);
      break;
    case VK_M:
      SwitchMusic(g, kTitleMusic);
      break;
    case VK_S:
      w.SoundOn = !w.SoundOn;
      break;
    default:
      break;
  }
}

void PlayKeyDown(Game& g, int16_t key) {
  World& w = g.world;
  if (bool* held = ArrowFlag(w, key)) {
    *held = true;
    return;
  }
  switch (key) {
    case VK_ESCAPE:
      BackToTitle(g);
      break;
    case VK_M:
      SwitchMusic(g, kPlayMusic);
      break;
    case VK_S:
      w.SoundOn = !w.SoundOn;
      break;
    default:  // Space fires on release
      break;
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
  } else if (key == VK_SPACE) {
    FireShot(g);
  }
}
