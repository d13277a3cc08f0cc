#include "game/tick.h"

#include <gtest/gtest.h>

#include <utility>

#include "audio/silent_audio.h"
#include "display/status_bar.h"
#include "game/enemies.h"
#include "tests/fakes.h"
#include "tests/scripted_platform.h"

namespace {

struct TickTest : ::testing::Test {
  TickTest() {
    // A strip whose every row has its own colour, so rows can be traced.
    for (int y = 0; y < gfx->sprStars.Height(); ++y)
      for (int x = 0; x < gfx->sprStars.Width(); ++x) gfx->sprStars.SetPixel(x, y, 0x10000 + y);
  }
  std::unique_ptr<Surfaces> gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;
  EventLoop loop{p};
  SilentModulePlayer player;
  SilentWaveOutput waveOut;
  DefaultRandom random;
  Game g{*gfx, loop, player, waveOut, random};
};

}  // namespace

TEST_F(TickTest, StarRowRunsFrom360DownBy2AndWraps) {
  std::vector<int16_t> rows;
  for (int i = 0; i < 182; ++i) {
    ScrollBackground(g);
    rows.push_back(g.world.StarRow);
  }
  EXPECT_EQ(rows[0], 360);
  EXPECT_EQ(rows[1], 358);
  EXPECT_EQ(rows[178], 4);
  EXPECT_EQ(rows[179], 2);
  EXPECT_EQ(rows[180], 360);
  EXPECT_EQ(rows[181], 358);
}

TEST_F(TickTest, BackgroundScrollsTwoRowsAndTakesStripRowsAtTheTop) {
  BitBlt(gfx->bufTiles, 0, 0, 600, 400, gfx->sprStars, 0, 0, kSrcCopy);
  Surface before = gfx->bufTiles;
  g.world.StarRow = 100;
  ScrollBackground(g);
  EXPECT_EQ(g.world.StarRow, 98);
  for (int x : {0, 199, 399}) {
    EXPECT_EQ(gfx->bufTiles.Pixel(x, 0), 0x10000u + 98);
    EXPECT_EQ(gfx->bufTiles.Pixel(x, 1), 0x10000u + 99);
    for (int y = 2; y < 402; ++y) ASSERT_EQ(gfx->bufTiles.Pixel(x, y), before.Pixel(x, y - 2));
    // The canvas shows exactly the top-left 400 x 400 of the background.
    for (int y = 0; y < 400; ++y) ASSERT_EQ(gfx->canvas.Pixel(x, y), gfx->bufTiles.Pixel(x, y));
  }
  EXPECT_EQ(gfx->bufTiles.Pixel(400, 2), before.Pixel(400, 2));  // columns past 399 stay
}

TEST_F(TickTest, FirstTickAfterStartReadsBelowTheStripAndBringsBlack) {
  gfx->bufTiles.Fill(5);
  tmrMain_Timer(g);
  EXPECT_EQ(g.world.StarRow, 360);
  EXPECT_EQ(gfx->bufTiles.Pixel(10, 0), 0u);
  EXPECT_EQ(gfx->bufTiles.Pixel(10, 1), 0u);
  EXPECT_EQ(gfx->bufTiles.Pixel(10, 2), 5u);
}

