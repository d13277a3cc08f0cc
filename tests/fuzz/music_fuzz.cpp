// libFuzzer target: the music path as the game drives it. The input is the
// music file: loaded by the module player (the loader's size and memory
// limits included), then the title tune, the in-game tune with shots and
// hits over it, the jingle and the title again, each started, rendered for
// a few seconds in the device's blocks and stopped. A sample out of range or
// a position outside the song traps; a render that never ends is a timeout.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/memory_limit.h"
#include "assets/resources.h"
#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/module_file.h"
#include "audio/sdl_audio.h"
#include "game/music.h"

#if __has_feature(address_sanitizer)
// Past the load's memory budget an allocation must fail as in the game, by
// std::bad_alloc, which the library handles; the sanitizer's own operator
// new would end the process instead. Its malloc returns null
// (allocator_may_return_null) and still checks every access. Every form is
// replaced, so that what one allocates the other never frees.
namespace {
void* Allocate(size_t size, size_t alignment) {
  void* p = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    p = std::malloc(size == 0 ? 1 : size);
  } else if (posix_memalign(&p, alignment, size == 0 ? 1 : size) != 0) {
    p = nullptr;
  }
  return p;
}
void* AllocateOrThrow(size_t size, size_t alignment) {
  if (void* p = Allocate(size, alignment)) return p;
  throw std::bad_alloc();
}
}  // namespace
void* operator new(size_t n) {
  return AllocateOrThrow(n, 0);
}
void* operator new[](size_t n) {
  return AllocateOrThrow(n, 0);
}
void* operator new(size_t n, std::align_val_t a) {
  return AllocateOrThrow(n, static_cast<size_t>(a));
}
void* operator new[](size_t n, std::align_val_t a) {
  return AllocateOrThrow(n, static_cast<size_t>(a));
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n, 0);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n, 0);
}
void* operator new(size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(n, static_cast<size_t>(a));
}
void* operator new[](size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(n, static_cast<size_t>(a));
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace {

constexpr int kRate = SdlAudio::kRate;
constexpr size_t kBlock = SdlAudio::kBlockFrames;

struct Run {
  AudioMixer mixer{kRate};
  // Seeks in the render, so that each run renders the same sound.
  MixerModulePlayer player{mixer, MixerModulePlayer::Seeking::kInRender};
  MixerWaveOutput effects{mixer};
  std::vector<float> block = std::vector<float>(2 * kBlock);

  void Play(uint32_t module, const MusicSection& s) {
    player.PlayModuleSection(module, s.start, s.end, s.restart, s.loop);
  }

  void Render(double seconds, int effectEveryBlocks) {
    const int blocks = static_cast<int>(seconds * kRate / kBlock);
    const auto shot = FindResource("wave101.wav");
    const auto hit = FindResource("wave102.wav");
    for (int b = 0; b < blocks; ++b) {
      if (effectEveryBlocks > 0 && b % effectEveryBlocks == 0) {
        const auto& wave = b % (4 * effectEveryBlocks) == 0 ? hit : shot;
        effects.PlayMemory(wave.data(), wave.size());
      }
      mixer.Render(block.data(), kBlock);
      const int32_t position = mixer.CurrentPosition();
      for (float v : block) {
        if (!(v >= -AudioMixer::kCeiling && v <= AudioMixer::kCeiling)) __builtin_trap();
      }
      if (position < -1) __builtin_trap();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The loader takes a path: the bytes go into a file in memory.
  static const int fd = memfd_create("music", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  for (size_t put = 0; put < size;) {
    const ssize_t n = pwrite(fd, data + put, size - put, static_cast<off_t>(put));
    if (n <= 0) std::abort();
    put += static_cast<size_t>(n);
  }
  Run run;
  const auto shot = FindResource("wave101.wav");
  const auto hit = FindResource("wave102.wav");
  run.effects.Prepare(shot.data(), shot.size());
  run.effects.Prepare(hit.data(), hit.size());
  uint32_t module = 0;
  {
    // As the game loads: under the start-up's memory cap.
    MemoryLimit cap(kMaxModuleMemory);
    module = run.player.LoadModule(path.c_str());
  }
  if (module == 0) return 0;
  constexpr int kQuarter = kRate / 4 / static_cast<int>(kBlock);
  run.Play(module, kTitleMusic);
  run.Render(2, 0);
  run.player.StopModule(1);  // a stale handle changes nothing
  run.Play(module, kPlayMusic);
  run.Render(2, kQuarter);
  run.Play(module, kDeathJingle);
  run.Render(1.5, 0);
  run.Play(module, kTitleMusic);
  run.Render(0.5, 0);
  run.player.CloseChannels();
  run.Render(0.1, 0);
  run.player.FreeModule(module);
  return 0;
}
