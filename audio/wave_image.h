// Reading RIFF/WAVE images held in memory, and turning their sound into the
// mixer's format. SDL only behind the resampler (audio/sdl_resample.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct WaveInfo {
  int channels = 0;
  int rate = 0;
  int bits = 0;  // 8 (unsigned) or 16 (signed)
  const uint8_t* data = nullptr;
  size_t frames = 0;  // whole frames only; a trailing part-frame is dropped
};

// Walks the chunks of a PCM wave image, every length checked against the
// image. False when it is not one the mixer can play. A data chunk cut short
// by the end of the image plays what is there.
bool ParseWave(const uint8_t* image, size_t size, WaveInfo& info);

// The sound as mono float samples at the given rate, frames * rate / its rate
// of them rounded up: [-1, 1] at its own rate, band-limited when resampled (a
// little ringing may pass full scale). Empty when the resampler fails.
// Called once per sound, ahead of play: it allocates.
void ConvertWave(const WaveInfo& info, int rate, std::vector<float>& out);
