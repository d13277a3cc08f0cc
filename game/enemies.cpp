#include "game/enemies.h"

#include <cmath>

namespace {
// r = round(u * 25): 1..20 pick a kind, five values each; 0 and 21..25 spawn
// nothing, so the empty attempt is as likely as each kind.
constexpr int kSpawnDrawScale = 25;
constexpr int kDrawsPerKind = 5;
constexpr int kEnemyXScale = 14 * 25;  // left edge 0..350

bool PastFarEdge(const EnemyKindRow& row, int16_t y) {
  return row.move > 0 ? y >= row.freeY : y <= row.freeY;
}
}  // namespace

int16_t RoundHalfEven(double v) {
  // The default floating-point rounding mode rounds halves to even.
  return static_cast<int16_t>(std::nearbyint(v));
}

void SpawnEnemies(Game& g) {
  World& w = g.world;
  Advance(w.SpawnCountdown, -1);
  if (w.SpawnCountdown > 0) return;
  w.SpawnCountdown = kSpawnInterval;

  const int16_t r = RoundHalfEven(g.random.Next() * kSpawnDrawScale);
  if (r < 1 || r > kLivingKinds * kDrawsPerKind) return;
  const auto kind = static_cast<int16_t>(kFirstEnemyKind + (r - 1) / kDrawsPerKind);

  const int16_t i = FindFreeEnemySlot(w);
  w.EnemyX[i] = RoundHalfEven(g.random.Next() * kEnemyXScale);
  w.EnemyY[i] = KindRow(kind).spawnY;
  w.EnemyKind[i] = kind;
  w.EnemyFrame[i] = 0;
  w.EnemyActive[i] = true;
}

void UpdateEnemies(Game& g) {
  World& w = g.world;
  Surfaces& s = g.gfx;
  for (int i = 0; i < kEnemyCount; ++i) {
    if (!w.EnemyActive[i]) continue;
    const int16_t kind = w.EnemyKind[i];
    if (kind == kWreck) {
      Advance(w.EnemyFrame[i], 1);
      Advance(w.EnemyY[i], w.WreckSpeed[i]);
      // The last explosion picture is still drawn in the tick that frees it.
      if (w.EnemyFrame[i] == kWreckTicks) w.EnemyActive[i] = false;
      DrawSheetCell(s.canvas, w.EnemyX[i], w.EnemyY[i], s.sprBlow, kBlowSheet, w.EnemyFrame[i]);
    } else if (IsLivingEnemy(kind)) {
      const EnemyKindRow& row = KindRow(kind);
      Advance(w.EnemyY[i], row.move);
      Cycle(w.EnemyFrame[i], row.counterLimit);
      DrawSheetCell(s.canvas, w.EnemyX[i], w.EnemyY[i], s.sprEnnemy[row.sheet],
                    kEnnemySheets[row.sheet], w.EnemyFrame[i] / row.columnDivisor);
      if (PastFarEdge(row, w.EnemyY[i])) w.EnemyActive[i] = false;
    }
  }
}
