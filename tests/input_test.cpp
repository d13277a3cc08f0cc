#include "app/input.h"

#include <gtest/gtest.h>

#include "tests/fakes.h"

namespace {

struct InputTest : ::testing::Test {
  GameRig rig;
  World& w = rig.g.world;
  void Down(int16_t key) { Form_KeyDown(rig.g, key, 0); }
  void Up(int16_t key) { Form_KeyUp(rig.g, key, 0); }
  void Title() {
    w.GameRunning = false;
    w.SoundOn = w.MusicOn = true;
    rig.g.MusicModule = 1;
    rig.g.MusicPlayHandle = 1;  // the title tune plays
    rig.audio.clear();
  }
};

}  // namespace

TEST_F(InputTest, PlayKeysHoldArrowsFireOnReleaseAndSwitchAudio) {
  StartPlaying(rig);
  const int16_t arrows[] = {kVkLeft, kVkUp, kVkRight, kVkDown};
  bool World::*flags[] = {&World::KeyLeftHeld, &World::KeyUpHeld, &World::KeyRightHeld,
                          &World::KeyDownHeld};
  for (int i = 0; i < 4; ++i) {
    Down(arrows[i]);
    EXPECT_TRUE(w.*flags[i]);
    Down(arrows[i]);  // automatic repeat
    EXPECT_TRUE(w.*flags[i]);
    Up(arrows[i]);
    EXPECT_FALSE(w.*flags[i]);
  }

  // A held Space fires once, on release, with Shift or not.
  for (int i = 0; i < 5; ++i) Form_KeyDown(rig.g, kVkSpace, 1);
  EXPECT_FALSE(w.ShotActive[0]);
  Form_KeyUp(rig.g, kVkSpace, 1);
  EXPECT_TRUE(w.ShotActive[0]);
  EXPECT_FALSE(w.ShotActive[1]);

  Down(kVkS);
  EXPECT_FALSE(w.SoundOn);
  Down(kVkS);
  EXPECT_TRUE(w.SoundOn);

  rig.audio.clear();
  Down(kVkM);
  EXPECT_FALSE(w.MusicOn);
  Down(kVkM);
  EXPECT_TRUE(w.MusicOn);
  EXPECT_EQ(rig.audio, (AudioLog{"stop", "play 10,19,12,loop"}));

  // Other keys do nothing, down or up.
  const World before = w;
  Down(65);
  Up(65);
  Up(kVkM);
  EXPECT_EQ(w, before);
}

TEST_F(InputTest, TitleKeysStartSwitchAndQuitWhileKeyUpsAreIgnored) {
  Title();
  w.KeyLeftHeld = true;  // held when Escape ended the last game
  Down(kVkLeft);
  Up(kVkLeft);
  Up(kVkSpace);
  EXPECT_TRUE(w.KeyLeftHeld);
  EXPECT_FALSE(w.ShotActive[0]);

  Down(kVkM);
  EXPECT_FALSE(w.MusicOn);
  Down(kVkM);
  EXPECT_EQ(rig.audio, (AudioLog{"stop", "play 0,8,1,loop"}));
  Down(kVkS);
  EXPECT_FALSE(w.SoundOn);

  w.Score = 12;
  w.Lives = -1;
  Down(kVkSpace);
  EXPECT_TRUE(w.GameRunning);
  EXPECT_EQ(w.Lives, 3);
  EXPECT_EQ(w.Score, 0);
  EXPECT_EQ(w.StageNumber, 1);
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_FALSE(rig.loop.TimerEnabled(TimerId::ScrollText));
  Down(kVkSpace);  // the repeat arrives during play and does nothing
  EXPECT_FALSE(w.ShotActive[0]);

  // Escape on the title screen ends the program.
  w.GameRunning = false;
  EXPECT_THROW(Down(kVkEscape), ProgramExit);
}

TEST_F(InputTest, EscapeDuringPlayReturnsToTheTitleKeepingTheCounters) {
  StartPlaying(rig);
  w.Score = 9;
  w.Lives = 2;
  Down(kVkEscape);
  EXPECT_FALSE(w.GameRunning);
  EXPECT_FALSE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_EQ(w.Score, 9);
  EXPECT_EQ(w.Lives, 2);
  EXPECT_EQ(rig.audio, (AudioLog{"stop", "play 0,8,1,loop"}));
  // The title reveal's ten 50 ms pauses ran.
  EXPECT_GE(rig.p.now, 500u);
  Down(kVkSpace);
  EXPECT_EQ(w.Lives, 3);
  EXPECT_EQ(w.Score, 0);
}
