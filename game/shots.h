// Shots, hits and collisions.
#pragma once

#include "game/game.h"

// Tick step 9: the ship's four corner tests against every enemy; each touch
// calls DeathSequence at once.
void CheckShipCollisions(Game& g);
// Tick step 11: moves, tests, animates, draws and frees every shot.
void UpdateShots(Game& g);
