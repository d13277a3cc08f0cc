// The module-player layer and the effect output over an AudioMixer. Commands
// come from the game thread and reach the mixer under the audio lock;
// loading, converting and the seek to a section's start happen outside it, so
// the callback never waits for them.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "audio/module_player.h"
#include "audio/wave_output.h"

// Excludes the renderer while a command changes the mixer. A real one in the
// game (RenderLock); nothing in tests, which render on their own thread.
class AudioLock {
 public:
  virtual ~AudioLock() = default;
  // False when the renderer did not let go in time: it is stuck, and the
  // caller must leave the mixer and what it plays alone.
  virtual bool Lock() = 0;
  virtual void Unlock() = 0;
};

class NoAudioLock : public AudioLock {
 public:
  bool Lock() override { return true; }
  void Unlock() override {}
};

// The game's lock. The renderer takes it for each block; a command waits for
// it at most kWait. A renderer that keeps it longer is taken as stuck: later
// commands only take the lock when it is free at once, until one does. So a
// stuck renderer costs the game one wait, and the quit never hangs on it.
class RenderLock : public AudioLock {
 public:
  static constexpr std::chrono::milliseconds kWait{200};
  bool Lock() override;
  void Unlock() override { mutex_.unlock(); }
  // The renderer's side: waits as long as a command holds the lock.
  void LockRender() { mutex_.lock(); }
  void UnlockRender() { mutex_.unlock(); }
  // Whether the last command found the renderer stuck.
  bool Stuck() const { return stuck_; }

 private:
  std::mutex mutex_;
  std::atomic<bool> stuck_{false};
};

// Sections of a module whose seeks are slow (a song full of pattern loops)
// start on a thread of their own: PlayModuleSection returns at once with the
// play handle, and the section is heard once its start is reached.
class MixerModulePlayer : public ModulePlayer {
 public:
  static constexpr int kMaxModules = 4;
  // A seek to the module's last position taking more processor time than
  // this, timed when the module is loaded, makes its section starts run on
  // their own thread.
  static constexpr int kSlowSeekMs = 10;

  MixerModulePlayer(AudioMixer& mixer, AudioLock& lock);
  ~MixerModulePlayer() override;

  bool Startup() override { return true; }
  bool Init() override { return true; }
  bool StartBackgroundPlay(int) override { return true; }
  bool OpenChannels(int) override { return true; }
  uint32_t LoadModule(const char* path) override;
  bool SetAmplification(int) override { return true; }
  uint32_t PlayModuleSection(uint32_t module, int32_t start, int32_t end, int32_t restart,
                             bool loop) override;
  bool StopModule(uint32_t playHandle) override;
  bool FreeModule(uint32_t module) override;
  // Silences the section playing.
  bool CloseChannels() override;
  bool StopBackgroundPlay() override;
  // Frees every module.
  bool Close() override;
  // Frees every module and ends the seeking thread; called by the owner of
  // the lock before the lock goes (and by the destructor).
  void StopSeeking();
  // Whether a module was left to the stuck renderer rather than freed: the
  // program must then end without the orderly shutdown (std::_Exit), which
  // would free what the renderer still uses.
  bool Abandoned() const { return abandoned_; }

 private:
  struct Slot {
    uint32_t handle = 0;
    std::unique_ptr<openmpt::module> module;
    int32_t orders = 0;  // read once: the callback may be rendering the module later
    bool slowSeek = false;
  };
  struct Request {
    Slot* slot = nullptr;
    SoughtSection sought;
    uint32_t handle = 0;
  };
  Slot* Find(uint32_t handle);
  void Silence();
  uint32_t NextHandle();
  // Hands the section start to the seeking thread; false if it cannot run.
  bool SeekElsewhere(const Request& request);
  void SeekLoop();
  // Returns once the seeking thread neither uses nor will use the slot.
  void Release(Slot& slot);
  // Leaves the slot's module to the stuck renderer, and frees the slot.
  void Abandon(Slot& slot);

  AudioMixer& mixer_;
  AudioLock& lock_;
  std::array<Slot, kMaxModules> slots_;
  // The play handle of the section in the mixer, or being sought for it.
  // Written by the game thread under the lock; read there and, under the
  // lock, by the seeking thread.
  uint32_t playing_ = 0;
  uint32_t lastHandle_ = 0;
  bool abandoned_ = false;

  // Never held together with the audio lock by the seeking thread.
  std::mutex requestMutex_;
  std::condition_variable requestChanged_;
  std::optional<Request> request_;  // the newest start still to seek
  Slot* busy_ = nullptr;            // the slot whose module is being sought
  bool quit_ = false;
  std::thread seeker_;
};

class MixerWaveOutput : public WaveOutput {
 public:
  static constexpr int kMaxWaves = 8;

  MixerWaveOutput(AudioMixer& mixer, AudioLock& lock) : mixer_(mixer), lock_(lock) {}
  ~MixerWaveOutput() override;

  // Converts the image to the mixer's format ahead of its first play, so that
  // playing allocates nothing. Images are known by their bytes; up to
  // kMaxWaves different ones are kept, and any beyond them play nothing.
  void Prepare(const uint8_t* data, size_t size);
  // The sound plays from the converted copy, so the bytes are free again as
  // soon as this returns.
  void PlayMemory(const uint8_t* data, size_t size) override;

 private:
  struct Converted {
    uint64_t key = 0;  // 0 = free entry
    bool playable = false;
    std::vector<float> samples;
  };
  const Converted* Convert(const uint8_t* data, size_t size);

  AudioMixer& mixer_;
  AudioLock& lock_;
  std::array<Converted, kMaxWaves> cache_;
};
