// Build tool: renders the game's tunes through its mixer and prints what a
// listener would measure: loudness (BS.1770 K-weighting and gating, so close
// to LUFS), sample and true peak, left-right balance, energy by band, the mix
// and the kick through a 200 Hz high-pass (a small speaker), and the lead
// against the pads, each played alone. Then the worst cases for clipping: the
// hit and the shot started at every row of both tunes and of the jingle.
// Usage: sound_figures MODULE SHOT.wav HIT.wav
// Exits 1 when any sample reaches full scale.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/module_file.h"
#include "game/music.h"

namespace {

constexpr int kRate = 48000;
constexpr double kPi = 3.14159265358979323846;
using Stereo = std::vector<float>;  // interleaved left, right

std::vector<char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

double Db(double ratio) {
  return ratio > 0 ? 10.0 * std::log10(ratio) : -999.0;
}

struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double z1 = 0, z2 = 0;
  double Run(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// The usual cookbook filters.
Biquad Pass(bool high, double freq, double q) {
  const double w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
  const double a0 = 1 + alpha;
  const double g = high ? (1 + c) / 2 : (1 - c) / 2;
  Biquad f;
  f.b0 = g / a0;
  f.b1 = (high ? -2 * g : 2 * g) / a0;
  f.b2 = g / a0;
  f.a1 = -2 * c / a0;
  f.a2 = (1 - alpha) / a0;
  return f;
}

using Chain = std::vector<Biquad>;
// Butterworth of the given even order, as cascaded sections.
Chain Butterworth(bool high, double freq, int order) {
  Chain c;
  for (int k = 1; k <= order / 2; ++k) {
    c.push_back(Pass(high, freq, 1.0 / (2 * std::cos((2 * k - 1) * kPi / (2 * order)))));
  }
  return c;
}

// The two sounds through the chain, each channel on its own.
Stereo Filter(const Stereo& in, const Chain& chain) {
  Stereo out(in.size());
  for (int ch = 0; ch < 2; ++ch) {
    Chain c = chain;
    for (size_t i = static_cast<size_t>(ch); i < in.size(); i += 2) {
      double v = in[i];
      for (Biquad& b : c) v = b.Run(v);
      out[i] = static_cast<float>(v);
    }
  }
  return out;
}

double Energy(const Stereo& s, int channel = -1) {
  double e = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (channel < 0 || static_cast<int>(i % 2) == channel) e += static_cast<double>(s[i]) * s[i];
  }
  return e;
}

// Integrated loudness: K-weighted, 400 ms blocks every 100 ms, gated at
// -70 LUFS and then 10 LU under the mean of the blocks left.
double Loudness(const Stereo& s) {
  const Biquad shelf{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                     0.73248077421585};
  const Biquad high{1, -2, 1, -1.99004745483398, 0.99007225036621};
  const Stereo k = Filter(s, {shelf, high});
  const size_t frames = k.size() / 2, block = kRate * 4 / 10, hop = kRate / 10;
  std::vector<double> power;
  for (size_t at = 0; at + block <= frames; at += hop) {
    double e = 0;
    for (size_t i = 2 * at; i < 2 * (at + block); ++i) e += static_cast<double>(k[i]) * k[i];
    power.push_back(e / block);
  }
  auto gated = [&](double floor) {
    double sum = 0;
    int n = 0;
    for (double p : power) {
      if (-0.691 + Db(p) > floor) sum += p, ++n;
    }
    return n > 0 ? sum / n : 0.0;
  };
  const double relative = -0.691 + Db(gated(-70)) - 10;
  return -0.691 + Db(gated(relative));
}

// The highest level between samples too: four times oversampled through a
// windowed sinc. Only frames near the top are looked at closely.
double TruePeak(const Stereo& s, float from = 0.0f) {
  constexpr int kTaps = 16, kPhases = 4;
  static const auto kernel = [] {
    std::array<std::array<double, 2 * kTaps>, kPhases> k{};
    for (int p = 1; p < kPhases; ++p) {
      for (int t = 0; t < 2 * kTaps; ++t) {
        const double x = (t - kTaps + 1) - static_cast<double>(p) / kPhases;
        const double window = 0.5 + 0.5 * std::cos(kPi * x / kTaps);
        k[static_cast<size_t>(p)][static_cast<size_t>(t)] = std::sin(kPi * x) / (kPi * x) * window;
      }
    }
    return k;
  }();
  double peak = 0;
  const long frames = static_cast<long>(s.size() / 2);
  for (long i = 0; i < frames; ++i) {
    for (long ch = 0; ch < 2; ++ch) {
      const double here = std::fabs(s[static_cast<size_t>(2 * i + ch)]);
      peak = std::max(peak, here);
      if (here < from &&
          (i + 1 >= frames || std::fabs(s[static_cast<size_t>(2 * i + 2 + ch)]) < from))
        continue;
      for (int p = 1; p < kPhases; ++p) {
        double v = 0;
        for (int t = 0; t < 2 * kTaps; ++t) {
          const long j = i + t - kTaps + 1;
          if (j >= 0 && j < frames)
            v += s[static_cast<size_t>(2 * j + ch)] *
                 kernel[static_cast<size_t>(p)][static_cast<size_t>(t)];
        }
        peak = std::max(peak, std::fabs(v));
      }
    }
  }
  return peak;
}

double SamplePeak(const Stereo& s) {
  float peak = 0;
  for (float v : s) peak = std::max(peak, std::fabs(v));
  return peak;
}

constexpr size_t kChunk = 32;

struct Listener {
  AudioMixer mixer{kRate, kChunk};  // the row read between blocks is the one heard next
  MixerModulePlayer player{mixer, MixerModulePlayer::Seeking::kInRender};
  MixerWaveOutput effects{mixer};
  uint32_t module = 0;
};

// One pass of a section through the mixer: start to end, stopping where it
// loops back or falls silent. Calls atRow(order, row) on each new row, before
// the frames of that row are rendered.
template <typename F>
Stereo RenderSection(Listener& g, const MusicSection& section, F atRow) {
  g.player.PlayModuleSection(g.module, section.start, section.end, section.restart, section.loop);
  Stereo out;
  int32_t lastOrder = -1, lastRow = -1;
  float block[2 * kChunk];
  // The start is a command taken at the next block: an empty one takes it,
  // so the first row read is the section's, not the one played before.
  g.mixer.Render(block, 0);
  while (g.mixer.Music() != nullptr) {
    const int32_t order = g.mixer.CurrentPosition();
    const int32_t row = g.mixer.Music()->get_current_row();
    if (order < lastOrder) break;  // looped back
    if (order != lastOrder || row != lastRow) atRow(order, row);
    lastOrder = order;
    lastRow = row;
    g.mixer.Render(block, kChunk);
    out.insert(out.end(), block, block + 2 * kChunk);
  }
  g.player.CloseChannels();
  return out;
}

// The module alone, with only the channels that play the named samples heard.
Stereo Solo(const std::vector<char>& bytes, const openmpt::module& like, const MusicSection& s,
            const std::vector<std::string>& names) {
  std::ostream quiet(nullptr);
  openmpt::module_ext m(bytes, quiet);
  for (int p : {openmpt::module::RENDER_STEREOSEPARATION_PERCENT,
                openmpt::module::RENDER_MASTERGAIN_MILLIBEL,
                openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH,
                openmpt::module::RENDER_VOLUMERAMPING_STRENGTH}) {
    m.set_render_param(p, like.get_render_param(p));
  }
  const std::vector<std::string> samples = m.get_sample_names();
  std::vector<bool> heard(static_cast<size_t>(m.get_num_channels()), false);
  for (int32_t o = 0; o < m.get_num_orders(); ++o) {
    const int32_t pattern = m.get_order_pattern(o);
    for (int32_t r = 0; r < m.get_pattern_num_rows(pattern); ++r) {
      for (int32_t c = 0; c < m.get_num_channels(); ++c) {
        const int i =
            m.get_pattern_row_channel_command(pattern, r, c, openmpt::module::command_instrument);
        if (i < 1 || i > static_cast<int>(samples.size())) continue;
        if (std::find(names.begin(), names.end(), samples[static_cast<size_t>(i - 1)]) !=
            names.end())
          heard[static_cast<size_t>(c)] = true;
      }
    }
  }
  auto* interactive =
      static_cast<openmpt::ext::interactive*>(m.get_interface(openmpt::ext::interactive_id));
  for (size_t c = 0; c < heard.size(); ++c)
    interactive->set_channel_mute_status(static_cast<int32_t>(c), !heard[c]);
  m.set_position_order_row(0, 0);
  m.set_position_order_row(s.start, 0);
  Stereo out;
  float block[2 * 480];
  while (m.get_current_order() >= s.start && m.get_current_order() <= s.end) {
    const size_t got = m.read_interleaved_stereo(kRate, 480, block);
    if (got == 0) break;
    out.insert(out.end(), block, block + 2 * got);
  }
  return out;
}

void Figures(const char* name, const Stereo& mix, const Stereo& kick, const Stereo& lead,
             const Stereo& pads, const Stereo& snare) {
  const double total = Energy(mix);
  const Chain hp200 = Butterworth(true, 200, 2);
  std::printf(
      "%-8s %.1f s  loudness %.1f LUFS  peak %.2f dBFS  true peak %.2f dBTP  L-R %+.2f dB\n", name,
      static_cast<double>(mix.size() / 2) / kRate, Loudness(mix), 20 * std::log10(SamplePeak(mix)),
      20 * std::log10(TruePeak(mix)), Db(Energy(mix, 0) / Energy(mix, 1)));
  // Bands between steep (8th-order) splits, as parts of the whole energy.
  const std::array<double, 4> splits = {200, 1000, 3000, 8000};
  std::array<double, 5> above{1, 0, 0, 0, 0};
  for (size_t i = 0; i < splits.size(); ++i)
    above[i + 1] = Energy(Filter(mix, Butterworth(true, splits[i], 8))) / total;
  std::printf(
      "         bands  <200 %.1f  200-1k %.1f  1k-3k %.1f  3k-8k %.1f  >8k %.1f dB of the whole\n",
      Db(above[0] - above[1]), Db(above[1] - above[2]), Db(above[2] - above[3]),
      Db(above[3] - above[4]), Db(above[4]));
  std::printf("         through a 200 Hz high-pass: mix %.1f dB",
              Db(Energy(Filter(mix, hp200)) / total));
  if (!kick.empty()) {
    Chain attack = Butterworth(true, 1000, 4);
    for (const Biquad& b : Butterworth(false, 3000, 4)) attack.push_back(b);
    std::printf(", kick %.1f dB (1-3 kHz: %.1f dB)", Db(Energy(Filter(kick, hp200)) / Energy(kick)),
                Db(Energy(Filter(kick, attack)) / Energy(kick)));
  }
  std::printf("\n");
  if (!lead.empty() && !pads.empty())
    std::printf("         alone: lead %.1f LUFS, pads %.1f LUFS, snare %.1f LUFS\n", Loudness(lead),
                Loudness(pads), snare.empty() ? -99.0 : Loudness(snare));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: sound_figures MODULE SHOT.wav HIT.wav\n");
    return 2;
  }
  Listener g;
  g.module = g.player.LoadModule(argv[1]);
  const std::unique_ptr<openmpt::module> like = LoadModuleFile(argv[1]);
  if (g.module == 0 || !like) {
    std::fprintf(stderr, "sound_figures: cannot load %s\n", argv[1]);
    return 1;
  }
  const std::vector<char> bytes = ReadFile(argv[1]);
  const std::vector<char> shotBytes = ReadFile(argv[2]), hitBytes = ReadFile(argv[3]);
  const std::vector<uint8_t> shot(shotBytes.begin(), shotBytes.end()),
      hit(hitBytes.begin(), hitBytes.end());
  auto none = [](int32_t, int32_t) {};

