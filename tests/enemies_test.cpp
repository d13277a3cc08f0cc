#include "game/enemies.h"

#include <gtest/gtest.h>

#include "game/tick.h"
#include "tests/fakes.h"

namespace {

struct EnemiesTest : ::testing::Test {
  GameRig rig;
  World& w = rig.g.world;

  // Puts a living enemy straight into entry i.
  void Place(int i, int16_t kind, int16_t x, int16_t y) {
    w.EnemyActive[i] = true;
    w.EnemyKind[i] = kind;
    w.EnemyX[i] = x;
    w.EnemyY[i] = y;
    w.EnemyFrame[i] = 0;
  }
  // Ticks UpdateEnemies until entry i is freed; returns the ticks and the
  // y positions seen.
  int LifeOf(int i, std::vector<int16_t>* ys = nullptr) {
    int ticks = 0;
    while (w.EnemyActive[i] && ticks < 1000) {
      UpdateEnemies(rig.g);
      if (ys != nullptr) ys->push_back(w.EnemyY[i]);
      ++ticks;
    }
    return ticks;
  }
};

// Colours each column of a sheet with its own value (mask rows stay black).
void NumberColumns(Surface& sheet, int cellW, int cellH) {
  for (int y = 0; y < cellH; ++y)
    for (int x = 0; x < sheet.Width(); ++x) sheet.SetPixel(x, y, 0x100 + x / cellW);
}

}  // namespace

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundHalfEven(349.5), 350);
  EXPECT_EQ(RoundHalfEven(0.49), 0);
}

TEST_F(EnemiesTest, FirstTickOfTheFirstGameSpawnsMovesAndDrawsInTheSameTick) {
  StartPlaying(rig);
  NumberColumns(rig.gfx->sprEnnemy[1], 32, 32);
  rig.random.Spawn(7, 120);
  tmrMain_Timer(rig.g);
  EXPECT_TRUE(w.EnemyActive[0]);
  EXPECT_EQ(w.EnemyKind[0], 3);
  EXPECT_EQ(w.EnemyX[0], 120);
  EXPECT_EQ(w.EnemyY[0], -30);
  EXPECT_EQ(w.EnemyFrame[0], 1);
  EXPECT_EQ(w.SpawnCountdown, 10);
  // Column 0 drawn with its top at -30: canvas row 1 holds cell row 31.
  EXPECT_EQ(rig.gfx->canvas.Pixel(120, 1), 0x100u);
  EXPECT_EQ(rig.gfx->canvas.Pixel(151, 1), 0x100u);
}

TEST_F(EnemiesTest, AttemptsComeEveryTenthTickAndPickKindsByTheRoundedDraw) {
  // r: 0 and 21..25 nothing; 1..5 kind 2, 6..10 kind 3, 11..15 kind 4, 16..20 kind 5.
  const struct {
    int r;
    int16_t kind;
  } cases[] = {{0, 0},  {1, 2},  {5, 2},  {6, 3},  {10, 3}, {11, 4},
               {15, 4}, {16, 5}, {20, 5}, {21, 0}, {25, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.r);
    w = World{};
    rig.random.draws.clear();
    rig.random.taken = 0;
    rig.random.Spawn(c.r, 100);
    w.WreckSpeed[0] = 7;
    SpawnEnemies(rig.g);
    EXPECT_EQ(w.WreckSpeed[0], 7);  // written only when the enemy is shot
    EXPECT_EQ(w.EnemyActive[0], c.kind != 0);
    EXPECT_EQ(rig.random.taken, c.kind != 0 ? 2 : 1);  // no x is drawn for an empty attempt
    if (c.kind == 0) continue;
    EXPECT_EQ(w.EnemyKind[0], c.kind);
    EXPECT_EQ(w.EnemyY[0], c.kind == 5 ? 400 : -32);
    EXPECT_EQ(w.EnemyX[0], 100);
  }

  // After an attempt the next one comes ten ticks later, whatever it drew.
  w = World{};
  rig.random.draws.clear();
  rig.random.taken = 0;
  for (int t = 0; t < 31; ++t) SpawnEnemies(rig.g);
  EXPECT_EQ(rig.random.taken, 4);  // ticks 1, 11, 21, 31 (all draws 0: empty)

  // Exact halves round to even: 5.5 -> 6 (kind 3), 10.5 -> 10 (kind 3),
  // 20.5 -> 20 (kind 5); x 0.5 -> 0 and 2.5 -> 2.
  const struct {
    double r, x;  // exact products u * 25 and u * 350
    int16_t kind, ex;
  } halves[] = {{5.5, 0.5, 3, 0}, {10.5, 2.5, 3, 2}, {20.5, 349.5, 5, 350}};
  for (const auto& h : halves) {
    const double u = h.r / 25, ux = h.x / 350;
    ASSERT_EQ(u * 25, h.r);
    ASSERT_EQ(ux * 350, h.x);
    w = World{};
    rig.random.draws = {u, ux};
    SpawnEnemies(rig.g);
    EXPECT_EQ(w.EnemyKind[0], h.kind);
    EXPECT_EQ(w.EnemyX[0], h.ex);
  }
}

