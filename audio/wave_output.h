// Output of the sound effects: plays one complete RIFF/WAVE image.
#pragma once

#include <cstddef>
#include <cstdint>

class WaveOutput {
 public:
  virtual ~WaveOutput() = default;
  // Starts playing the wave image and returns at once. A sound still playing
  // is cut off. Plays nothing, silently, when the data or the device fails.
  // The bytes must stay valid until the next call.
  virtual void PlayMemory(const uint8_t* data, size_t size) = 0;
};
