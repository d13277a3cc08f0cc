// The frame tick: the handler of tmrMain, one step of the whole playfield.
#pragma once

#include "game/game.h"

// Called by the event loop every 50 ms while tmrMain is enabled. Advances the
// world by one tick, draws the finished frame on the canvas and presents it.
void tmrMain_Timer(Game& g);

// Steps 1 to 4: moves StarRow on, scrolls bufTiles down two rows, feeds the
// new strip rows in at the top and copies the background to the canvas.
void ScrollBackground(Game& g);
