#include "audio/sdl_audio.h"

#include <cstddef>

SdlAudio::SdlAudio(When when) {
  if (when == When::OpenNow) OpenDevice();
}

SdlAudio::~SdlAudio() {
  // The device goes first, so nothing renders any more; then a section
  // start still being sought, which takes the mixer lock when done. Only
  // then may the mixer, the modules and the converted effects go.
  keeper_.Stop();
  player_.StopSeeking();
}

bool SdlAudio::EffectHeard() {
  if (!lock_.Lock()) return false;
  const bool heard = mixer_.EffectFramesRendered() > 0;
  lock_.Unlock();
  return heard;
}

void SdlAudio::Callback(void* self, uint8_t* stream, int length) {
  auto* audio = static_cast<SdlAudio*>(self);
  const size_t frames = static_cast<size_t>(length) / (sizeof(float) * AudioMixer::kChannels);
  audio->lock_.LockRender();
  audio->mixer_.Render(reinterpret_cast<float*>(stream), frames);
  audio->lock_.UnlockRender();
}

void SdlAudio::DeviceOpened(void* self, bool firstDevice) {
  // Before the first device nothing was rendered, so nothing is restarted.
  if (firstDevice) return;
  auto* audio = static_cast<SdlAudio*>(self);
  // A renderer found stuck keeps what it has; the quit ends it.
  if (audio->lock_.Lock()) {
    audio->mixer_.RestartOnNewDevice();
    audio->lock_.Unlock();
  }
}
