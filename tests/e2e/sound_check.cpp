// Checks what the game sent to SDL's disk audio device (raw stereo float at
// the device rate) against the same sounds rendered here through the same
// mixer: the title tune from its start, then the in-game tune from its start,
// then the shot over it, then the title tune again, then silence (music off).
// Usage: sound_check CAPTURE.raw MODULE SHOT.wav
// Prints where each was found; exits 1 with the first one missing.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/sdl_audio.h"
#include "audio/wave_image.h"

namespace {

constexpr int kRate = SdlAudio::kRate;
constexpr size_t kChannels = AudioMixer::kChannels;
// Where one section cuts another, the mixer blends the step away over its
// first frames; past them the new section sounds exactly as on its own.
constexpr size_t kBlendFrames = 200;
constexpr float kTolerance = 1e-4f;

std::vector<float> Render(const char* modulePath, const ModuleSection& s, double seconds) {
  AudioMixer mixer(kRate);
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kInRender);
  player.PlayModuleSection(player.LoadModule(modulePath), s.start, s.end, s.restart, s.loop);
  std::vector<float> out(kChannels * static_cast<size_t>(seconds * kRate));
  for (size_t done = 0; done < out.size(); done += kChannels * SdlAudio::kBlockFrames) {
    const size_t frames = std::min<size_t>(SdlAudio::kBlockFrames, (out.size() - done) / kChannels);
    mixer.Render(out.data() + done, frames);
  }
  return out;
}

bool Same(const std::vector<float>& capture, size_t at, const std::vector<float>& want, size_t from,
          size_t frames) {
  if ((at + frames) * kChannels > capture.size()) return false;
  for (size_t i = from * kChannels; i < frames * kChannels; ++i) {
    if (std::fabs(capture[at * kChannels + i] - want[i]) > kTolerance) return false;
  }
  return true;
}

// The first frame from `after` on where `want` starts, or -1.
long Find(const std::vector<float>& capture, size_t after, const std::vector<float>& want,
          size_t from, size_t frames) {
  for (size_t at = after; (at + frames) * kChannels <= capture.size(); ++at) {
    if (Same(capture, at, want, from, frames)) return static_cast<long>(at);
  }
  return -1;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "sound_check: %s\n", what);
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: sound_check CAPTURE.raw MODULE SHOT.wav\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<float> capture(bytes.size() / sizeof(float));
  std::memcpy(capture.data(), bytes.data(), capture.size() * sizeof(float));
  std::printf("captured %.2f s\n", static_cast<double>(capture.size() / kChannels) / kRate);

  const size_t second = kRate;
  const std::vector<float> title = Render(argv[2], {0, 8, 1, true}, 1.0);
  const std::vector<float> game = Render(argv[2], {10, 19, 12, true}, 4.0);

  // Started from silence, the title tune is heard whole from its first frame.
  const long titleAt = Find(capture, 0, title, 0, second);
  if (titleAt < 0) Fail("no title tune at start-up");
  std::printf("title tune from %.3f s\n", static_cast<double>(titleAt) / kRate);

  // The in-game tune alone until the shot, which comes half a second later.
  const long gameAt = Find(capture, static_cast<size_t>(titleAt), game, kBlendFrames, second / 4);
  if (gameAt < 0) Fail("no in-game tune after Space");
  std::printf("in-game tune from %.3f s\n", static_cast<double>(gameAt) / kRate);

  // What is left over the tune must be the shot sound, at the effect level.
  std::ifstream wave(argv[3], std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(wave)), {});
  WaveInfo info;
  if (!ParseWave(image.data(), image.size(), info)) Fail("the shot image does not parse");
  std::vector<float> shot;
  ConvertWave(info, kRate, shot);
  const size_t playFrames = game.size() / kChannels;
  size_t first = kBlendFrames;
  while (first < playFrames &&
         std::fabs(capture[(static_cast<size_t>(gameAt) + first) * kChannels] -
                   game[first * kChannels]) <= kTolerance) {
    ++first;
  }
  if (first + shot.size() > playFrames) Fail("no shot within 4 s of the in-game tune");
  // The shot's first samples are below the tolerance: it began a little earlier.
  bool heard = false;
  for (size_t back = 0; back < 16 && !heard && back <= first; ++back) {
    const size_t start = first - back;
    heard = true;
    for (size_t i = 0; i < shot.size() && heard; ++i) {
      const size_t f = (static_cast<size_t>(gameAt) + start + i) * kChannels;
      const float got = capture[f] - game[(start + i) * kChannels];
      // Frames the mixer's limit has bent say nothing.
      if (std::fabs(capture[f]) <= AudioMixer::kLimitFrom)
        heard = std::fabs(got - AudioMixer::kEffectGain * shot[i]) < 1e-3f;
    }
    if (heard) std::printf("shot from %.3f s\n", static_cast<double>(gameAt + start) / kRate);
  }
  if (!heard) Fail("the sound over the in-game tune is not the shot");

  // Escape: the title tune from its start again. The first 0.6 s are left
  // out: a hit sound from the last frames of play may still ring over them.
  const long againAt = Find(capture, static_cast<size_t>(gameAt) + first + shot.size(), title,
                            second * 6 / 10, second * 9 / 10);
  if (againAt < 0) Fail("no title tune after Escape");
  std::printf("title tune again from %.3f s\n", static_cast<double>(againAt) / kRate);

  // M switched the music off a good half second before the end.
  const size_t quiet = kChannels * second * 3 / 10;
  if (capture.size() < quiet) Fail("the capture is too short");
  for (size_t i = capture.size() - quiet; i < capture.size(); ++i) {
    if (capture[i] != 0.0f) Fail("music still sounds after M");
  }
  std::printf("silent after M\n");
  return 0;
}
