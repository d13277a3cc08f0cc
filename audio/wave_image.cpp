#include "audio/wave_image.h"

#include <cstring>
#include <utility>

#include "audio/sdl_resample.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
bool Tag(const uint8_t* p, const char* tag) {
  return std::memcmp(p, tag, 4) == 0;
}

constexpr uint16_t kPcm = 1;
// Beyond this a "wave" is no sound effect: refuse rather than allocate for it.
constexpr size_t kMaxFrames = 10 * 48000;

}  // namespace

bool ParseWave(const uint8_t* image, size_t size, WaveInfo& info) {
  info = WaveInfo{};
  if (image == nullptr || size < 12 || !Tag(image, "RIFF") || !Tag(image + 8, "WAVE")) return false;
  bool haveFormat = false;
  size_t blockAlign = 0;
  size_t offset = 12;
  while (size - offset >= 8) {
    const uint8_t* chunk = image + offset;
    const size_t body = offset + 8;
    const size_t length = Le32(chunk + 4);
    const size_t available = size - body;
    if (Tag(chunk, "fmt ")) {
      if (length < 16 || length > available) return false;
      const uint8_t* f = image + body;
      info.channels = Le16(f + 2);
      info.rate = static_cast<int>(Le32(f + 4));
      blockAlign = Le16(f + 12);
      info.bits = Le16(f + 14);
      const bool pcm = Le16(f) == kPcm && (info.bits == 8 || info.bits == 16);
      if (!pcm || info.channels < 1 || info.channels > 2 || info.rate < 1000 ||
          info.rate > 192000 || blockAlign != static_cast<size_t>(info.channels * info.bits / 8)) {
        return false;
      }
      haveFormat = true;
    } else if (Tag(chunk, "data")) {
      if (!haveFormat) return false;
      info.data = image + body;
      info.frames = (length < available ? length : available) / blockAlign;
      return info.frames > 0 && info.frames <= kMaxFrames;
    }
    if (length > available) return false;
    // Chunks of odd length are followed by a pad byte.
    offset = body + length + (length & 1);
    if (offset > size) return false;
  }
  return false;
}

void ConvertWave(const WaveInfo& info, int rate, std::vector<float>& out) {
  out.clear();
  if (info.frames == 0 || info.rate <= 0 || rate <= 0) return;
  const size_t frameBytes = static_cast<size_t>(info.channels * info.bits / 8);
  std::vector<float> mono(info.frames);
  for (size_t frame = 0; frame < info.frames; ++frame) {
    const uint8_t* p = info.data + frame * frameBytes;
    float sum = 0;
    for (int c = 0; c < info.channels; ++c) {
      sum += info.bits == 8 ? (static_cast<float>(p[c]) - 128.0f) / 128.0f
                            : static_cast<float>(static_cast<int16_t>(Le16(p + 2 * c))) / 32768.0f;
    }
    mono[frame] = sum / static_cast<float>(info.channels);
  }
  if (info.rate == rate) {
    out = std::move(mono);
  } else {
    ResampleMono(mono.data(), mono.size(), info.rate, rate, out);
  }
}
