// The title screen's web link: lit under the mouse, opened by a click.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "game/game.h"

// The game's own page the link opens; kept here and nowhere else. It lies
// in the game's folder, so the address is relative to that folder: the
// browser build's page resolves it, the desktop platform makes a file
// address of it with AddressFromFolder.
extern const char* const kLinkAddress;

// The platform, when opening an address: a relative address becomes the
// file:// address of that file in folder (an absolute path); an address with
// a scheme comes back unchanged.
std::string AddressFromFolder(std::string_view folder, std::string_view address);

// Pointer movement over the client area; acts only on the title screen.
void Form_MouseMove(Game& g, int16_t shift, float x, float y);
// A mouse button pressed over the client area; acts only on the title screen.
void Form_MouseDown(Game& g, int16_t button, int16_t shift, float x, float y);
