// The title screen's web link: lit under the mouse, opened by a click.
#pragma once

#include <cstdint>

#include "game/game.h"

// The maker's page the link opens; kept here and nowhere else.
extern const char* const kLinkAddress;

// Pointer movement over the client area; acts only on the title screen.
void Form_MouseMove(Game& g, int16_t shift, float x, float y);
// A mouse button pressed over the client area; acts only on the title screen.
void Form_MouseDown(Game& g, int16_t button, int16_t shift, float x, float y);
