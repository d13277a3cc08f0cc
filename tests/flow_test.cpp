#include <gtest/gtest.h>

#include <utility>

#include "display/status_bar.h"
#include "game/enemies.h"
#include "game/tick.h"
#include "tests/fakes.h"

namespace {

struct FlowTest : ::testing::Test {
  FlowTest() { StartPlaying(rig); }
  GameRig rig;
  World& w = rig.g.world;

  // An enemy whose square holds the ship's bottom-right corner.
  void EnemyOnShip(int i = 0) {
    w.EnemyActive[i] = true;
    w.EnemyKind[i] = 3;
    w.EnemyX[i] = static_cast<int16_t>(w.PlayerX + 10);
    w.EnemyY[i] = static_cast<int16_t>(w.PlayerY + 10);
  }
};

constexpr uint32_t kStart = 1000;

}  // namespace

TEST_F(FlowTest, GameStartResetsCountersAndRoundButKeepsTheRest) {
  w.Score = 40;
  w.Lives = -1;
  w.StarRow = 124;
  w.SpawnCountdown = 7;
  w.PlayerFrame = 2;
  w.EnemyActive[9] = true;
  w.EnemyX[9] = 33;
  w.ShotActive[15] = true;
  w.ShotFrame[15] = 2;
  w.KeyLeftHeld = true;
  rig.gfx->sprStars.Fill(0x123);
  rig.gfx->bufTiles.Fill(0x456);
  rig.loop.SetTimerEnabled(TimerId::ScrollText, true);
  StartGame(rig.g);

  EXPECT_EQ(w.StageNumber, 1);
  EXPECT_EQ(w.Lives, 3);
  EXPECT_EQ(w.Score, 0);
  EXPECT_EQ(w.PlayerX, 178);
  EXPECT_EQ(w.PlayerY, 330);
  EXPECT_EQ(w.PlayerSpeed, 6);
  EXPECT_EQ(w.FlameFrame, 0);
  EXPECT_FALSE(w.EnemyActive[9]);
  EXPECT_EQ(w.EnemyX[9], 33);
  EXPECT_FALSE(w.ShotActive[15]);
  EXPECT_EQ(w.ShotFrame[15], 0);
  EXPECT_EQ(w.StarRow, 124);
  EXPECT_EQ(w.SpawnCountdown, 7);
  EXPECT_EQ(w.PlayerFrame, 2);
  EXPECT_TRUE(w.KeyLeftHeld);
  EXPECT_TRUE(w.GameRunning);
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_FALSE(rig.loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_EQ(rig.audio, (AudioLog{"stop", "play 10,19,12,loop"}));
  // The star picture fills the background's top 360 rows and 600 columns.
  EXPECT_EQ(rig.gfx->bufTiles.Pixel(599, 359), 0x123u);
  EXPECT_EQ(rig.gfx->bufTiles.Pixel(600, 0), 0x456u);
}

TEST_F(FlowTest, DeathSequenceExplodesInTwentyTwoStepsThenPausesAndRestarts) {
  Surface& blow = rig.gfx->sprBlow;
  for (int x = 0; x < blow.Width(); ++x) blow.SetPixel(x, 0, 0x100 + x / 32);
  w.PlayerX = 100;
  w.PlayerY = 200;
  w.Lives = 2;
  w.Score = 5;
  w.KeyUpHeld = w.KeyRightHeld = true;
  rig.p.now = kStart;
  struct Step {
    uint32_t t;
    uint32_t pixel;
    bool running, mainTimer, scrollTimer;
  };
  std::vector<Step> steps;
  rig.p.onPresent = [&](const Surface& c) {
    steps.push_back({rig.p.now, c.Pixel(106, 206), w.GameRunning,
                     rig.loop.TimerEnabled(TimerId::Main),
                     rig.loop.TimerEnabled(TimerId::ScrollText)});
  };
  DeathSequence(rig.g);

  ASSERT_EQ(steps.size(), 22u);
  for (uint32_t k = 0; k < 22; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(steps[k].t, kStart + 25 * k);
    EXPECT_EQ(steps[k].pixel, k < 19 ? 0x100 + k : 0u);  // past the sheet: black
    EXPECT_FALSE(steps[k].running);
    EXPECT_FALSE(steps[k].mainTimer);
    EXPECT_FALSE(steps[k].scrollTimer);
  }
  EXPECT_EQ(rig.p.now, kStart + 22 * 25 + 2000);
  EXPECT_EQ(w.Lives, 1);
  EXPECT_EQ(w.Score, 5);
  EXPECT_FALSE(w.KeyUpHeld || w.KeyRightHeld);
  EXPECT_EQ(w.PlayerX, 178);
  EXPECT_TRUE(w.GameRunning);
  EXPECT_FALSE(w.DeathSequenceRunning);
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_EQ(rig.audio,
            (AudioLog{"wave 102", "stop", "play 9,9,9,once", "stop", "play 10,19,12,loop"}));
}

TEST_F(FlowTest, WithoutMusicTheFinalPauseIsShortAndSilent) {
  w.MusicOn = false;
  rig.p.now = kStart;
  DeathSequence(rig.g);
  EXPECT_EQ(rig.p.now, kStart + 550 + 250);
  EXPECT_EQ(rig.audio, (AudioLog{"wave 102", "stop"}));
}

TEST_F(FlowTest, KeysInTheDeathPausesActAsOnTheTitleExceptSpace) {
  w.Lives = 2;
  rig.p.now = kStart;
  rig.p.KeyDownAt(kStart + 30, kVkLeft);   // no effect on the ship
  rig.p.KeyUpAt(kStart + 40, kVkSpace);    // no shot
  rig.p.KeyDownAt(kStart + 60, kVkSpace);  // fire button, not a new game
  rig.p.KeyDownAt(kStart + 100, kVkS);
  rig.p.KeyDownAt(kStart + 200, kVkM);  // off: jingle stops, short pause
  DeathSequence(rig.g);
  EXPECT_EQ(rig.p.now, kStart + 550 + 250);
  EXPECT_EQ(w.Lives, 1);  // the running game goes on
  EXPECT_FALSE(w.KeyLeftHeld);
  EXPECT_FALSE(w.ShotActive[0]);
  EXPECT_FALSE(w.SoundOn);
  EXPECT_FALSE(w.MusicOn);
  EXPECT_TRUE(w.GameRunning);
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_FALSE(rig.loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_EQ(rig.audio, (AudioLog{"wave 102", "stop", "play 9,9,9,once", "stop"}));

  // Sound and music are off now. M switching the music on in a pause plays
  // the title tune; the sequence's own StartRound replaces it with the play
  // music.
  rig.audio.clear();
  rig.p.KeyDownAt(rig.p.now + 100, kVkM);
  DeathSequence(rig.g);
  EXPECT_TRUE(w.MusicOn);
  EXPECT_EQ(rig.audio, (AudioLog{"play 0,8,1,loop", "stop", "play 10,19,12,loop"}));

  // Escape in a pause ends the program there and then.
  rig.p.KeyDownAt(rig.p.now + 100, kVkEscape);
  EXPECT_THROW(DeathSequence(rig.g), ProgramExit);
}

TEST_F(FlowTest, TheFourthShipLostEndsTheGameInTheSameTick) {
  int deaths = 0;
  for (int16_t lives = 3; lives >= 0; --lives) {
    ASSERT_EQ(w.Lives, lives);
    ASSERT_TRUE(rig.loop.TimerEnabled(TimerId::Main));
    EnemyOnShip();
    rig.audio.clear();
    const int before = rig.p.presents;
    tmrMain_Timer(rig.g);
    ++deaths;
    EXPECT_EQ(rig.p.presents - before, lives > 0 ? 23 : 33);  // 22 steps + the frame (+ reveal)
  }
  EXPECT_EQ(deaths, 4);
  EXPECT_EQ(w.Lives, -1);
  EXPECT_FALSE(w.GameRunning);
  EXPECT_FALSE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_EQ(rig.audio, (AudioLog{"wave 102", "stop", "play 9,9,9,once", "stop",
                                 "play 10,19,12,loop", "stop", "play 0,8,1,loop"}));
}

TEST_F(FlowTest, TheTickThatLosesAShipEndsWithTheFreshShipOverTheExplosion) {
  Surfaces& s = *rig.gfx;
  s.bufTiles.Fill(0x77);
  for (int y = 0; y < 45; ++y)
    for (int x = 0; x < 135; ++x) s.sprPlayer.SetPixel(x, y, 0x91);
  for (int y = 17; y < 29; ++y)
    for (int x = 0; x < 90; ++x) s.sprStatus.SetPixel(x, y, 0x300 + x / 9);
  w.SpawnCountdown = 5;
  w.Lives = 2;
  w.PlayerX = 50;
  w.PlayerY = 150;
  EnemyOnShip();
  tmrMain_Timer(rig.g);

  // One frame: this tick's background and status bar with the old lives
  // digit, the last explosion step (past the sheet: black) where the ship
  // was, no ship there, and the new ship at its start.
  const Surface& c = s.canvas;
  EXPECT_EQ(w.Lives, 1);
  EXPECT_EQ(c.Pixel(375, 0), 0x302u);
  EXPECT_EQ(c.Pixel(57, 157), 0u);
  EXPECT_EQ(c.Pixel(52, 152), 0x77u);
  EXPECT_EQ(c.Pixel(180, 332), 0x91u);
  EXPECT_EQ(c.Pixel(5, 390), 0x77u);
}

TEST(StatusBar, ScoreDigitsAreZeroPaddedAndMaskedOverTheCanvas) {
  GameRig rig;
  Surface& sheet = rig.gfx->sprStatus;
  // A sheet whose every pixel differs from its neighbours, with a mask that
  // keeps some canvas pixels and clears others, so a cell taken from the
  // wrong place or drawn to the wrong place shows.
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      sheet.SetPixel(x, y, 0x010000u * (x + 1) + 0x0100u * (y + 1));
      sheet.SetPixel(x, y + 30, (x + 2 * y) % 3 == 0 ? 0xFFFFFFu : 0u);
    }
  Surface& canvas = rig.gfx->canvas;
  const uint32_t back = 0x00000055;
  for (auto [score, text] : {std::pair{0, "00000"}, std::pair{7, "00007"},
                             std::pair{32767, "32767"}, std::pair{1908, "01908"}}) {
    SCOPED_TRACE(text);
    canvas.Fill(back);
    rig.g.world.Score = static_cast<int16_t>(score);
    DrawStatusBar(rig.g);
    // Each digit's cell: canvas = (background AND mask) OR image.
    for (int i = 0; i < 5; ++i) {
      const int sx = 9 * (text[i] - '0');
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 9; ++x)
          ASSERT_EQ(canvas.Pixel(210 + 9 * i + x, y),
                    (back & sheet.Pixel(sx + x, 17 + y + 30)) | sheet.Pixel(sx + x, 17 + y))
              << "digit " << i << ": " << x << "," << y;
    }
  }
}
