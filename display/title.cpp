#include "display/title.h"

#include "audio/pause.h"
#include "display/banner.h"

namespace {
constexpr int kRevealPasses = 10;  // pass p paints the rows p, p + 10, p + 20, ...
constexpr uint32_t kRevealPassMs = 50;
}  // namespace

void ShowTitleScreen(Game& g) {
  Surfaces& s = g.gfx;
  for (int16_t p = 0; p < kRevealPasses; ++p) {
    // Row bases run to 400 inclusive; the last copy lies past both pictures.
    for (int16_t b = 0; b <= kCanvasSize; b += kRevealPasses) {
      BitBlt(s.canvas, 0, b + p, kCanvasSize, 1, s.picTitle, 0, b + p, SRCCOPY);
    }
    g.host.Present(s.canvas);
    Pause(g.host, kRevealPassMs);
  }
  g.world.BannerChar = 0;
  g.world.BannerShift = 0;
  BuildBannerText(g, 0);
  g.host.SetTimerEnabled(TimerId::ScrollText, true);
}
