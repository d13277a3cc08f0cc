// Enemies: spawning and the per-tick update and drawing of enemies and wrecks.
#pragma once

#include <cstdint>

#include "game/game.h"

// EnemyKind values. Kinds 2 to 5 are the living enemies.
constexpr int16_t kWreck = 1;
constexpr int16_t kFirstEnemyKind = 2, kLastEnemyKind = 5;
constexpr int kLivingKinds = kLastEnemyKind - kFirstEnemyKind + 1;

// How one living kind flies and looks. Kinds 2 to 4 fall from the top, kind 5
// rises from the bottom; each leaves when its cell has passed the far edge.
struct EnemyKindRow {
  int16_t move;           // vertical pixels per tick
  int16_t counterLimit;   // EnemyFrame wraps to 0 on reaching it
  int16_t sheet;          // member of sprEnnemy
  int16_t columnDivisor;  // picture column = EnemyFrame / columnDivisor
  int16_t spawnY;         // EnemyY when it enters
  int16_t freeY;          // freed once EnemyY reaches this, in its direction
  int16_t wreckSpeed;     // WreckSpeed of the wreck it leaves
};

constexpr EnemyKindRow kEnemyKinds[kLivingKinds] = {
    //  move  limit sheet div spawnY freeY wreck
    {3, 20, 0, 2, -32, 400, 3},    // kind 2
    {2, 16, 1, 2, -32, 400, 2},    // kind 3
    {4, 16, 2, 2, -32, 400, 4},    // kind 4
    {-2, 23, 3, 1, 400, -48, -2},  // kind 5
};

constexpr bool IsLivingEnemy(int16_t kind) {
  return kind >= kFirstEnemyKind && kind <= kLastEnemyKind;
}
constexpr const EnemyKindRow& KindRow(int16_t kind) {
  return kEnemyKinds[kind - kFirstEnemyKind];
}

// A wreck shows explosion columns 1..18 and is freed in the tick it shows 18.
constexpr int16_t kWreckTicks = 18;
// A spawn attempt every tenth tick.
constexpr int16_t kSpawnInterval = 10;

// Rounds to the nearest integer, an exact half to the even neighbour.
int16_t RoundHalfEven(double v);

// Tick step 5: counts down and, every tenth tick, may spawn an enemy.
void SpawnEnemies(Game& g);
// Tick step 7: moves, animates, draws and frees every enemy and wreck.
void UpdateEnemies(Game& g);
