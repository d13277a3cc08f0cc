// The cost of the sound: music and effects rendered as the audio callback
// renders them, in blocks of the device's size, and the cost of loading the
// music file, good or bad.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "assets/resources.h"
#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/sdl_audio.h"

namespace {

// Processor time of the calling thread: a busy machine must not count.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

constexpr ModuleSection kSections[] = {{0, 8, 1, true}, {10, 19, 12, true}};
const char* const kSectionNames[] = {"title music", "in-game music and effects"};

// One iteration is ten seconds of the title music (arg 0) or of the in-game
// music with a shot every quarter second and a hit every second (arg 1).
// "cpu_percent" is the share of one core the callback's rendering needs to
// keep up in real time, counted in processor time (the machine may be busy).
void BM_MusicAndEffects(benchmark::State& state) {
  AudioMixer mixer(SdlAudio::kRate);
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kInRender);
  MixerWaveOutput effects(mixer);
  const auto shot = FindResource("wave101.wav");
  const auto hit = FindResource("wave102.wav");
  effects.Prepare(shot.data(), shot.size());
  effects.Prepare(hit.data(), hit.size());
  const uint32_t module = player.LoadModule(KESTRANE_MUSIC_FILE);
  if (module == 0) {
    state.SkipWithError("no music module");
    return;
  }
  const bool play = state.range(0) == 1;
  const ModuleSection& section = kSections[play ? 1 : 0];
  player.PlayModuleSection(module, section.start, section.end, section.restart, section.loop);
  std::vector<float> block(2 * SdlAudio::kBlockFrames);
  constexpr int kSeconds = 10;
  const int blocksPerQuarter = SdlAudio::kRate / 4 / SdlAudio::kBlockFrames;
  const int blocks = kSeconds * SdlAudio::kRate / SdlAudio::kBlockFrames;
  double longest = 0, total = 0;
  long rendered = 0;
  for (auto _ : state) {
    for (int b = 0; b < blocks; ++b) {
      if (play && b % blocksPerQuarter == 0) {
        const auto& wave = b % (4 * blocksPerQuarter) == 0 ? hit : shot;
        effects.PlayMemory(wave.data(), wave.size());
      }
      const double start = ThreadSeconds();
      mixer.Render(block.data(), SdlAudio::kBlockFrames);
      benchmark::DoNotOptimize(block.data());
      const double took = ThreadSeconds() - start;
      longest = std::max(longest, took);
      total += took;
      ++rendered;
    }
  }
  // Rate-inverted: seconds of processor per (seconds of sound / 100).
  state.counters["cpu_percent"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds / 100.0,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // The longest single block against the block's own 10.7 ms: a callback
  // that renders music ahead must still never come near it.
  state.counters["longest_block_ms"] = 1000 * longest;
  state.counters["mean_block_ms"] = rendered > 0 ? 1000 * total / static_cast<double>(rendered) : 0;
  state.SetLabel(kSectionNames[play ? 1 : 0]);
}
BENCHMARK(BM_MusicAndEffects)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The processor time so far of this process's SDL audio thread, in seconds;
// negative when there is none (or no /proc to read it from).
double AudioThreadSeconds() {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/self/task", ec)) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    if (name.rfind("SDLAudioP", 0) != 0) continue;
    double ns = -1;
    std::ifstream(task.path() / "schedstat") >> ns;
    return ns < 0 ? -1 : ns / 1e9;
  }
  return -1;
}