TEST(Tick, DrawsBackEnemiesStatusShipFlameShotsInThatOrderAndPresentsOnce) {
  GameRig rig;
  StartPlaying(rig);
  Surfaces& s = *rig.gfx;
  // Every picture half a colour of its own; the masks stay black, so each
  // drawing covers whatever lies below it.
  auto paint = [](Surface& sheet, int rows, uint32_t colour) {
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < sheet.Width(); ++x) sheet.SetPixel(x, y, colour);
  };
  paint(s.sprEnnemy[0], 32, 0xE0);
  paint(s.sprStatus, 30, 0x5A);
  paint(s.sprPlayer, 45, 0x91);
  paint(s.sprReacteur, 16, 0xF1);
  paint(s.sprBullet, 24, 0xB0);
  s.bufTiles.Fill(0x77);
  World& w = rig.g.world;
  w.SpawnCountdown = 5;
  w.EnemyActive[0] = true;
  w.EnemyKind[0] = 2;
  w.EnemyX[0] = 10;
  w.EnemyY[0] = -20;  // drawn at -17, under the STAGE: label
  w.EnemyActive[1] = true;
  w.EnemyKind[1] = 2;
  w.EnemyX[1] = 20;
  w.EnemyY[1] = 100;
  w.ShotActive[0] = true;
  w.ShotX[0] = 190;
  w.ShotY[0] = 347;  // drawn at 335, over the ship
  const int presents = rig.p.presents;
  tmrMain_Timer(rig.g);
  EXPECT_EQ(rig.p.presents - presents, 1);
  const Surface& c = s.canvas;
  EXPECT_EQ(c.Pixel(12, 5), 0xE0u);     // enemy left of the label
  EXPECT_EQ(c.Pixel(25, 5), 0x5Au);     // label over the enemy
  EXPECT_EQ(c.Pixel(25, 110), 0xE0u);   // the second enemy
  EXPECT_EQ(c.Pixel(5, 200), 0x77u);    // background
  EXPECT_EQ(c.Pixel(180, 332), 0x91u);  // ship
  EXPECT_EQ(c.Pixel(195, 374), 0xF1u);  // flame over the ship's last row
  EXPECT_EQ(c.Pixel(195, 340), 0xB0u);  // shot over the ship
  EXPECT_EQ(w.ShotY[0], 335);
}

TEST(Tick, AnEnemyShotInOneTickIsDrawnAsAWreckFromTheNextTickOn) {
  GameRig rig;
  StartPlaying(rig);
  Surfaces& s = *rig.gfx;
  // Picture columns numbered by colour; black masks, so each draw covers.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 320; ++x) s.sprEnnemy[0].SetPixel(x, y, 0x100 + x / 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 608; ++x) s.sprBlow.SetPixel(x, y, 0x200 + x / 32);
  World& w = rig.g.world;
  w.SpawnCountdown = 5;
  w.EnemyActive[0] = true;
  w.EnemyKind[0] = 2;
  w.EnemyX[0] = 100;
  w.EnemyY[0] = 100;  // moved to 103 before the shot step
  w.ShotActive[0] = true;
  w.ShotX[0] = 110;
  w.ShotY[0] = 125;  // moved to 113, inside the square

  tmrMain_Timer(rig.g);
  EXPECT_EQ(w.EnemyKind[0], kWreck);
  EXPECT_EQ(w.Score, 1);
  EXPECT_EQ(s.canvas.Pixel(100, 103), 0x100u);  // still the enemy's picture

  tmrMain_Timer(rig.g);
  EXPECT_EQ(w.EnemyY[0], 106);                  // drifting on at the enemy's speed
  EXPECT_EQ(s.canvas.Pixel(100, 106), 0x201u);  // explosion column 1
}

TEST(Tick, FreeEntriesAreNeitherMovedNorDrawn) {
  GameRig rig(true);
  StartPlaying(rig);
  Surfaces& s = *rig.gfx;
  World& w = rig.g.world;
  w.SpawnCountdown = 5;
  // Free entries whose old fields would put them in plain sight.
  w.EnemyKind[3] = 2;
  w.EnemyX[3] = 100;
  w.EnemyY[3] = 100;
  w.ShotX[2] = 50;
  w.ShotY[2] = 200;
  tmrMain_Timer(rig.g);
  EXPECT_EQ(w.EnemyY[3], 100);
  EXPECT_EQ(w.ShotY[2], 200);

  // Background, status bar, ship (level, column 1) and flame (column 1): no more.
  Surface expected(kCanvasSize, kCanvasSize);
  BitBlt(expected, 0, 0, kCanvasSize, kCanvasSize, s.bufTiles, 0, 0, kSrcCopy);
  std::swap(expected, s.canvas);
  DrawStatusBar(rig.g);
  std::swap(expected, s.canvas);
  MaskedDraw(expected, 178, 330, s.sprPlayer, 45, 0, 45, 45, 45);
  MaskedDraw(expected, 194, 374, s.sprReacteur, 13, 0, 13, 16, 16);
  EXPECT_TRUE(s.canvas == expected);
}
