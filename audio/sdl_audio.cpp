#include "audio/sdl_audio.h"

#include <cstddef>

SdlAudio::SdlAudio(When when) {
  if (when == When::OpenNow) OpenDevice();
}

SdlAudio::~SdlAudio() {
  // The device goes first, so nothing renders any more; then the seeking
  // thread, after the seek it may be in. Only then may the mixer, the
  // modules and the converted effects go.
  keeper_.Stop();
}

bool SdlAudio::Quit(std::chrono::milliseconds within) {
  const bool deviceStopped = keeper_.Stop(within);
  return player_.Quit() && deviceStopped;
}

// Never waits: the render takes the commands queued at the start of its block.
void SdlAudio::Callback(void* self, uint8_t* stream, int length) {
  auto* audio = static_cast<SdlAudio*>(self);
  const size_t frames = static_cast<size_t>(length) / (sizeof(float) * AudioMixer::kChannels);
  audio->mixer_.Render(reinterpret_cast<float*>(stream), frames);
}

void SdlAudio::DeviceOpened(void* self, bool firstDevice) {
  // Before the first device nothing was rendered, so nothing is restarted.
  if (!firstDevice) static_cast<SdlAudio*>(self)->mixer_.RestartOnNewDevice();
}

void SdlAudio::DeviceStopped(void* self) {
  static_cast<SdlAudio*>(self)->mixer_.DeviceStopped();
}
