// An hour of play under pseudo-random keys and draws: the tables never fill,
// nothing leaves its bounds and nothing is allocated.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "app/input.h"
#include "audio/silent_audio.h"
#include "game/enemies.h"
#include "game/tick.h"
#include "tests/scripted_platform.h"

namespace {
// Counts allocations while set; the whole test binary shares these operators.
bool g_counting = false;
long g_allocations = 0;

void* Allocate(std::size_t n) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
// The nothrow forms too: a library that uses them (the module player does)
// must free what it got with the same allocator.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_counting) ++g_allocations;
  return std::malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// A small generator that allocates nothing; drives both keys and draws.
class Lcg : public RandomSource {
 public:
  void Seed(uint32_t seed) override { state_ = seed; }
  double Next() override { return static_cast<double>(Bits() >> 8) / (1u << 24); }
  uint32_t Bits() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_;
  }

 private:
  uint32_t state_ = 12345;
};

#if defined(__SANITIZE_ADDRESS__)
// Under the sanitizers every pixel costs tens of times more: ten minutes of
// play there, the full hour in the plain build.
constexpr int kTicks = 12000;
#else
constexpr int kTicks = 72000;  // an hour at 20 ticks a second
#endif

}  // namespace

TEST(Soak, AnHourOfPlayKeepsTablesSmallPositionsBoundedAndAllocatesNothing) {
  auto gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;  // pauses pass at once: no events, the clock jumps
  EventLoop loop{p};
  SilentModulePlayer player;
  SilentWaveOutput waveOut;
  Lcg random;
  Lcg keys;
  keys.Seed(777);
  Game g{*gfx, loop, player, waveOut, random};
  World& w = g.world;
  w.SoundOn = w.MusicOn = true;

  const int16_t steer[] = {kVkLeft, kVkUp, kVkRight, kVkDown};
  int games = 0, maxInUse = 0;
  long score = 0;
  g_allocations = 0;
  g_counting = true;
  {
    // The counter sees allocations: one here, then none while playing.
    volatile int* probe = new int[4];
    delete[] probe;
  }
  ASSERT_EQ(g_allocations, 1);
  g_allocations = 0;
  for (int tick = 0; tick < kTicks; ++tick) {
    if (!w.GameRunning) {
      score += w.Score;
      Form_KeyDown(g, kVkSpace, 0);
      ++games;
    }
    const uint32_t k = keys.Bits();
    if ((k & 7) == 0) Form_KeyDown(g, steer[(k >> 3) & 3], 0);
    if ((k & 7) == 1) Form_KeyUp(g, steer[(k >> 3) & 3], 0);
    if ((k & 15) == 2) {
      Form_KeyDown(g, kVkSpace, 0);
      Form_KeyUp(g, kVkSpace, 0);
    }
    if ((k >> 8) % 5000 == 0) Form_KeyDown(g, kVkEscape, 0);  // abandon a game now and then
    if ((k >> 8) % 3001 == 0) Form_KeyDown(g, kVkM, 0);
    if ((k >> 8) % 2003 == 0) Form_KeyDown(g, kVkS, 0);

    tmrMain_Timer(g);

    int inUse = 0;
    for (int i = 0; i < kEnemyCount; ++i) {
      if (!w.EnemyActive[i]) continue;
      ++inUse;
      ASSERT_GE(w.EnemyX[i], 0);
      ASSERT_LE(w.EnemyX[i], 350);
      ASSERT_GE(w.EnemyY[i], -48 - 72);
      ASSERT_LE(w.EnemyY[i], 400 + 72);
      ASSERT_GE(w.EnemyKind[i], kWreck);
      ASSERT_LE(w.EnemyKind[i], kLastEnemyKind);
    }
    ASSERT_LT(inUse, 30) << "tick " << tick;
    maxInUse = std::max(maxInUse, inUse);
    for (int j = 0; j < kShotCount; ++j) {
      if (!w.ShotActive[j]) continue;
      ASSERT_LT(j, kFireableShots);
      ASSERT_GT(w.ShotY[j], -24);
      ASSERT_LE(w.ShotY[j], 330 - 15);
    }
    ASSERT_GE(w.PlayerX, 5);
    ASSERT_LE(w.PlayerX, 350);
    ASSERT_GE(w.PlayerY, 100);
    ASSERT_LE(w.PlayerY, 330);
    ASSERT_GE(w.Score, 0);
    ASSERT_EQ(g_allocations, 0) << "tick " << tick;
  }
  g_counting = false;
  // The run really played: games ended and enemies were shot.
  EXPECT_GT(games, 5);
  EXPECT_GT(score, 0);
  EXPECT_GT(maxInUse, 5);
}
