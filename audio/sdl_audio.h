// The SDL audio device: the mixer that feeds it, the module player and the
// effect output, wired to the device that audio/sdl_device_keeper.* keeps
// open. The section playing starts again from its start on a new device; the
// game notices none of it.
#pragma once

#include <chrono>
#include <cstdint>

#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/sdl_device_keeper.h"

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
  void OpenDevice() { keeper_.Start(); }
  ~SdlAudio();
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  bool HasDevice() const { return keeper_.Device() != 0; }
  // The device open now (SDL's id), 0 when none.
  uint32_t Device() const { return keeper_.Device(); }
  // How many devices were opened so far (SDL reuses their ids).
  uint32_t DevicesOpened() const { return keeper_.DevicesOpened(); }
  ModulePlayer& Player() { return player_; }
  MixerWaveOutput& Effects() { return effects_; }
  // Whether the effect last started has reached the device's output (for
  // measuring how soon that happens).
  bool EffectHeard() const { return mixer_.EffectsRendered() >= effects_.Played(); }
  // The quit's, from the game's thread once the game takes no more
  // commands: stops the device within `within`, then ends the seeking
  // thread or, inside a seek, leaves it. True when every thread of the
  // audio has ended; false when one was left, and then nothing of the audio
  // may be destroyed: the program leaves without destructors.
  bool Quit(std::chrono::milliseconds within);

 private:
  static void Callback(void* self, uint8_t* stream, int length);
  static void DeviceOpened(void* self, bool firstDevice);
  static void DeviceStopped(void* self);

  AudioMixer mixer_{kRate};
  MixerModulePlayer player_{mixer_};
  MixerWaveOutput effects_{mixer_};
  SdlDeviceKeeper keeper_{
      {kRate, AudioMixer::kChannels, kBlockFrames},
      {&SdlAudio::Callback, &SdlAudio::DeviceOpened, &SdlAudio::DeviceStopped, this}};
};
