// The player's ship: movement, drawing, firing.
#pragma once

#include "game/game.h"

// Tick step 6: moves the ship by the held arrow keys, picks its attitude
// column and clamps it to its area.
void MovePlayer(Game& g);
// Tick step 10: draws the ship, then advances and draws the engine flame.
void DrawPlayer(Game& g);
// Called on each release of Space during play: puts a shot into the lowest
// free entry of 0..9 and plays the shot sound; nothing when all ten fly.
void FireShot(Game& g);
