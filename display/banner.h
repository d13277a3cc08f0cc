// The bitmap-font banner that scrolls along the bottom of the title screen.
#pragma once

#include <cstdint>
#include <string_view>

#include "game/game.h"

// The fixed banner text, 201 characters.
extern const std::string_view BannerText;

// Renders the 30 characters from start (or from 0, setting BannerChar to 0,
// when they would run past the text) into picScrollBuffer.
void BuildBannerText(Game& g, int16_t start);

// Handler of tmrScrollText, every 20 ms on the title screen: moves the banner
// two pixels left, draws its strip over rows 380..395 and presents.
void tmrScrollText_Timer(Game& g);
