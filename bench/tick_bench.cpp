// The cost of one busy frame tick: 29 enemies and wrecks, ten shots in flight,
// the status bar and the ship, against a plain memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/event_loop.h"
#include "audio/silent_audio.h"
#include "game/tick.h"

namespace {

// A platform with no window: the clock never moves and nothing is shown.
class NullPlatform : public Platform {
 public:
  uint32_t Now() override { return 0; }
  bool WaitEvent(Event&, uint32_t) override { return false; }
  void PresentRows(const Surface&, int, int) override {}
  void OpenUrl(const char*) override {}
  void SetCaption(const char*) override {}
};

// 29 entries in use (the most the game can hold): 21 small enemies, 6 large
// ones and 2 wrecks, spread over the field away from the ship and the shots,
// so that nothing is hit and every tick does the same work.
World BusyWorld() {
  World w;
  w.PlayerX = 178;
  w.PlayerY = 330;
  w.PlayerSpeed = 6;
  w.Lives = 3;
  w.StageNumber = 1;
  w.Score = 1234;
  w.StarRow = 200;
  w.SpawnCountdown = 5;  // no spawn attempt in the measured tick
  for (int i = 0; i < 29; ++i) {
    w.EnemyActive[i] = true;
    w.EnemyKind[i] = static_cast<int16_t>(i < 21 ? 2 + i % 3 : i < 27 ? 5 : 1);
    w.EnemyX[i] = static_cast<int16_t>(i % 2 == 0 ? 10 + (i % 6) * 8 : 260 + (i % 5) * 16);
    w.EnemyY[i] = static_cast<int16_t>(20 + i * 10);
    w.WreckSpeed[i] = 3;
  }
  for (int j = 0; j < 10; ++j) {
    w.ShotActive[j] = true;
    w.ShotX[j] = 193;
    w.ShotY[j] = static_cast<int16_t>(60 + j * 25);
  }
  return w;
}

// Bytes the tick writes to its surfaces: the two full-frame copies and the
// two new strip rows, then each sprite's two masked copies.
int64_t BytesPerTick(const World& w) {
  auto area = [](int cw, int ch) { return int64_t{cw} * ch * 4; };
  int64_t bytes = 2 * area(400, 400) + area(400, 2);
  for (int i = 0; i < kEnemyCount; ++i) {
    if (w.EnemyActive[i]) bytes += 2 * (w.EnemyKind[i] == 5 ? area(48, 48) : area(32, 32));
  }
  for (int j = 0; j < kShotCount; ++j) {
    if (w.ShotActive[j]) bytes += 2 * area(14, 24);
  }
  bytes += 2 * (area(45, 45) + area(13, 16));                     // ship and flame
  bytes += 2 * (area(40 + 30 + 38, 15) + 8 * area(9, 12));        // labels and 8 digits
  return bytes;
}

struct Rig {
  Rig() {
    LoadSurfaces(*gfx, PixelFormat{});
    BitBlt(gfx->bufTiles, 0, 0, 600, 400, gfx->sprStars, 0, 0, kSrcCopy);
  }
  std::unique_ptr<Surfaces> gfx = std::make_unique<Surfaces>();
  NullPlatform platform;
  EventLoop loop{platform};
  SilentModulePlayer player;
  SilentWaveOutput waveOut;
  DefaultRandom random;
  Game g{*gfx, loop, player, waveOut, random};
};

void BM_BusyTick(benchmark::State& state) {
  Rig rig;
  const World busy = BusyWorld();
  for (auto _ : state) {
    rig.g.world = busy;
    tmrMain_Timer(rig.g);
    benchmark::DoNotOptimize(rig.gfx->canvas.Pixel(200, 200));
  }
  state.SetBytesProcessed(state.iterations() * BytesPerTick(busy));
  state.counters["bytes/tick"] = static_cast<double>(BytesPerTick(busy));
}
BENCHMARK(BM_BusyTick);

// A quiet tick: background, status bar, ship and flame only. Target: well
// under 1 ms.
void BM_QuietTick(benchmark::State& state) {
  Rig rig;
  World quiet = BusyWorld();
  for (bool& active : quiet.EnemyActive) active = false;
  for (bool& active : quiet.ShotActive) active = false;
  for (auto _ : state) {
    rig.g.world = quiet;
    tmrMain_Timer(rig.g);
    benchmark::DoNotOptimize(rig.gfx->canvas.Pixel(200, 200));
  }
}
BENCHMARK(BM_QuietTick);

// The floor: one memcpy moving as many bytes as the busy tick writes.
void BM_MemcpyTickBytes(benchmark::State& state) {
  const auto bytes = static_cast<size_t>(BytesPerTick(BusyWorld()));
  std::vector<char> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MemcpyTickBytes);

}  // namespace
