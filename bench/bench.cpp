// Speed of the drawing primitive and of one frame tick. Targets: a 400 x 400
// copy within 1.5x of memcpy, AND/OR within 2x, a tick well under 1 ms.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "app/event_loop.h"
#include "audio/silent_audio.h"
#include "game/tick.h"

namespace {

constexpr int kSide = 400;
constexpr int64_t kBytes = int64_t{kSide} * kSide * 4;

void BM_Memcpy(benchmark::State& state) {
  Surface src(kSide, kSide, 0x123456), dst(kSide, kSide);
  for (auto _ : state) {
    std::memcpy(dst.Row(0), src.Row(0), kBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_Memcpy);

void BM_BitBlt(benchmark::State& state) {
  const uint32_t rop = static_cast<uint32_t>(state.range(0));
  Surface src(kSide, kSide, 0x123456), dst(kSide, kSide, 0xFFFFFF);
  for (auto _ : state) {
    BitBlt(dst, 0, 0, kSide, kSide, src, 0, 0, rop);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_BitBlt)->Arg(SRCCOPY)->Arg(SRCAND)->Arg(SRCPAINT);

// A host that only counts; the tick never waits on it.
class NullHost : public Host {
 public:
  void Present(const Surface&) override {}
  void SetTimerEnabled(TimerId, bool) override {}
  bool TimerEnabled(TimerId) const override { return false; }
  uint32_t Now() override { return 0; }
  void DispatchPending(uint32_t) override {}
  void OpenUrl(const char*) override {}
  void SetCaption(const char*) override {}
  [[noreturn]] void Quit() override { throw ProgramExit{}; }
};

void BM_FrameTickEmpty(benchmark::State& state) {
  auto gfx = std::make_unique<Surfaces>();
  LoadSurfaces(*gfx, PixelFormat{});
  NullHost host;
  SilentModulePlayer player;
  SilentWaveOutput waveOut;
  DefaultRandom random;
  Game g(*gfx, host, player, waveOut, random);
  BitBlt(gfx->bufTiles, 0, 0, 600, 400, gfx->sprStars, 0, 0, SRCCOPY);
  for (auto _ : state) {
    tmrMain_Timer(g);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameTickEmpty)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
