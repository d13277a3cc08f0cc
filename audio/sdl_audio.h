// The SDL audio device: owns the device, the mixer that feeds it, the module
// player and the effect output. With audio/sdl_resample.*, the only audio
// code that calls SDL.
//
// The device may go at any time (a sound server restarted, a headset switched
// off) or be missing at start (a server not up yet). A thread of its own then
// closes the old device and opens the default one again, trying every couple
// of seconds at most and sleeping in between; the section playing starts again
// from its start on the new device. The game notices none of it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/device_retry.h"
#include "audio/mixer.h"
#include "audio/mixer_audio.h"

union SDL_Event;

class SdlAudio {
 public:
  // Stereo float at 48 kHz in blocks of 2048 frames (42.7 ms): the audio
  // thread wakes 23 times a second, and an effect requested reaches the
  // output with the next block, at most one block later.
  static constexpr int kRate = 48000;
  static constexpr int kBlockFrames = 2048;

  // Opens the default output device, at once or, given OpenLater, at
  // OpenDevice. Without one everything still works and plays nothing; no
  // message is shown.
  enum class When { OpenNow, OpenLater };
  explicit SdlAudio(When when = When::OpenNow);
  // Opens and starts the device, if not yet done, and from then on keeps one
  // open. SDL's audio thread, the sound server's library and the thread that
  // keeps the device exist from here on.
  void OpenDevice();
  ~SdlAudio();
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  bool HasDevice() const { return device_.load() != 0; }
  // The device open now (SDL's id), 0 when none.
  uint32_t Device() const { return device_.load(); }
  // How many devices were opened so far (SDL reuses their ids).
  uint32_t DevicesOpened() const { return opened_.load(); }
  ModulePlayer& Player() { return player_; }
  MixerWaveOutput& Effects() { return effects_; }
  // Whether the effect last started has reached the device's output (for
  // measuring how soon that happens).
  bool EffectHeard() const { return mixer_.EffectsRendered() >= effects_.Played(); }
  // The quit's, from the game thread once it takes no more commands: stops
  // the device, then ends the seeking thread or, inside a seek, leaves it.
  // Bounded whatever the audio side does. After it the program leaves
  // without destroying anything: a thread left may still use it.
  void Quit();

 private:
  static void Callback(void* self, uint8_t* stream, int length);
  static int WatchEvents(void* self, SDL_Event* event);
  // Opens the default device, starting SDL's audio subsystem (again, when
  // allowed: the only way some drivers reach a server that has restarted);
  // 0 when there is none.
  uint32_t Open(bool restartSubsystem);
  // Closes the device, waiting no longer than the retry rules allow.
  void Close(uint32_t device);
  void Keep(int firstWaitMs);

  // Stops the keeping thread and the device: SDL calls back no more.
  void StopDevice();

  AudioMixer mixer_{kRate};
  MixerModulePlayer player_{mixer_};
  MixerWaveOutput effects_{mixer_};

  bool subsystem_ = false;
  bool events_ = false;
  // After the first device, a new one carries on from the section's start.
  // Before the first, nothing was rendered, so nothing is restarted.
  std::atomic<uint32_t> opened_{0};
  std::atomic<uint32_t> device_{0};
  // The keeping thread's state, under keepMutex_ (device_ apart).
  std::mutex keepMutex_;
  std::condition_variable keepWake_;
  bool quit_ = false;
  uint32_t removed_ = 0;  // a device reported gone, not yet handled
  DeviceRetry retry_;     // the keeping thread's alone once it runs
  struct Closing;
  std::shared_ptr<Closing> leftBehind_;  // a close that did not return in time
  std::thread keeper_;
};
