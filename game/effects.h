// The two sound effects, wave images compiled into the executable.
#pragma once

#include "game/game.h"

constexpr int kShotWave = 101;  // a shot is fired
constexpr int kHitWave = 102;   // an enemy is hit, or the ship is lost

// Starts the effect and returns at once, cutting off the one playing.
// Does nothing when SoundOn is false.
void PlayWave(Game& g, int id);
