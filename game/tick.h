// The frame tick: the handler of tmrMain, one step of the whole playfield.
#pragma once

#include "game/game.h"

// Called by MainForm on each tick of tmrMain (every 50 ms while enabled).
// Advances the world by one tick, draws the finished frame on the canvas and
// presents it; may run DeathSequence and BackToTitle inside.
void tmrMain_Timer(Game& g);

// Steps 1 to 4: moves StarRow on, scrolls bufTiles down two rows, feeds the
// new strip rows in at the top and copies the background to the canvas.
void ScrollBackground(Game& g);