TEST_F(EnemiesTest, EachKindLivesItsTicksAndIsDrawnOutOfSightWhenFreed) {
  std::vector<int16_t> ys;
  Place(0, 2, 10, -32);
  EXPECT_EQ(LifeOf(0, &ys), 144);
  EXPECT_EQ(ys.front(), -29);
  EXPECT_EQ(ys[ys.size() - 2], 397);
  EXPECT_EQ(ys.back(), 400);

  Place(0, 3, 10, -32);
  EXPECT_EQ(LifeOf(0), 216);
  Place(0, 4, 10, -32);
  EXPECT_EQ(LifeOf(0), 108);

  ys.clear();
  Place(0, 5, 10, 400);
  EXPECT_EQ(LifeOf(0, &ys), 224);
  EXPECT_EQ(ys.front(), 398);
  EXPECT_EQ(ys[ys.size() - 2], -46);
  EXPECT_EQ(ys.back(), -48);
}

TEST_F(EnemiesTest, EachKindShowsEveryCellOfItsSheetInTurnForEqualTicks) {
  for (int m = 0; m < 4; ++m) {
    const SheetLayout& l = kEnnemySheets[m];
    NumberColumns(rig.gfx->sprEnnemy[m], l.cellWidth, l.cellHeight);
  }
  for (int16_t kind = 2; kind <= 5; ++kind) {
    SCOPED_TRACE(kind);
    const int cells = kEnnemySheets[kind - 2].cells;
    Place(0, kind, 100, 150);
    // The cells shown, as runs of one cell and its ticks, over two turns.
    std::vector<std::pair<int, int>> runs;
    for (int t = 0; t < 3 * cells && w.EnemyActive[0]; ++t) {
      UpdateEnemies(rig.g);
      const int cell = static_cast<int>(rig.gfx->canvas.Pixel(100, w.EnemyY[0] + 5)) - 0x100;
      if (runs.empty() || runs.back().first != cell) runs.push_back({cell, 0});
      ++runs.back().second;
    }
    // The first run began with Place, the last may be cut short.
    ASSERT_GE(runs.size(), static_cast<size_t>(cells) + 2);
    for (size_t i = 1; i + 1 < runs.size(); ++i) {
      EXPECT_EQ(runs[i].first, (runs[1].first + static_cast<int>(i) - 1) % cells) << i;
      EXPECT_EQ(runs[i].second, runs[1].second) << i;
    }
  }
}

TEST_F(EnemiesTest, WrecksDriftTheirWayForEighteenTicksShowingColumnsOneToEighteen) {
  NumberColumns(rig.gfx->sprBlow, 32, 32);
  const int16_t speeds[] = {-2, 4};
  for (int16_t speed : speeds) {
    Place(3, kWreck, 60, 200);
    w.WreckSpeed[3] = speed;
    std::vector<int16_t> ys;
    for (int t = 1; t <= 18; ++t) {
      ASSERT_TRUE(w.EnemyActive[3]);
      UpdateEnemies(rig.g);
      ys.push_back(w.EnemyY[3]);
      ASSERT_EQ(rig.gfx->canvas.Pixel(60, w.EnemyY[3]), 0x100u + t);
    }
    EXPECT_FALSE(w.EnemyActive[3]);
    EXPECT_EQ(ys.back(), 200 + 18 * speed);
  }
  // A wreck is never freed for leaving the playfield.
  Place(3, kWreck, 60, 398);
  w.WreckSpeed[3] = 4;
  UpdateEnemies(rig.g);
  EXPECT_TRUE(w.EnemyActive[3]);
}

TEST_F(EnemiesTest, ExtremeLeftEdgesAndAFullTableOverwriteEntryZero) {
  rig.random.Spawn(18, 350);
  SpawnEnemies(rig.g);
  EXPECT_EQ(w.EnemyX[0], 350);
  w.SpawnCountdown = 1;
  rig.random.Spawn(2, 0);
  SpawnEnemies(rig.g);
  EXPECT_EQ(w.EnemyX[1], 0);

  for (bool& a : w.EnemyActive) a = true;
  w.SpawnCountdown = 1;
  rig.random.Spawn(12, 77);
  SpawnEnemies(rig.g);
  EXPECT_EQ(w.EnemyKind[0], 4);
  EXPECT_EQ(w.EnemyX[0], 77);
}
