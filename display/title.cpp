#include "display/title.h"

#include "assets/surfaces.h"
#include "display/banner.h"

namespace {
constexpr int kPasses = 10;  // row p of every ten is painted in pass p
constexpr uint32_t kPassPause = 50;
}  // namespace

void ShowTitleScreen(Game& g) {
  Surface& canvas = g.gfx.canvas;
  for (int pass = 0; pass < kPasses; ++pass) {
    // Base 400 lies below the picture; the copy is clipped to nothing.
    for (int base = 0; base <= kCanvasSize; base += kPasses) {
      BitBlt(canvas, 0, base + pass, kCanvasSize, 1, g.gfx.picTitle, 0, base + pass, SRCCOPY);
    }
    g.host.Present(canvas);
    g.host.Pause(kPassPause);
    // Space in the pause started a round: it owns the window and the timers
    // now, so the title must neither paint over it nor start the banner.
    if (g.world.GameRunning) return;
  }
  g.world.BannerChar = 0;
  g.world.BannerShift = 0;
  BuildBannerText(g, 0);
  g.host.SetTimerEnabled(TimerId::ScrollText, true);
}
