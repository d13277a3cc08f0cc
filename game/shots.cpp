#include "game/shots.h"

#include "game/effects.h"
#include "game/enemies.h"
#include "game/flow.h"
#include "game/player.h"

namespace {
constexpr int16_t kShotStep = 12;      // pixels a shot rises per tick
constexpr int16_t kShotGoneY = -24;    // top edge at which the shot is wholly above the field
constexpr int16_t kEnemyHitSize = 32;  // every kind, the large one included
// Score is a 16-bit count; it stops at its largest value instead of wrapping.
constexpr int16_t kMaxScore = 32767;

// Ship corners must lie strictly inside the enemy square.
bool CornerTouches(const World& w, int i, int x, int y) {
  return w.EnemyX[i] < x && x < w.EnemyX[i] + kEnemyHitSize && w.EnemyY[i] < y &&
         y < w.EnemyY[i] + kEnemyHitSize;
}

// A shot's point may lie on the square's edges.
bool ShotHits(const World& w, int k, int x, int y) {
  return w.EnemyX[k] <= x && x <= w.EnemyX[k] + kEnemyHitSize && w.EnemyY[k] <= y &&
         y <= w.EnemyY[k] + kEnemyHitSize;
}
}  // namespace

void CheckShipCollisions(Game& g) {
  World& w = g.world;
  // Offsets of the four corners, in the order they are tested.
  constexpr int kCorners[4][2] = {
      {0, 0}, {kShipHitSize, 0}, {kShipHitSize, kShipHitSize}, {0, kShipHitSize}};
  for (int i = 0; i < kEnemyCount; ++i) {
    if (!w.EnemyActive[i] || w.EnemyKind[i] == kWreck) continue;
    // DeathSequence frees every entry and moves the ship back to its start,
    // but this entry's remaining corners are still tested, against the new
    // ship position: a start position inside its square costs a second ship.
    for (const auto& c : kCorners) {
      if (CornerTouches(w, i, w.PlayerX + c[0], w.PlayerY + c[1])) DeathSequence(g);
    }
  }
}

void UpdateShots(Game& g) {
  World& w = g.world;
  for (int j = 0; j < kShotCount; ++j) {
    if (w.ShotActive[j]) {
      Advance(w.ShotY[j], -kShotStep);
      // No break on a hit: one shot destroys every enemy its point lies in.
      for (int k = 0; k < kEnemyCount; ++k) {
        if (!w.EnemyActive[k] || w.EnemyKind[k] == kWreck) continue;
        if (!ShotHits(w, k, w.ShotX[j], w.ShotY[j])) continue;
        PlayWave(g, kHitWave);
        w.WreckSpeed[k] = IsLivingEnemy(w.EnemyKind[k]) ? KindRow(w.EnemyKind[k]).wreckSpeed : 0;
        w.EnemyKind[k] = kWreck;
        w.EnemyFrame[k] = 0;
        if (w.Score < kMaxScore) Advance(w.Score, 1);
        w.ShotActive[j] = false;
      }
      Cycle(w.ShotFrame[j], kBulletSheet.cells);
      DrawSheetCell(g.gfx.canvas, w.ShotX[j], w.ShotY[j], g.gfx.sprBullet, kBulletSheet,
                    w.ShotFrame[j]);
    }
    if (w.ShotY[j] <= kShotGoneY) w.ShotActive[j] = false;
  }
}
