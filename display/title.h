// The title screen: the title picture revealed in ten interleaved passes.
#pragma once

#include "game/game.h"

// Called by Form_Load (last step) and BackToTitle (last step). Reveals
// picTitle on the canvas with a present and a 50 ms pause after each pass,
// then restarts the banner and enables tmrScrollText. When Space in one of
// the pauses has started a round, it stops after that pause and leaves the
// window and the timers to the round. Called again while it runs (a round
// started and ended in its pauses), it starts the running reveal over from
// the first pass and returns at once.
void ShowTitleScreen(Game& g);
