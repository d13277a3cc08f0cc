// Keyboard handling of the main window. Which table applies depends on
// GameRunning alone.
#pragma once

#include <cstdint>

#include "game/game.h"

// Called by MainForm for each key press and each automatic repeat, also from
// the pauses of the death sequence and the title reveal. shift is ignored.
void Form_KeyDown(Game& g, int16_t key, int16_t shift);
// Called by MainForm once when a key is released; acts only during play.
void Form_KeyUp(Game& g, int16_t key, int16_t shift);