// The same sound as BM_MusicAndEffects, played live through the audio device
// for ten seconds: "cpu_percent" is the device thread's whole processor time
// (rendering, wake-ups, the driver's pacing, copies, locking) per second of
// sound. Without SDL_AUDIODRIVER set the dummy driver paces the thread, so
// the figure is the same with or without a sound card.
void BM_LiveDevice(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SdlAudio audio;
  // The thread names itself once it runs.
  for (int i = 0; i < 100 && audio.HasDevice() && AudioThreadSeconds() < 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!audio.HasDevice() || AudioThreadSeconds() < 0) {
    state.SkipWithError(audio.HasDevice() ? "no audio device thread" : "no audio device");
    return;
  }
  const auto shot = FindResource("wave101.wav");
  const auto hit = FindResource("wave102.wav");
  audio.Effects().Prepare(shot.data(), shot.size());
  audio.Effects().Prepare(hit.data(), hit.size());
  const uint32_t module = audio.Player().LoadModule(KESTRANE_MUSIC_FILE);
  const bool play = state.range(0) == 1;
  const ModuleSection& section = kSections[play ? 1 : 0];
  audio.Player().PlayModuleSection(module, section.start, section.end, section.restart,
                                   section.loop);
  constexpr int kSeconds = 10;
  double busy = 0;
  for (auto _ : state) {
    const double before = AudioThreadSeconds();
    for (int quarter = 0; quarter < 4 * kSeconds; ++quarter) {
      if (play) {
        const auto& wave = quarter % 4 == 0 ? hit : shot;
        audio.Effects().PlayMemory(wave.data(), wave.size());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    busy += AudioThreadSeconds() - before;
  }
  state.counters["cpu_percent"] = 100 * busy / (static_cast<double>(state.iterations()) * kSeconds);
  state.SetLabel(kSectionNames[play ? 1 : 0]);
}
BENCHMARK(BM_LiveDevice)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// How soon an effect is heard: a shot is requested at a random moment (as a
// key comes at any time), and the time until the device's callback has put
// its first frames into the output is taken; the dummy device plays what it
// is given at once, so that is when it is heard. A sound server holds one
// block more before the speaker. "mean_ms" and "longest_ms" over 100 shots.
void BM_EffectLatency(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SdlAudio audio;
  if (!audio.HasDevice()) {
    state.SkipWithError("no audio device");
    return;
  }
  const auto shot = FindResource("wave101.wav");
  audio.Effects().Prepare(shot.data(), shot.size());
  std::mt19937 draw(11);
  double total = 0, longest = 0;
  int shots = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(draw() % 60000));
      const auto asked = std::chrono::steady_clock::now();
      audio.Effects().PlayMemory(shot.data(), shot.size());
      while (!audio.EffectHeard()) std::this_thread::sleep_for(std::chrono::microseconds(200));
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked)
              .count();
      total += ms;
      longest = std::max(longest, ms);
      ++shots;
    }
  }
  state.counters["mean_ms"] = shots > 0 ? total / shots : 0;
  state.counters["longest_ms"] = longest;
}
BENCHMARK(BM_EffectLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the game thread pays to post one command while the render takes
// them a block at a time: "items_per_second" is how many it can post a
// second (processor time of the posting alone). Arg 0 posts a command as
// such; arg 1 plays an effect, which first finds its prepared copy by the
// image's bytes.
void BM_PostCommand(benchmark::State& state) {
  AudioMixer mixer(SdlAudio::kRate);
  MixerWaveOutput effects(mixer);
  const auto shot = FindResource("wave101.wav");
  effects.Prepare(shot.data(), shot.size());
  std::vector<float> block(2 * SdlAudio::kBlockFrames);
  mixer.Render(block.data(), SdlAudio::kBlockFrames);  // from here on the render takes them
  MixerCommand stop;
  stop.kind = MixerCommand::Kind::kEffect;
  constexpr int kBatch = 256;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    for (int i = 0; i < kBatch; ++i) {
      if (state.range(0) == 0) {
        mixer.Post(stop);
      } else {
        effects.PlayMemory(shot.data(), shot.size());
      }
    }
    state.SetIterationTime(ThreadSeconds() - start);
    mixer.Render(block.data(), SdlAudio::kBlockFrames);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  if (mixer.Overflows() != 0) state.SkipWithError("the queue overflowed");
}
BENCHMARK(BM_PostCommand)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Starting a section: the seek, as the seeking thread runs it.
void BM_StartSection(benchmark::State& state) {
  AudioMixer mixer(SdlAudio::kRate);
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kInRender);
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
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kInRender);
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
