#include "game/world.h"

int16_t FindFreeEnemySlot(const World& w) {
  for (int16_t i = 0; i < kEnemyCount; ++i) {
    if (!w.EnemyActive[i]) return i;
  }
  return 0;
}
