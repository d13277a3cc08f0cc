#include "game/flow.h"

#include "display/banner.h"
#include "display/title.h"
#include "game/effects.h"
#include "game/music.h"
#include "game/player.h"

namespace {
constexpr int16_t kFirstStage = 1;

// The explosion over a lost ship: 22 plain copies of sprBlow cells, centred on
// the ship's 45-pixel picture. Cells 19..21 lie past the sheet's right edge
// and read as black, which blanks the explosion for its last steps.
constexpr int16_t kExplosionSteps = 22;
constexpr int kExplosionInset = 6;
constexpr uint32_t kExplosionStepMs = 25;
// The wait after the explosion: the jingle's length, shorter when it is silent.
constexpr uint32_t kAfterDeathMs = 2000;
constexpr uint32_t kAfterDeathSilentMs = 250;

// The game start lays the star picture into the background's top with one
// 600 x 400 copy; the 40 rows it asks for below the 360-row picture read as
// black.
constexpr int kStarCopyWidth = 600, kStarCopyHeight = 400;
}  // namespace

void StartGame(Game& g) {
  World& w = g.world;
  w.StageNumber = kFirstStage;
  w.Lives = kStartLives;
  w.Score = 0;
  BitBlt(g.gfx.bufTiles, 0, 0, kStarCopyWidth, kStarCopyHeight, g.gfx.sprStars, 0, 0, kSrcCopy);
  w.GameRunning = true;
  StartRound(g);
}

void StartRound(Game& g) {
  World& w = g.world;
  g.host.SetTimerEnabled(TimerId::ScrollText, false);
  w.PlayerX = kShipStartX;
  w.PlayerY = kShipStartY;
  w.PlayerSpeed = kShipSpeed;
  w.FlameFrame = 0;
  for (bool& active : w.EnemyActive) active = false;
  for (int j = 0; j < kShotCount; ++j) {
    w.ShotActive[j] = false;
    w.ShotX[j] = w.ShotY[j] = w.ShotFrame[j] = 0;
  }
  StopMusic(g, false);
  PlaySection(g, kPlayMusic);
  w.GameRunning = true;
  g.host.SetTimerEnabled(TimerId::Main, true);
}

void DeathSequence(Game& g) {
  World& w = g.world;
  w.GameRunning = false;
  w.DeathSequenceRunning = true;
  g.host.SetTimerEnabled(TimerId::Main, false);
  w.KeyUpHeld = w.KeyDownHeld = w.KeyLeftHeld = w.KeyRightHeld = false;
  PlayWave(g, kHitWave);
  StopMusic(g, false);
  PlaySection(g, kDeathJingle);

  const SheetLayout& blow = kBlowSheet;
  for (int16_t k = 0; k < kExplosionSteps; ++k) {
    BitBlt(g.gfx.canvas, w.PlayerX + kExplosionInset, w.PlayerY + kExplosionInset, blow.cellWidth,
           blow.cellHeight, g.gfx.sprBlow, blow.cellWidth * k, 0, kSrcCopy);
    g.host.window.Present(g.gfx.canvas);
    g.host.Pause(kExplosionStepMs);
  }
  Advance(w.Lives, -1);
  // MusicOn is read now: switching the music off during the explosion
  // shortens the wait.
  g.host.Pause(w.MusicOn ? kAfterDeathMs : kAfterDeathSilentMs);
  w.DeathSequenceRunning = false;
  StartRound(g);
}

void BackToTitle(Game& g) {
  World& w = g.world;
  w.GameRunning = false;
  StopMusic(g, false);
  PlaySection(g, kTitleMusic);
  g.host.SetTimerEnabled(TimerId::Main, false);
  w.BannerChar = 0;
  w.BannerShift = 0;
  BuildBannerText(g, 0);
  ShowTitleScreen(g);
}
