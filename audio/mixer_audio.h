// The module-player layer and the effect output over an AudioMixer. Both
// run on the game thread and only post commands to the mixer: nothing here
// waits for the render, and the render waits for nothing. Loading happens
// here, before the device plays; a section's start is sought on the seeking
// thread, which this player runs.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "audio/module_player.h"
#include "audio/wave_output.h"

// PlayModuleSection returns the play handle at once; the section is heard
// once the seeking thread has set the module at its start (a block or two
// later, or as long as the module's seek takes).
class MixerModulePlayer : public ModulePlayer {
 public:
  static constexpr int kMaxModules = 4;

  // Where a section's start is sought: on a thread of the player's (the
  // game), or by the render itself, which makes every start land on the
  // block after it (tools and tests that render alone, and want the same
  // sound each time).
  enum class Seeking { kOwnThread, kInRender };
  // The seek the seeking thread runs; tests put in one that stalls.
  using SeekFunction = bool (*)(openmpt::module&, const ModuleSection&, SoughtSection&);
  explicit MixerModulePlayer(AudioMixer& mixer, Seeking seeking = Seeking::kOwnThread,
                             SeekFunction seek = &AudioMixer::SeekSectionStart);
  // Ends the seeking thread, after the seek it may be in. The render must
  // have stopped first: the modules go here.
  ~MixerModulePlayer() override;

  bool Startup() override { return true; }
  bool Init() override { return true; }
  bool StartBackgroundPlay(int) override { return true; }
  bool OpenChannels(int) override { return true; }
  // Parses the file on the calling thread: called at start-up, before the
  // device plays. A module freed earlier gives its slot back here, once the
  // render and the seeking thread have let go of it.
  uint32_t LoadModule(const char* path) override;
  bool SetAmplification(int) override { return true; }
  uint32_t PlayModuleSection(uint32_t module, int32_t start, int32_t end, int32_t restart,
                             bool loop) override;
  bool StopModule(uint32_t playHandle) override;
  // Never waits: the module is destroyed once nothing uses it (at a later
  // load, or with the player).
  bool FreeModule(uint32_t module) override;
  // Silences the section playing.
  bool CloseChannels() override;
  bool StopBackgroundPlay() override;
  // Frees every module.
  bool Close() override;
  // The quit's: takes no more commands and tells the seeking thread to end.
  // Never waits: an idle thread ends at once and is joined; one inside a
  // seek is left to finish it (the program then leaves without destroying
  // what it uses). True when no thread of the player runs any more.
  bool Quit();

 private:
  struct Slot {
    uint32_t handle = 0;
    std::unique_ptr<openmpt::module> module;
    int32_t orders = 0;
    bool freed = false;                // freed by the game, maybe still in use
    std::atomic<bool> letGo{false};    // nothing uses it any more
  };
  Slot* Find(uint32_t handle);
  void Post(const MixerCommand& command);
  void Silence();
  uint32_t NextHandle();
  void StartSeekingThread();
  void SeekLoop();

  AudioMixer& mixer_;
  std::array<Slot, kMaxModules> slots_;
  uint32_t playing_ = 0;           // the play handle of the section last started
  const Slot* playingSlot_ = nullptr;
  uint32_t lastHandle_ = 0;
  bool quitting_ = false;
  std::atomic<bool> seekerQuit_{false};
  const Seeking seeking_;
  const SeekFunction seek_;
  std::atomic<bool> busy_{false};  // the seeking thread is inside a seek
  std::thread seeker_;
};

class MixerWaveOutput : public WaveOutput {
 public:
  static constexpr int kMaxWaves = 8;

  explicit MixerWaveOutput(AudioMixer& mixer) : mixer_(mixer) {}

  // Converts the image to the mixer's format, at start-up, so that playing
  // converts and allocates nothing. Images are known by their bytes; up to
  // kMaxWaves different ones are kept.
  void Prepare(const uint8_t* data, size_t size);
  // Plays the converted copy of a prepared image, so the bytes are free again
  // as soon as this returns. An image not prepared, or one that cannot be
  // played, plays nothing and stops the sound before it.
  void PlayMemory(const uint8_t* data, size_t size) override;
  // How many sounds were asked for so far (for measuring how soon one is heard).
  uint32_t Played() const { return played_; }

 private:
  struct Converted {
    uint64_t key = 0;  // 0 = free entry
    bool playable = false;
    std::vector<float> samples;
  };
  static uint64_t KeyOf(const uint8_t* data, size_t size);

  AudioMixer& mixer_;
  std::array<Converted, kMaxWaves> cache_;
  uint32_t played_ = 0;
};
