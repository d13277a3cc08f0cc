#include <gtest/gtest.h>

#include "game/tick.h"
#include "tests/scripted_platform.h"
#include "audio/silent_audio.h"

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
  BitBlt(gfx->bufTiles, 0, 0, 600, 400, gfx->sprStars, 0, 0, SRCCOPY);
  Surface before = gfx->bufTiles;
  g.world.StarRow = 100;
  tmrMain_Timer(g);
  EXPECT_EQ(g.world.StarRow, 98);
  for (int x : {0, 199, 399}) {
    EXPECT_EQ(gfx->bufTiles.Pixel(x, 0), 0x10000u + 98);
    EXPECT_EQ(gfx->bufTiles.Pixel(x, 1), 0x10000u + 99);
    for (int y = 2; y < 402; ++y) ASSERT_EQ(gfx->bufTiles.Pixel(x, y), before.Pixel(x, y - 2));
    // The canvas shows exactly the top-left 400 x 400 of the background.
    for (int y = 0; y < 400; ++y) ASSERT_EQ(gfx->canvas.Pixel(x, y), gfx->bufTiles.Pixel(x, y));
  }
  EXPECT_EQ(gfx->bufTiles.Pixel(400, 2), before.Pixel(400, 2));  // columns past 399 stay
  EXPECT_EQ(p.presents, 1);
}

TEST_F(TickTest, FirstTickAfterStartReadsBelowTheStripAndBringsBlack) {
  gfx->bufTiles.Fill(5);
  tmrMain_Timer(g);
  EXPECT_EQ(g.world.StarRow, 360);
  EXPECT_EQ(gfx->bufTiles.Pixel(10, 0), 0u);
  EXPECT_EQ(gfx->bufTiles.Pixel(10, 1), 0u);
  EXPECT_EQ(gfx->bufTiles.Pixel(10, 2), 5u);
}
