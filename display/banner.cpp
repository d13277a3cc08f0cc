#include "display/banner.h"

const std::string_view BannerText = "";
void BuildBannerText(Game&, int16_t) {}
void tmrScrollText_Timer(Game&) {}
