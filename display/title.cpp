#include "display/title.h"

#include "assets/surfaces.h"
#include "display/banner.h"

namespace {
constexpr int kPasses = 10;  // row p of every ten is painted in pass p
constexpr uint32_t kPassPause = 50;
}  // namespace

void ShowTitleScreen(Game& g) {
  World& w = g.world;
  // A return to the title inside this reveal's pauses (Space started a round
  // there, Escape ended it) starts the running reveal over rather than
  // running a second one inside it: keys however fast never pile reveals up,
  // and their effect ends with them.
  if (w.TitleRevealRunning) {
    w.TitleRevealAgain = true;
    return;
  }
  struct Running {
    World& w;
    explicit Running(World& world) : w(world) { w.TitleRevealRunning = true; }
    ~Running() { w.TitleRevealRunning = w.TitleRevealAgain = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
  } running(w);
  Surface& canvas = g.gfx.canvas;
  for (int pass = 0; pass < kPasses; ++pass) {
    // Base 400 lies below the picture; the copy is clipped to nothing.
    for (int base = 0; base <= kCanvasSize; base += kPasses) {
      BitBlt(canvas, 0, base + pass, kCanvasSize, 1, g.gfx.picTitle, 0, base + pass, kSrcCopy);
    }
    g.host.window.Present(canvas);
    g.host.Pause(kPassPause);
    // Space in the pause started a round: it owns the window and the timers
    // now, so the title must neither paint over it nor start the banner.
    if (w.GameRunning) return;
    // The round played meanwhile drew over the passes already shown.
    if (w.TitleRevealAgain) {
      w.TitleRevealAgain = false;
      pass = -1;
    }
  }
  w.BannerChar = 0;
  w.BannerShift = 0;
  BuildBannerText(g, 0);
  g.host.SetTimerEnabled(TimerId::ScrollText, true);
}
