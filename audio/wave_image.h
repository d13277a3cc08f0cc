// Reading RIFF/WAVE images held in memory, and turning their sound into the
// mixer's format. No SDL here, so it can be tested on its own.
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

// The sound as mono float samples in [-1, 1] at the given rate (linear
// interpolation; fine for short effects).
void ConvertWave(const WaveInfo& info, int rate, std::vector<float>& out);
