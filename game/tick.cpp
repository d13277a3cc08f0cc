#include "game/tick.h"

#include "display/status_bar.h"
#include "game/enemies.h"
#include "game/flow.h"
#include "game/player.h"
#include "game/shots.h"

namespace {
constexpr int16_t kScrollStep = 2;       // pixels the star field moves per tick
constexpr int16_t kStarStripRows = 360;  // StarRow restarts here
}  // namespace

void ScrollBackground(Game& g) {
  World& w = g.world;
  Surfaces& s = g.gfx;
  w.StarRow = static_cast<int16_t>(w.StarRow - kScrollStep);
  if (w.StarRow <= 0) w.StarRow = kStarStripRows;
  BitBlt(s.bufTiles, 0, kScrollStep, kCanvasSize, kCanvasSize, s.bufTiles, 0, 0, kSrcCopy);
  BitBlt(s.bufTiles, 0, 0, kCanvasSize, kScrollStep, s.sprStars, 0, w.StarRow, kSrcCopy);
  BitBlt(s.canvas, 0, 0, kCanvasSize, kCanvasSize, s.bufTiles, 0, 0, kSrcCopy);
}

void tmrMain_Timer(Game& g) {
  ScrollBackground(g);
  SpawnEnemies(g);
  MovePlayer(g);
  UpdateEnemies(g);
  DrawStatusBar(g);
  // May run DeathSequence, which returns with a fresh round set up; the rest
  // of this tick then draws and presents that round's first picture.
  CheckShipCollisions(g);
  DrawPlayer(g);
  UpdateShots(g);
  g.host.window.Present(g.gfx.canvas);
  if (g.world.Lives < 0) BackToTitle(g);
}
