// Enemies: spawning and the per-tick update and drawing of enemies and wrecks.
#pragma once

#include "game/game.h"

// Tick step 5: counts down and, every tenth tick, may spawn an enemy.
void SpawnEnemies(Game& g);
// Tick step 7: moves, animates, draws and frees every enemy and wreck.
void UpdateEnemies(Game& g);
