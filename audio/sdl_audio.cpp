#include "audio/sdl_audio.h"

#include <SDL.h>

SdlAudio::SdlAudio() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  subsystem_ = true;
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = AUDIO_F32SYS;
  want.channels = AudioMixer::kChannels;
  want.samples = kBlockFrames;
  want.callback = &SdlAudio::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants, so the
  // mixer always renders one format.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

SdlAudio::~SdlAudio() {
  // Closing waits for the callback to return; only then may the mixer, the
  // modules and the converted effects go.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudio::Lock() {
  if (device_ != 0) SDL_LockAudioDevice(device_);
}

void SdlAudio::Unlock() {
  if (device_ != 0) SDL_UnlockAudioDevice(device_);
}

void SdlAudio::Callback(void* self, uint8_t* stream, int length) {
  auto* audio = static_cast<SdlAudio*>(self);
  const size_t frames = static_cast<size_t>(length) / (sizeof(float) * AudioMixer::kChannels);
  audio->mixer_.Render(reinterpret_cast<float*>(stream), frames);
}
