// Speed of the drawing primitive. Targets: a 400 x 400 copy within 1.5x of
// memcpy, AND and OR within 2x. The frame tick is in tick_bench.cpp.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "assets/surface.h"

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
BENCHMARK(BM_BitBlt)->Arg(kSrcCopy)->Arg(kSrcAnd)->Arg(kSrcPaint);


}  // namespace

BENCHMARK_MAIN();
