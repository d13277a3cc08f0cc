#include "game/player.h"

#include <gtest/gtest.h>

#include "game/shots.h"
#include "tests/fakes.h"

namespace {

struct PlayerTest : ::testing::Test {
  PlayerTest() { StartPlaying(rig); }
  GameRig rig;
  World& w = rig.g.world;
};

std::vector<int16_t> MoveTicks(Game& g, int ticks, int16_t World::*axis) {
  std::vector<int16_t> seen;
  for (int i = 0; i < ticks; ++i) {
    MovePlayer(g);
    seen.push_back(g.world.*axis);
  }
  return seen;
}

}  // namespace

TEST_F(PlayerTest, MovesSixPixelsPerTickAndStopsAtTheEdgesOfItsArea) {
  w.KeyLeftHeld = true;
  std::vector<int16_t> xs = MoveTicks(rig.g, 30, &World::PlayerX);
  EXPECT_EQ(xs[0], 172);
  EXPECT_EQ(xs[27], 10);
  EXPECT_EQ(xs[28], 5);  // clamped, not 4
  EXPECT_EQ(xs[29], 5);
  EXPECT_EQ(w.PlayerFrame, 0);

  w.KeyLeftHeld = false;
  w.KeyRightHeld = true;
  w.PlayerX = kShipStartX;
  xs = MoveTicks(rig.g, 30, &World::PlayerX);
  EXPECT_EQ(xs[27], 346);
  EXPECT_EQ(xs[28], 350);
  EXPECT_EQ(xs[29], 350);
  EXPECT_EQ(w.PlayerFrame, 2);

  w.KeyRightHeld = false;
  w.KeyUpHeld = true;
  const std::vector<int16_t> ys = MoveTicks(rig.g, 40, &World::PlayerY);
  EXPECT_EQ(ys[37], 102);
  EXPECT_EQ(ys[38], 100);
  EXPECT_EQ(w.PlayerFrame, 1);

  w.KeyUpHeld = false;
  w.KeyDownHeld = true;
  MoveTicks(rig.g, 50, &World::PlayerY);
  EXPECT_EQ(w.PlayerY, 330);
}

TEST_F(PlayerTest, OpposingKeysCancelAndDiagonalsMoveOnBothAxes) {
  w.KeyLeftHeld = w.KeyRightHeld = w.KeyUpHeld = w.KeyDownHeld = true;
  w.PlayerY = 200;
  MovePlayer(rig.g);
  EXPECT_EQ(w.PlayerX, 178);
  EXPECT_EQ(w.PlayerY, 200);
  EXPECT_EQ(w.PlayerFrame, 2);  // right wins the picture

  w.KeyRightHeld = w.KeyDownHeld = false;
  MovePlayer(rig.g);
  EXPECT_EQ(w.PlayerX, 172);
  EXPECT_EQ(w.PlayerY, 194);
}

TEST_F(PlayerTest, FireTakesTheLowestFreeOfTheFirstTenEntries) {
  w.PlayerX = 100;
  w.PlayerY = 200;
  w.ShotFrame[0] = 2;
  FireShot(rig.g);
  EXPECT_TRUE(w.ShotActive[0]);
  EXPECT_EQ(w.ShotX[0], 115);
  EXPECT_EQ(w.ShotY[0], 185);
  EXPECT_EQ(w.ShotFrame[0], 2);  // kept from the entry's last use
  EXPECT_EQ(rig.audio, AudioLog{"wave 101"});

  for (int i = 1; i < 10; ++i) FireShot(rig.g);
  w.ShotActive[4] = false;
  FireShot(rig.g);
  EXPECT_TRUE(w.ShotActive[4]);
  EXPECT_EQ(rig.audio.size(), 11u);

  // Ten in flight: nothing placed, nothing heard, and 10..19 never used.
  const World before = w;
  FireShot(rig.g);
  EXPECT_EQ(w, before);
  EXPECT_EQ(rig.audio.size(), 11u);
  for (int i = 10; i < kShotCount; ++i) EXPECT_FALSE(w.ShotActive[i]);

  // With the sound off the shot still flies, silently.
  w.ShotActive[9] = false;
  w.SoundOn = false;
  FireShot(rig.g);
  EXPECT_TRUE(w.ShotActive[9]);
  EXPECT_EQ(rig.audio.size(), 11u);
}

TEST_F(PlayerTest, ShipAndFlameAreDrawnMaskedWithTheFlameCycling) {
  // Ship picture column k filled with colour k + 1 and an all-black mask;
  // the flame likewise with colour 0x10 + k.
  Surfaces& s = *rig.gfx;
  for (int k = 0; k < 3; ++k) {
    for (int y = 0; y < 45; ++y)
      for (int x = 0; x < 45; ++x) s.sprPlayer.SetPixel(45 * k + x, y, k + 1);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 13; ++x) s.sprReacteur.SetPixel(13 * k + x, y, 0x10 + k);
  }
  s.canvas.Fill(0xFF000000);  // the masks are black: keep nothing of this
  w.PlayerX = 50;
  w.PlayerY = 150;
  w.PlayerFrame = 2;
  std::vector<uint32_t> flames;
  for (int i = 0; i < 4; ++i) {
    DrawPlayer(rig.g);
    flames.push_back(s.canvas.Pixel(50 + 16, 150 + 50));
  }
  EXPECT_EQ(flames, (std::vector<uint32_t>{0x11, 0x12, 0x10, 0x11}));
  EXPECT_EQ(s.canvas.Pixel(50, 150), 3u);
  EXPECT_EQ(s.canvas.Pixel(94, 194), 3u);
  EXPECT_EQ(s.canvas.Pixel(95, 150), 0xFF000000u);
  EXPECT_EQ(s.canvas.Pixel(50 + 16, 150 + 44), 0x11u);  // flame over the ship's last row
  EXPECT_EQ(s.canvas.Pixel(50 + 15, 150 + 45), 0xFF000000u);
}
