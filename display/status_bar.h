// The status line over the top rows of the playfield.
#pragma once

#include "game/game.h"

// Called once per frame tick, after the enemies and before the ship: draws
// stage, score and ships left with masked copies. Does not present.
void DrawStatusBar(Game& g);
