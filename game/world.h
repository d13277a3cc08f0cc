// The world record: every game-wide variable in one value, zero-filled at
// program start, so a test can build it, tick it, copy it and compare runs.
#pragma once

#include <cstdint>
#include <string>

constexpr int kEnemyCount = 100;
constexpr int kShotCount = 20;
constexpr int kFireableShots = 10;  // FireShot only ever searches entries 0..9

struct World {
  // Held arrow keys during play.
  bool KeyUpHeld = false, KeyDownHeld = false, KeyLeftHeld = false, KeyRightHeld = false;

  // Player ship.
  int16_t PlayerX = 0, PlayerY = 0, PlayerFrame = 0, PlayerSpeed = 0, FlameFrame = 0;

  // Enemy table; an entry's index is its only identity.
  bool EnemyActive[kEnemyCount] = {};
  int16_t EnemyKind[kEnemyCount] = {};
  int16_t EnemyX[kEnemyCount] = {};
  int16_t EnemyY[kEnemyCount] = {};
  int16_t EnemyFrame[kEnemyCount] = {};
  int16_t WreckSpeed[kEnemyCount] = {};

  // Shot table.
  bool ShotActive[kShotCount] = {};
  int16_t ShotX[kShotCount] = {};
  int16_t ShotY[kShotCount] = {};
  int16_t ShotFrame[kShotCount] = {};

  int16_t StarRow = 0;
  int16_t SpawnCountdown = 0;
  int16_t Score = 0;
  int16_t Lives = 0;
  int16_t StageNumber = 0;

  // Flow flags.
  bool GameRunning = false, SoundOn = false, MusicOn = false;
  // True while DeathSequence runs, so a Space pressed in its pauses cannot
  // start a new game inside the dying one.
  bool DeathSequenceRunning = false;
  // True while ShowTitleScreen reveals the title; TitleRevealAgain asks that
  // reveal to start over, for a return to the title made inside its pauses.
  bool TitleRevealRunning = false, TitleRevealAgain = false;

  // Title-screen web link.
  bool LinkHover = false, LinkDirty = false;

  // Scrolling banner.
  int16_t BannerChar = 0, BannerShift = 0;

  std::string MusicPath;

  bool operator==(const World&) const = default;
};

// Adds delta to a 16-bit world field; the game's values stay far from its limits.
inline void Advance(int16_t& field, int delta) {
  field = static_cast<int16_t>(field + delta);
}

// Steps an animation counter that runs 0..limit-1: up by one, and back to 0
// on reaching limit.
inline void Cycle(int16_t& counter, int limit) {
  Advance(counter, 1);
  if (counter == limit) counter = 0;
}

// Lowest free enemy entry; 0 when every entry is in use (the spawn then
// overwrites entry 0).
int16_t FindFreeEnemySlot(const World& w);