  struct Tune {
    const char* name;
    MusicSection section;
  };
  const std::array<Tune, 3> tunes = {
      {{"title", kTitleMusic}, {"in-game", kPlayMusic}, {"jingle", kDeathJingle}}};
  for (const Tune& t : tunes) {
    const Stereo mix = RenderSection(g, t.section, none);
    // Effects over a tune that rendered nothing would prove nothing.
    if (mix.size() / 2 < static_cast<size_t>(kRate)) {
      std::fprintf(stderr, "sound_figures: the %s tune rendered under a second\n", t.name);
      return 1;
    }
    const bool jingle = !t.section.loop;
    Figures(t.name, mix, jingle ? Stereo{} : Solo(bytes, *like, t.section, {"kick"}),
            jingle ? Stereo{} : Solo(bytes, *like, t.section, {"lead"}),
            jingle ? Stereo{} : Solo(bytes, *like, t.section, {"pad"}),
            jingle ? Stereo{} : Solo(bytes, *like, t.section, {"snare"}));
  }

  // Each effect started at every row: in passes, so that one start has rung
  // out (or nearly) before the next one cuts it.
  g.effects.Prepare(shot.data(), shot.size());
  g.effects.Prepare(hit.data(), hit.size());
  bool clipped = false;
  for (const Tune& t : tunes) {
    for (const auto* effect : {&hit, &shot}) {
      const int passes = t.section.loop ? 6 : 10;
      double peak = 0, truePeak = 0;
      for (int pass = 0; pass < passes; ++pass) {
        int rows = 0;
        if (!t.section.loop) g.effects.PlayMemory(hit.data(), hit.size());  // the lost ship's
        const Stereo out = RenderSection(g, t.section, [&](int32_t, int32_t) {
          if (rows++ % passes == pass) g.effects.PlayMemory(effect->data(), effect->size());
        });
        g.effects.PlayMemory(nullptr, 0);
        peak = std::max(peak, SamplePeak(out));
        truePeak = std::max(truePeak, TruePeak(out, 0.5f));
      }
      clipped = clipped || peak >= 1.0;
      std::printf("%-8s %s at every row: peak %.2f dBFS, true peak %.2f dBTP\n", t.name,
                  effect == &hit ? "hit " : "shot", 20 * std::log10(peak),
                  20 * std::log10(truePeak));
    }
  }
  std::printf(clipped ? "FULL SCALE REACHED\n" : "no sample at full scale\n");
  return clipped ? 1 : 0;
}
