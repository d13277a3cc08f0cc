#include "game/player.h"

#include "game/effects.h"

namespace {
constexpr int16_t kFrameLeft = 0, kFrameLevel = 1, kFrameRight = 2;
// The flame hangs centred under the ship, its top row over the ship's last.
constexpr int16_t kFlameDx = 16, kFlameDy = 44;
// A new shot is centred on the ship and starts just above its nose.
constexpr int16_t kShotDx = 15, kShotDy = -15;
}  // namespace

void MovePlayer(Game& g) {
  World& w = g.world;
  const int16_t d = w.PlayerSpeed;
  if (w.KeyUpHeld) Advance(w.PlayerY, -d);
  if (w.KeyDownHeld) Advance(w.PlayerY, d);
  w.PlayerFrame = kFrameLevel;
  if (w.KeyLeftHeld) {
    w.PlayerFrame = kFrameLeft;
    Advance(w.PlayerX, -d);
  }
  if (w.KeyRightHeld) {
    w.PlayerFrame = kFrameRight;
    Advance(w.PlayerX, d);
  }
  if (w.PlayerX < kShipMinX) w.PlayerX = kShipMinX;
  if (w.PlayerX > kShipMaxX) w.PlayerX = kShipMaxX;
  if (w.PlayerY < kShipMinY) w.PlayerY = kShipMinY;
  if (w.PlayerY > kShipMaxY) w.PlayerY = kShipMaxY;
}

void DrawPlayer(Game& g) {
  World& w = g.world;
  DrawSheetCell(g.gfx.canvas, w.PlayerX, w.PlayerY, g.gfx.sprPlayer, kPlayerSheet, w.PlayerFrame);
  Cycle(w.FlameFrame, kReacteurSheet.cells);
  DrawSheetCell(g.gfx.canvas, w.PlayerX + kFlameDx, w.PlayerY + kFlameDy, g.gfx.sprReacteur,
                kReacteurSheet, w.FlameFrame);
}

void FireShot(Game& g) {
  World& w = g.world;
  for (int i = 0; i < kFireableShots; ++i) {
    if (w.ShotActive[i]) continue;
    PlayWave(g, kShotWave);
    w.ShotActive[i] = true;
    w.ShotY[i] = static_cast<int16_t>(w.PlayerY + kShotDy);
    w.ShotX[i] = static_cast<int16_t>(w.PlayerX + kShotDx);
    return;
  }
}
