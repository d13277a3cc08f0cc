// Screen states and the operations that move between them.
#pragma once

#include <cstdint>

#include "game/game.h"

// Lives at start-up and at each game start: four ships per game.
constexpr int16_t kStartLives = 3;

// Space on the title screen: counters reset, star field laid into the
// background, GameRunning true, then StartRound.
void StartGame(Game& g);

// Puts a fresh ship into play: banner timer off, ship and tables reset, play
// music, frame timer on. Called by StartGame and at the end of DeathSequence.
void StartRound(Game& g);

// A ship is lost. Called by the frame tick for every corner test that
// touches; runs the explosion with pauses, takes a life, waits, and ends
// with StartRound. Returns into the tick that called it.
void DeathSequence(Game& g);

// Play ends (last ship lost, or Escape): title music, frame timer off, banner
// restarted, title picture revealed over the last frame.
void BackToTitle(Game& g);
