#include "audio/sdl_audio.h"

#include <SDL.h>

#if defined(__unix__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// Sound libraries below SDL print their complaints about a missing sound card
// on stderr; a game without sound is normal here and must say nothing.
class QuietStderr {
 public:
#if defined(__unix__)
  QuietStderr() {
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }

 private:
  int saved_ = -1;
#endif
};
}  // namespace

SdlAudio::SdlAudio(When when) {
  if (when == When::OpenNow) OpenDevice();
}

void SdlAudio::OpenDevice() {
  if (subsystem_) return;
  [[maybe_unused]] QuietStderr quiet;  // does nothing where there is no such library
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
  // A section start still being sought takes the audio lock when done: the
  // seeking thread ends before the device goes.
  player_.StopSeeking();
  // Closing waits for the callback to return; only then may the mixer, the
  // modules and the converted effects go.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudio::Callback(void* self, uint8_t* stream, int length) {
  auto* audio = static_cast<SdlAudio*>(self);
  const size_t frames = static_cast<size_t>(length) / (sizeof(float) * AudioMixer::kChannels);
  audio->lock_.LockRender();
  audio->mixer_.Render(reinterpret_cast<float*>(stream), frames);
  audio->lock_.UnlockRender();
}
