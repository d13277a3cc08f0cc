// Build tool: renders a section of the music module offline through the
// game's mixer into a 16-bit stereo WAV file, and prints the song position at
// each second, for checking the music by ear and by measurement.
// Usage: render_music MODULE OUT.wav START END RESTART LOOP(0/1) SECONDS [EFFECT.wav]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/mixer.h"
#include "audio/mixer_audio.h"

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(
        stderr, "usage: render_music MODULE OUT.wav START END RESTART LOOP SECONDS [EFFECT.wav]\n");
    return 2;
  }
  constexpr int kRate = 48000;
  AudioMixer mixer(kRate);
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kInRender);
  MixerWaveOutput effects(mixer);
  const uint32_t module = player.LoadModule(argv[1]);
  if (module == 0) {
    std::fprintf(stderr, "render_music: cannot load %s\n", argv[1]);
    return 1;
  }
  player.PlayModuleSection(module, std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                           std::atoi(argv[6]) != 0);
  std::vector<uint8_t> effect;
  if (argc > 8) {
    std::ifstream in(argv[8], std::ios::binary);
    effect.assign(std::istreambuf_iterator<char>(in), {});
  }
  const int seconds = std::atoi(argv[7]);
  std::vector<int16_t> pcm;
  std::vector<float> block(2 * kRate);
  for (int s = 0; s < seconds; ++s) {
    if (!effect.empty() && s % 2 == 1) effects.PlayMemory(effect.data(), effect.size());
    mixer.Render(block.data(), kRate);
    std::printf("%d:%d ", s, mixer.CurrentPosition());
    for (float v : block) pcm.push_back(static_cast<int16_t>(v * 32767.0f));
  }
  std::printf("\n");
  std::ofstream out(argv[2], std::ios::binary);
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(v >> (8 * i)));
  };
  const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
  out.write("RIFF", 4);
  put(36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(kRate, 4);
  put(kRate * 4, 4);
  put(4, 2);
  put(16, 2);
  out.write("data", 4);
  put(dataBytes, 4);
  out.write(reinterpret_cast<const char*>(pcm.data()), dataBytes);
  return out ? 0 : 1;
}
