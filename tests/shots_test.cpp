#include "game/shots.h"

#include <gtest/gtest.h>

#include "game/enemies.h"
#include "game/tick.h"
#include "tests/fakes.h"

namespace {

struct ShotsTest : ::testing::Test {
  ShotsTest() { StartPlaying(rig); }
  GameRig rig;
  World& w = rig.g.world;

  void Place(int i, int16_t kind, int x, int y) {
    w.EnemyActive[i] = true;
    w.EnemyKind[i] = kind;
    w.EnemyX[i] = static_cast<int16_t>(x);
    w.EnemyY[i] = static_cast<int16_t>(y);
    w.EnemyFrame[i] = 0;
  }
  // A shot that the next UpdateShots moves to (x, y).
  void Shot(int j, int x, int y) {
    w.ShotActive[j] = true;
    w.ShotX[j] = static_cast<int16_t>(x);
    w.ShotY[j] = static_cast<int16_t>(y + 12);
  }
  long Hits() const { return std::count(rig.audio.begin(), rig.audio.end(), "wave 102"); }
};

}  // namespace

TEST_F(ShotsTest, AShotPointHitsTheEnemySquareBoundsIncluded) {
  const struct {
    int dx, dy;
    bool hit;
  } cases[] = {{0, 0, true},    {32, 32, true},  {32, 0, true},  {0, 32, true},
               {33, 10, false}, {10, 33, false}, {-1, 0, false}, {0, -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dx << "," << c.dy);
    StartRound(rig.g);
    w.Score = 0;
    Place(5, 5, 100, 200);
    Shot(0, 100 + c.dx, 200 + c.dy);
    UpdateShots(rig.g);
    EXPECT_EQ(w.EnemyKind[5] == kWreck, c.hit);
    EXPECT_EQ(w.Score, c.hit ? 1 : 0);
    EXPECT_EQ(w.ShotActive[0], !c.hit);
    if (c.hit) {
      EXPECT_EQ(w.WreckSpeed[5], -2);
      EXPECT_EQ(w.EnemyFrame[5], 0);
    }
  }
}

TEST_F(ShotsTest, OneShotDestroysEveryEnemyItsPointLiesInAndTwoShotsScoreOnce) {
  Place(0, 2, 100, 100);
  Place(1, 4, 110, 110);
  Place(2, 3, 300, 100);
  Shot(0, 120, 120);
  UpdateShots(rig.g);
  EXPECT_EQ(w.Score, 2);
  EXPECT_EQ(Hits(), 2);
  EXPECT_EQ(w.WreckSpeed[0], 3);
  EXPECT_EQ(w.WreckSpeed[1], 4);
  EXPECT_EQ(w.EnemyKind[2], 3);

  // Two shots in one square: the lower entry destroys it, the other flies on
  // through the wreck.
  Shot(3, 305, 110);
  Shot(4, 310, 110);
  UpdateShots(rig.g);
  EXPECT_EQ(w.Score, 3);
  EXPECT_EQ(w.WreckSpeed[2], 2);
  EXPECT_FALSE(w.ShotActive[3]);
  EXPECT_TRUE(w.ShotActive[4]);
  EXPECT_EQ(w.ShotY[4], 110);
  EXPECT_EQ(rig.audio, (AudioLog{"wave 102", "wave 102", "wave 102"}));

  // With the sound off hits still score, silently.
  w.SoundOn = false;
  Place(6, 2, 0, 0);
  Shot(5, 0, 0);
  UpdateShots(rig.g);
  EXPECT_EQ(w.Score, 4);
  EXPECT_EQ(Hits(), 3);
}

TEST_F(ShotsTest, ScoreStopsAt32767) {
  w.Score = 32766;
  Place(0, 2, 100, 100);
  Place(1, 2, 100, 100);
  Shot(0, 100, 100);
  UpdateShots(rig.g);
  EXPECT_EQ(w.Score, 32767);
  EXPECT_EQ(w.EnemyKind[1], kWreck);  // still destroyed, just not counted past the top
}

TEST_F(ShotsTest, ShotsRiseTwelvePerTickAndAreFreedOnceWhollyAbove) {
  // From the top position the shot is placed at 85, from the lowest at 315.
  const struct {
    int16_t startY;
    int ticks;
    int16_t lastY;
  } cases[] = {{85, 10, -35}, {315, 29, -33}};
  for (const auto& c : cases) {
    w.ShotActive[0] = true;
    w.ShotY[0] = c.startY;
    std::vector<int16_t> ys;
    while (w.ShotActive[0]) {
      UpdateShots(rig.g);
      ys.push_back(w.ShotY[0]);
    }
    EXPECT_EQ(static_cast<int>(ys.size()), c.ticks);
    EXPECT_EQ(ys.front(), c.startY - 12);
    EXPECT_EQ(ys.back(), c.lastY);
  }
  // The free test runs for idle entries too.
  w.ShotY[15] = -24;
  w.ShotActive[15] = false;
  UpdateShots(rig.g);
  EXPECT_FALSE(w.ShotActive[15]);
}

TEST_F(ShotsTest, ShipCornersMustLieStrictlyInsideAnEnemy) {
  // Enemy offsets from the ship's top-left, and whether a ship is lost.
  const struct {
    int dx, dy;
    bool touch;
  } cases[] = {{10, 10, true},  {0, 10, false},   {10, 0, false},  {0, 0, false},
               {32, 0, false},  {-31, -31, true}, {-32, 5, false}, {31, 31, true},
               {-20, 20, true}, {20, -20, true},  {32, 32, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dx << "," << c.dy);
    StartGame(rig.g);
    w.PlayerX = 200;
    w.PlayerY = 200;
    Place(7, 4, 200 + c.dx, 200 + c.dy);
    CheckShipCollisions(rig.g);
    EXPECT_EQ(w.Lives, c.touch ? 2 : 3);
  }
  // Wrecks never hurt.
  StartGame(rig.g);
  Place(0, kWreck, w.PlayerX + 10, w.PlayerY + 10);
  CheckShipCollisions(rig.g);
  EXPECT_EQ(w.Lives, 3);
}

TEST_F(ShotsTest, AnEnemyOverTheStartPositionTakesASecondShipInTheSameTick) {
  // Square (150..182, 340..372): the ship at (130, 320) touches it with its
  // bottom-right corner (162, 352); back at (178, 330) after the death, its
  // bottom-left corner (178, 362), tested last, lies inside too.
  w.PlayerX = 130;
  w.PlayerY = 320;
  Place(0, 2, 150, 340);
  Place(1, 2, 130, 320);  // freed by the first death, so never tested
  CheckShipCollisions(rig.g);
  EXPECT_EQ(w.Lives, 1);
  EXPECT_EQ(w.PlayerX, 178);
  EXPECT_EQ(w.PlayerY, 330);
  EXPECT_FALSE(w.EnemyActive[0]);
  EXPECT_FALSE(w.EnemyActive[1]);
  EXPECT_TRUE(w.GameRunning);
}
