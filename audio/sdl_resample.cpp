#include "audio/sdl_resample.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>

bool ResampleMono(const float* in, size_t count, int from, int to, std::vector<float>& out) {
  out.clear();
  if (in == nullptr || count == 0 || from <= 0 || to <= 0) return false;
  const size_t want = static_cast<size_t>(
      (static_cast<uint64_t>(count) * static_cast<uint64_t>(to) + static_cast<uint64_t>(from) - 1) /
      static_cast<uint64_t>(from));
  // The one-shot converter rather than SDL_AudioStream: in SDL 2.26 a stream
  // drifts in time when fed in pieces and loses the tail when fed at once.
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, AUDIO_F32SYS, 1, from, AUDIO_F32SYS, 1, to) < 0) return false;
  std::vector<float> work(count * static_cast<size_t>(std::max(cvt.len_mult, 1)) + 16, 0.0f);
  std::copy(in, in + count, work.begin());
  cvt.buf = reinterpret_cast<Uint8*>(work.data());
  cvt.len = static_cast<int>(count * sizeof(float));
  if (cvt.needed && SDL_ConvertAudio(&cvt) < 0) return false;
  const size_t got = cvt.needed ? static_cast<size_t>(cvt.len_cvt) / sizeof(float) : count;
  // A sample more or less than the exact ratio: the tail is silence anyway.
  work.resize(std::max(got, want), 0.0f);
  out.assign(work.begin(), work.begin() + static_cast<long>(want));
  return true;
}
