// The game's music: one tracker module played in sections of song positions.
#pragma once

#include <cstdint>

#include "game/game.h"

struct MusicSection {
  int32_t start, end, restart;
  bool loop;
};
constexpr MusicSection kTitleMusic{0, 8, 1, true};
constexpr MusicSection kPlayMusic{10, 19, 12, true};
constexpr MusicSection kDeathJingle{9, 9, 9, false};

// Starts the module player and loads the module from world.MusicPath. Called
// once from Form_Load; a second call first releases the loaded module.
void InitMusic(Game& g);

// Plays a section in the background and returns at once. Does nothing when
// MusicOn is false or no module is loaded. Callers stop the music first.
void PlaySection(Game& g, int32_t start, int32_t end, int32_t restart, bool loop);
inline void PlaySection(Game& g, const MusicSection& s) {
  PlaySection(g, s.start, s.end, s.restart, s.loop);
}

// Stops the section playing, whatever MusicOn says; with release also frees
// the module.
void StopMusic(Game& g, bool release);

// Shuts the module player down; called once, at program end.
void CloseMusic(Game& g);
