// The cost of the sound: music and effects rendered as the audio callback
// renders them, in blocks of the device's size, and the cost of loading the
// music file, good or bad.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/sdl_audio.h"

namespace {

// One iteration is ten seconds of in-game music with a shot every quarter
// second and a hit every second. "cpu_percent" is the share of one core the
// callback needs to keep up in real time.
void BM_MusicAndEffects(benchmark::State& state) {
  AudioMixer mixer(SdlAudio::kRate);
  NoAudioLock lock;
  MixerModulePlayer player(mixer, lock);
  MixerWaveOutput effects(mixer, lock);
  const auto shot = FindResource("wave101.wav");
  const auto hit = FindResource("wave102.wav");
  effects.Prepare(shot.data(), shot.size());
  effects.Prepare(hit.data(), hit.size());
  const uint32_t module = player.LoadModule(KESTRANE_MUSIC_FILE);
  if (module == 0) {
    state.SkipWithError("no music module");
    return;
  }
  player.PlayModuleSection(module, 10, 19, 12, true);
  std::vector<float> block(2 * SdlAudio::kBlockFrames);
  constexpr int kSeconds = 10;
  const int blocksPerQuarter = SdlAudio::kRate / 4 / SdlAudio::kBlockFrames;
  const int blocks = kSeconds * SdlAudio::kRate / SdlAudio::kBlockFrames;
  for (auto _ : state) {
    for (int b = 0; b < blocks; ++b) {
      if (b % blocksPerQuarter == 0) {
        const auto& wave = b % (4 * blocksPerQuarter) == 0 ? hit : shot;
        effects.PlayMemory(wave.data(), wave.size());
      }
      mixer.Render(block.data(), SdlAudio::kBlockFrames);
      benchmark::DoNotOptimize(block.data());
    }
  }
  // Rate-inverted: seconds of processor per (seconds of sound / 100).
  state.counters["cpu_percent"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds / 100.0,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MusicAndEffects)->Unit(benchmark::kMillisecond)->UseRealTime();

// Starting a section: the seek runs under the device lock, so it delays the
// callback by as much.
void BM_StartSection(benchmark::State& state) {
  AudioMixer mixer(SdlAudio::kRate);
  NoAudioLock lock;
  MixerModulePlayer player(mixer, lock);
  const uint32_t module = player.LoadModule(KESTRANE_MUSIC_FILE);
  const auto start = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(player.PlayModuleSection(module, start, 19, 12, true));
  }
}
BENCHMARK(BM_StartSection)->Arg(0)->Arg(10)->Arg(19)->Unit(benchmark::kMicrosecond);

// Loading the module against loading what is not one: a bad file must not
// make start-up slower than the good one.
void BM_LoadModule(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kestrane_bench_music";
  std::filesystem::create_directories(dir);
  std::string path = KESTRANE_MUSIC_FILE;
  std::mt19937 draw(3);
  auto write = [&](const char* name, size_t size, bool random) {
    std::string bytes(size, '\0');
    if (random) {
      for (char& c : bytes) c = static_cast<char>(draw());
    }
    path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
  };
  switch (state.range(0)) {
    case 1:
      path = (dir / "missing.snd").string();
      break;
    case 2:
      write("random.snd", 64 << 10, true);
      break;
    case 3:
      write("random3m.snd", 3 << 20, true);
      break;
    case 4:
      write("zeros6m.snd", 6 << 20, false);
      break;
    default:
      break;
  }
  AudioMixer mixer(SdlAudio::kRate);
  NoAudioLock lock;
  MixerModulePlayer player(mixer, lock);
  for (auto _ : state) {
    const uint32_t module = player.LoadModule(path.c_str());
    if (module != 0) player.FreeModule(module);
    benchmark::DoNotOptimize(module);
  }
  state.SetLabel(state.range(0) == 0   ? "the module"
                 : state.range(0) == 1 ? "missing"
                 : state.range(0) == 2 ? "64 KiB random"
                 : state.range(0) == 3 ? "3 MiB random"
                                       : "6 MiB zeros");
}
BENCHMARK(BM_LoadModule)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
