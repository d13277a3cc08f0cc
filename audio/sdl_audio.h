// The SDL audio device: owns the device, the mixer that feeds it, the module
// player and the effect output. With audio/sdl_resample.*, the only audio
// code that calls SDL.
#pragma once

#include <cstdint>

#include "audio/mixer.h"
#include "audio/mixer_audio.h"

class SdlAudio {
 public:
  // Stereo float at 48 kHz in blocks of 512 frames (10.7 ms): an effect
  // reaches the output at most two blocks after it is requested.
  static constexpr int kRate = 48000;
  static constexpr int kBlockFrames = 512;

  // Opens the default output device, at once or, given OpenLater, at
  // OpenDevice. Without one everything still works and plays nothing; no
  // message is shown.
  enum class When { OpenNow, OpenLater };
  explicit SdlAudio(When when = When::OpenNow);
  // Opens and starts the device, if not yet done. SDL's audio thread (and the
  // sound server's library) exist from here on.
  void OpenDevice();
  ~SdlAudio();
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  bool HasDevice() const { return device_ != 0; }
  ModulePlayer& Player() { return player_; }
  MixerWaveOutput& Effects() { return effects_; }
  // Whether a command found the audio thread stuck and left it what it
  // plays: the program must then end by std::_Exit, without the shutdown.
  bool Abandoned() const { return lock_.Stuck() || player_.Abandoned(); }

 private:
  static void Callback(void* self, uint8_t* stream, int length);

  uint32_t device_ = 0;
  bool subsystem_ = false;
  // The mixer's own lock rather than SDL's device lock, which has no
  // bounded wait.
  RenderLock lock_;
  AudioMixer mixer_{kRate};
  MixerModulePlayer player_{mixer_, lock_};
  MixerWaveOutput effects_{mixer_, lock_};
};
