// The title screen: the title picture revealed in ten interleaved passes.
#pragma once

#include "game/game.h"

// Called by Form_Load (last step) and BackToTitle (last step). Reveals
// picTitle on the canvas with a present and a 50 ms pause after each pass,
// then restarts the banner and enables tmrScrollText.
void ShowTitleScreen(Game& g);
