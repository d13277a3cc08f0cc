// Build tool: synthesises the game's two wave sounds and composes its music
// module, writing them under the given assets folder:
//   data/wave101.wav   the shot, PCM mono 22,050 Hz 16-bit, 13,303 data bytes
//   data/wave102.wav   the explosion, PCM mono 11,025 Hz 8-bit, 6,161 data bytes
//   music/Kestrane.snd an 8-channel ProTracker module, 20 song positions
// Usage: soundgen ASSETS_DIR. The output is the same on every run.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
using Bytes = std::vector<uint8_t>;

// A fixed-seed generator, so the committed files can be rebuilt exactly.
struct Noise {
  uint32_t state = 0x2545f491u;
  double Next() {  // uniform in [-1, 1)
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
  }
};

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xffff);
  Put16(b, v >> 16);
}
void PutTag(Bytes& b, std::string_view tag) {
  b.insert(b.end(), tag.begin(), tag.end());
}

// A complete RIFF/WAVE image; a data chunk of odd length gets its pad byte.
Bytes WaveImage(int rate, int bits, const Bytes& data) {
  Bytes b;
  const uint32_t padded = static_cast<uint32_t>(data.size() + (data.size() & 1));
  PutTag(b, "RIFF");
  Put32(b, 4 + 8 + 16 + 8 + padded);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, static_cast<uint32_t>(rate));
  Put32(b, static_cast<uint32_t>(rate * bits / 8));
  Put16(b, static_cast<uint32_t>(bits / 8));
  Put16(b, static_cast<uint32_t>(bits));
  PutTag(b, "data");
  Put32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  return b;
}

// Raised-cosine edges: the sound starts and ends at exactly zero, with no click.
double Edges(int i, int count, int fadeIn, int fadeOut) {
  double g = 1.0;
  if (i < fadeIn) g *= 0.5 - 0.5 * std::cos(kPi * i / fadeIn);
  const int left = count - 1 - i;
  if (left < fadeOut) g *= 0.5 - 0.5 * std::cos(kPi * left / fadeOut);
  return g;
}

// The shot: a bright falling sweep, a square-ish wave (odd harmonics, none
// above 10 kHz, so nothing folds back) with a detuned fifth above it, over
// 6,651 samples at 22,050 Hz.
Bytes ShotWave() {
  constexpr int kRate = 22050;
  constexpr int kSamples = 6651;
  constexpr double kTopHarmonic = 10000.0;
  Bytes data;
  double phaseA = 0, phaseB = 0;
  for (int i = 0; i < kSamples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double freq = 240.0 + 2700.0 * std::exp(-t / 0.055);
    phaseA += 2 * kPi * freq / kRate;
    phaseB += 2 * kPi * freq * 1.503 / kRate;
    double square = 0;
    for (int h = 1; h * freq < kTopHarmonic; h += 2) {
      // Harmonics fade in as the sweep brings them under the top: no clicks.
      const double fade = std::min(1.0, (kTopHarmonic - h * freq) / 2000.0);
      square += fade * std::sin(h * phaseA) / h;
    }
    double v = square * 0.7 + std::sin(phaseB) * 0.3;
    v *= std::exp(-t / 0.11) * Edges(i, kSamples, 44, 440);
    const auto s = static_cast<int16_t>(std::lround(v * 26000.0));
    Put16(data, static_cast<uint16_t>(s));
  }
  data.push_back(0);  // the odd last byte of the chunk: half a sample, silent
  return WaveImage(kRate, 16, data);
}

// The explosion: noise through a low-pass filter that closes as it decays, a
// falling low thump beneath it, over 6,161 samples at 11,025 Hz.
Bytes ExplosionWave() {
  constexpr int kRate = 11025;
  constexpr int kSamples = 6161;
  Noise noise;
  std::vector<double> v(kSamples);
  double low = 0, lower = 0, thump = 0, peak = 0;
  for (int i = 0; i < kSamples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double cutoff = 180.0 + 3200.0 * std::exp(-t / 0.09);
    const double a = 1.0 - std::exp(-2 * kPi * cutoff / kRate);
    low += a * (noise.Next() - low);
    lower += 0.08 * (low - lower);
    thump += 2 * kPi * (28.0 + 90.0 * std::exp(-t / 0.05)) / kRate;
    double s = 0.8 * low + 1.6 * lower + 0.7 * std::sin(thump) * std::exp(-t / 0.12);
    s = std::tanh(1.8 * s) * std::exp(-t / 0.2);
    v[static_cast<size_t>(i)] = s;
    peak = std::max(peak, std::fabs(s));
  }
  Bytes data;
  for (int i = 0; i < kSamples; ++i) {
    const double s = v[static_cast<size_t>(i)] / peak * 0.92 * Edges(i, kSamples, 22, 330);
    data.push_back(static_cast<uint8_t>(128 + std::lround(s * 127.0)));
  }
  return WaveImage(kRate, 8, data);
}

// ---- The module ----------------------------------------------------------

constexpr int kChannels = 8;
constexpr int kRows = 64;
constexpr int kPositions = 20;

// ProTracker periods, C-1 to B-3.
constexpr std::array<int, 36> kPeriods = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
    302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
constexpr double kPaulaClock = 7093789.2;
// The sampling rate of a sample played at C-3.
constexpr double kRateC3 = kPaulaClock / (2 * 214);
// Drums are made at this rate and played at period 80, above the tracker's
// usual three octaves: cymbals need what lies between 8 and 20 kHz.
constexpr int kDrumPeriod = 80;
constexpr double kDrumRate = kPaulaClock / (2 * kDrumPeriod);

enum Sample { kKick = 1, kSnare, kHat, kBass, kLead, kArp, kPad, kCrash, kSampleCount = kCrash };

struct SampleData {
  std::string name;
  std::vector<int8_t> pcm;
  int volume = 64;
  int loopStart = 0, loopLength = 0;  // in bytes; 0 = one-shot
  int lowestMidi = 0;                 // the note that C-1 plays
  bool drum = false;                  // made at kDrumRate; note 48 plays it as made
};

int8_t ToPcm(double v) {
  return static_cast<int8_t>(std::clamp(std::lround(v * 127.0), -127L, 127L));
}

// One cycle of a band-limited waveform of n samples, looped as a whole.
SampleData Cycle(const char* name, int n, int harmonics, double (*amplitude)(int), int volume,
                 int lowestMidi) {
  SampleData s{name, {}, volume, 0, n, lowestMidi};
  std::vector<double> v(static_cast<size_t>(n));
  double peak = 0;
  for (int i = 0; i < n; ++i) {
    double x = 0;
    for (int h = 1; h <= harmonics; ++h) x += amplitude(h) * std::sin(2 * kPi * h * i / n);
    v[static_cast<size_t>(i)] = x;
    peak = std::max(peak, std::fabs(x));
  }
  for (double x : v) s.pcm.push_back(ToPcm(x / peak * 0.95));
  return s;
}

// A drum of the given length made by f(t) at kDrumRate.
template <typename F>
SampleData OneShot(const char* name, double seconds, int volume, F f) {
  SampleData s{name, {}, volume, 0, 0, 48, true};
  const int n = static_cast<int>(seconds * kDrumRate) & ~1;
  for (int i = 0; i < n; ++i) {
    const double t = i / kDrumRate;
    // ProTracker plays the first two bytes of a one-shot sample as its idle loop.
    s.pcm.push_back(i < 2 ? 0 : ToPcm(f(t) * Edges(i - 2, n - 2, 8, 64)));
  }
  return s;
}

std::array<SampleData, kSampleCount + 1> MakeSamples() {
  std::array<SampleData, kSampleCount + 1> s;
  Noise noise;
  // A one-pole low-pass coefficient for the given corner at kDrumRate.
  auto corner = [](double hz) { return 1.0 - std::exp(-2 * kPi * hz / kDrumRate); };
  // The kick: a falling sine driven into a rounded square, so its body has
  // harmonics a small speaker plays, and a beater click at 1 to 3 kHz.
  s[kKick] = OneShot("kick", 0.3, 64,
                     [&noise, corner, phase = 0.0, low = 0.0, band = 0.0](double t) mutable {
                       phase += 2 * kPi * (50.0 + 190.0 * std::exp(-t / 0.03)) / kDrumRate;
                       const double body = std::tanh(2.6 * std::sin(phase)) * std::exp(-t / 0.09);
                       const double n = noise.Next();
                       low += corner(1000) * (n - low);
                       band += corner(3000) * (n - low - band);  // 1 to 3 kHz
                       const double click =
                           (0.5 * std::sin(2 * kPi * 1800 * t) + 1.6 * band) * std::exp(-t / 0.006);
                       return 0.75 * body + click;
                     });
  // The snare: a tuned body under bright noise with a sharp crack on top.
  s[kSnare] = OneShot("snare", 0.24, 64, [&noise, corner, prev = 0.0, low = 0.0](double t) mutable {
    const double n = noise.Next();
    low += corner(4000) * (n - 0.7 * prev - low);
    prev = n;
    const double body = 0.6 * std::sin(2 * kPi * 190 * t) * std::exp(-t / 0.05) +
                        0.3 * std::sin(2 * kPi * 330 * t) * std::exp(-t / 0.03);
    return std::tanh(2.2 *
                     (body + 0.9 * low * std::exp(-t / 0.1) + 0.2 * n * std::exp(-t / 0.006)));
  });
  // Hats and crash: noise with only its top left (second difference).
  const auto highNoise = [&noise](double gain, double decay) {
    return [&noise, gain, decay, a = 0.0, b = 0.0](double t) mutable {
      const double n = noise.Next();
      const double high = n - 2 * a + b;
      b = a;
      a = n;
      return gain * high * std::exp(-t / decay);
    };
  };
  s[kHat] = OneShot("hihat", 0.08, 40, highNoise(0.25, 0.02));
  s[kCrash] = OneShot("crash", 1.3, 40, highNoise(0.3, 0.4));
  // Saw for the bass, C-1 = C1: cycles of 128 samples.
  s[kBass] = Cycle(
      "bass", 128, 10, [](int h) { return 1.0 / h; }, 50, 24);
  // A hollow pulse for the lead, C-1 = C4: cycles of 16 samples.
  s[kLead] = Cycle(
      "lead", 16, 7, [](int h) { return std::sin(kPi * h * 0.3) / h; }, 52, 60);
  // A soft, mostly odd-harmonic pad, C-1 = C2: cycles of 64 samples.
  s[kPad] = Cycle(
      "pad", 64, 6, [](int h) { return (h % 2 ? 1.0 : 0.3) / (h * h); }, 18, 36);
  // The arpeggio pluck: a square-ish wave of 32-sample cycles (C-1 = C3) that
  // dies away by itself, so a held arpeggio fades like a plucked string.
  {
    SampleData& a = s[kArp];
    a = SampleData{"pluck", {}, 34, 0, 0, 48};
    const int n = 6400;
    for (int i = 0; i < n; ++i) {
      double x = 0;
      for (int h = 1; h <= 9; h += 2) x += std::sin(2 * kPi * h * i / 32.0) / h;
      const double t = i / kRateC3;
      a.pcm.push_back(i < 2 ? 0
                            : ToPcm(0.9 * x * std::exp(-t / 0.09) * Edges(i - 2, n - 2, 6, 200)));
    }
  }
  return s;
}

struct Cell {
  int sample = 0, period = 0, effect = 0, param = 0;
};
using Pattern = std::array<std::array<Cell, kChannels>, kRows>;

// Channels 0, 3, 4 and 7 sound left, the others right; kick, snare, bass and
// lead are set to the centre (Centre), the pads are a left-right pair, and hat
// and arpeggio face each other.
enum Channel { kChHat, kChKick, kChSnare, kChBass, kChLead, kChArp, kChPad1, kChPad2 };

int PitchClass(std::string_view name) {
  static constexpr std::string_view kNames = "C D EF G A B";
  int pc = static_cast<int>(kNames.find(name[0]));
  if (name.size() > 1 && name[1] == '#') ++pc;
  return pc;
}

// "A4", "C#5" as a MIDI note number.
int Midi(std::string_view note) {
  const int octave = note.back() - '0';
  return (octave + 1) * 12 + PitchClass(note);
}

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "soundgen: %s\n", why.c_str());
  std::exit(1);
}

void Note(Pattern& p, int row, int ch, int sample, int midi, const SampleData& s) {
  const int index = midi - s.lowestMidi;
  if (!s.drum && (index < 0 || index >= 36)) Fail("note out of range for " + s.name);
  p[static_cast<size_t>(row)][static_cast<size_t>(ch)].sample = sample;
  p[static_cast<size_t>(row)][static_cast<size_t>(ch)].period =
      s.drum ? static_cast<int>(std::lround(kDrumPeriod * std::exp2(-index / 12.0)))
             : kPeriods[static_cast<size_t>(index)];
}
void Effect(Pattern& p, int row, int ch, int effect, int param) {
  p[static_cast<size_t>(row)][static_cast<size_t>(ch)].effect = effect;
  p[static_cast<size_t>(row)][static_cast<size_t>(ch)].param = param;
}
constexpr int kSetVolume = 0xC, kSetSpeed = 0xF, kArpeggio = 0x0, kSetPanning = 0x8;

// Kick, snare, bass and lead to the middle (the tracker's fixed left and
// right channels would lean the whole mix to one side), set on each one's
// first note of every pattern, so the panning holds wherever playback enters.
void Centre(Pattern& p) {
  for (int ch : {kChKick, kChSnare, kChBass, kChLead}) {
    for (auto& row : p) {
      Cell& c = row[static_cast<size_t>(ch)];
      if (c.sample == 0) continue;
      if (c.effect != 0 || c.param != 0) Fail("no room to centre a channel");
      c.effect = kSetPanning;
      c.param = 0x80;
      break;
    }
  }
}

// The note brought into [low, low + 12).
int Fold(int midi, int low) {
  while (midi < low) midi += 12;
  while (midi >= low + 12) midi -= 12;
  return midi;
}

struct Chord {
  int root;  // pitch class
  bool minor;
};
Chord ParseChord(std::string_view name) {
  return {PitchClass(name), name.size() > 1 && name.back() == 'm'};
}

// A melody line: "E5:6 D5:2 r:4 ..." with lengths in rows; r silences.
void Melody(Pattern& p, const std::array<SampleData, kSampleCount + 1>& s, std::string_view line) {
  int row = 0;
  while (!line.empty()) {
    const size_t space = line.find(' ');
    const std::string_view token = line.substr(0, space);
    line = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
    if (token.empty()) continue;
    const size_t colon = token.find(':');
    const std::string_view note = token.substr(0, colon);
    const int length = std::atoi(std::string(token.substr(colon + 1)).c_str());
    if (row >= kRows) Fail("melody longer than a pattern");
    if (note == "r") {
      Effect(p, row, kChLead, kSetVolume, 0);
    } else {
      Note(p, row, kChLead, kLead, Midi(note), s[kLead]);
    }
    row += length;
  }
  if (row != kRows) Fail("melody of " + std::to_string(row) + " rows");
}

struct Style {
  int speed, tempo;
  int arpEvery;   // rows between arpeggio plucks; 0 = none
  int bassEvery;  // rows between bass notes; 0 = none
  bool pads;
  int drums;  // 0 none, 1 light, 2 steady, 3 driving
};

// One pattern: four bars of 16 rows, one chord per bar.
Pattern Compose(const std::array<SampleData, kSampleCount + 1>& s, const Style& st,
                std::array<std::string_view, 4> chords, std::string_view melody) {
  Pattern p{};
  // Every pattern sets speed and tempo on its first row, so a section sounds
  // right wherever playback enters it.
  Effect(p, 0, kChPad1, kSetSpeed, st.speed);
  Effect(p, 0, kChPad2, kSetSpeed, st.tempo);
  for (int bar = 0; bar < 4; ++bar) {
    const Chord c = ParseChord(chords[static_cast<size_t>(bar)]);
    const int third = c.minor ? 3 : 4;
    const int r0 = bar * 16;
    if (st.pads) {
      Note(p, r0, kChPad1, kPad, Fold(c.root + third, 55), s[kPad]);
      Note(p, r0, kChPad2, kPad, Fold(c.root + 7, 55), s[kPad]);
    }
    if (st.arpEvery > 0) {
      const int root = Fold(c.root, 57);
      for (int r = 0; r < 16; r += st.arpEvery) {
        Note(p, r0 + r, kChArp, kArp, root + (r % 8 == 4 && st.arpEvery == 2 ? 12 : 0), s[kArp]);
        Effect(p, r0 + r, kChArp, kArpeggio, third * 16 + 7);
      }
    }
    if (st.bassEvery > 0) {
      const int root = Fold(c.root, 28);
      // Root on the beats, octave and fifth on the off-beats.
      static constexpr std::array<int, 8> kWalk = {0, 0, 12, 0, 0, 7, 12, 0};
      for (int r = 0, step = 0; r < 16; r += st.bassEvery, ++step) {
        const int offset =
            st.bassEvery >= 4 ? (step % 2 ? 12 : 0) : kWalk[static_cast<size_t>(step % 8)];
        Note(p, r0 + r, kChBass, kBass, root + offset, s[kBass]);
      }
    }
    for (int r = 0; r < 16; ++r) {
      const int row = r0 + r;
      switch (st.drums) {
        case 1:
          if (r == 0) Note(p, row, kChKick, kKick, 48, s[kKick]);
          if (r == 8) Note(p, row, kChSnare, kSnare, 48, s[kSnare]);
          if (r % 4 == 2) Note(p, row, kChHat, kHat, 48, s[kHat]);
          break;
        case 2:
          if (r == 0 || r == 10) Note(p, row, kChKick, kKick, 48, s[kKick]);
          if (r == 4 || r == 12) Note(p, row, kChSnare, kSnare, 48, s[kSnare]);
          if (r % 2 == 0) {
            Note(p, row, kChHat, kHat, 48, s[kHat]);
            Effect(p, row, kChHat, kSetVolume, r % 4 == 2 ? 34 : 20);
          }
          break;
        case 3:
          if (r == 0 || r == 6 || r == 8 || (r == 14 && bar == 3))
            Note(p, row, kChKick, kKick, 48, s[kKick]);
          if (r == 4 || r == 12 || (bar == 3 && r == 15))
            Note(p, row, kChSnare, kSnare, 48, s[kSnare]);
          Note(p, row, kChHat, kHat, r % 4 == 2 ? 50 : 48, s[kHat]);
          Effect(p, row, kChHat, kSetVolume, r % 2 ? 14 : (r % 4 == 2 ? 34 : 24));
          break;
        default:
          break;
      }
    }
  }
  Melody(p, s, melody);
  return p;
}

// The ship-lost jingle: a falling phrase over a closing cadence whose last
// chord holds through the wait after a lost ship (about 2.6 s from the
// jingle's start), then fades; every channel is silent well before the end.
Pattern Jingle(const std::array<SampleData, kSampleCount + 1>& s) {
  Pattern p{};
  Effect(p, 0, kChPad1, kSetSpeed, 3);
  Effect(p, 0, kChPad2, kSetSpeed, 125);
  Melody(p, s, "A5:3 G5:3 E5:3 C5:3 B4:3 G#4:3 A4:46");
  Note(p, 0, kChHat, kCrash, 48, s[kCrash]);
  Note(p, 0, kChKick, kKick, 48, s[kKick]);
  Note(p, 18, kChKick, kKick, 48, s[kKick]);
  const std::array<std::array<int, 3>, 3> chords = {{{45, 60, 64}, {41, 57, 60}, {40, 56, 59}}};
  for (size_t i = 0; i < chords.size(); ++i) {
    const int row = static_cast<int>(i) * 6;
    Note(p, row, kChBass, kBass, chords[i][0], s[kBass]);
    Note(p, row, kChPad1, kPad, chords[i][1], s[kPad]);
    Note(p, row, kChPad2, kPad, chords[i][2], s[kPad]);
  }
  Note(p, 18, kChBass, kBass, 33, s[kBass]);
  Note(p, 18, kChPad1, kPad, 57, s[kPad]);
  Note(p, 18, kChPad2, kPad, 64, s[kPad]);
  constexpr int kFadeFrom = 46, kSilentFrom = 57;
  for (int row = kFadeFrom; row < kSilentFrom; ++row) {
    const double left = static_cast<double>(kSilentFrom - row) / (kSilentFrom - kFadeFrom + 1);
    for (int ch : {kChBass, kChLead, kChPad1, kChPad2}) {
      const int sample = ch == kChBass ? kBass : ch == kChLead ? kLead : kPad;
      Effect(p, row, ch, kSetVolume,
             static_cast<int>(std::lround(s[static_cast<size_t>(sample)].volume * left * left)));
    }
  }
  for (int ch = 0; ch < kChannels; ++ch) Effect(p, kSilentFrom, ch, kSetVolume, 0);
  return p;
}

std::vector<Pattern> Song(const std::array<SampleData, kSampleCount + 1>& s) {
  constexpr std::string_view kRest = "r:64";
  // Title: A minor, 96 beats a minute, an unhurried arpeggio under the tune.
  const Style intro{6, 96, 4, 0, true, 0};
  const Style title{6, 96, 4, 4, true, 1};
  const Style titleFull{6, 96, 4, 4, true, 2};
  // In game: E minor, 140 beats a minute, driving bass and sixteenth hats.
  const Style hook{6, 140, 0, 2, true, 3};
  const Style game{6, 140, 2, 2, true, 3};
  const Style breakdown{6, 140, 2, 4, true, 1};
  struct Position {
    const Style* style;  // null: the jingle
    std::array<std::string_view, 4> chords;
    std::string_view melody;
  };
  const std::array<Position, kPositions> kSong = {{
      {&intro, {"Am", "Am", "F", "G"}, kRest},
      // The tune proper starts here and the loop comes back here: a plain
      // call that the next position answers.
      {&title, {"Am", "F", "C", "G"}, "A4:8 C5:4 E5:4 F5:8 E5:4 C5:4 G5:8 E5:8 D5:12 r:4"},
      {&title,
       {"Am", "F", "C", "G"},
       "E5:6 D5:2 C5:4 B4:4 A4:6 C5:2 F5:8 E5:6 G5:2 E5:4 D5:4 D5:12 r:4"},
      {&title,
       {"Dm", "Am", "E", "E"},
       "F5:6 E5:2 D5:4 A4:4 C5:6 B4:2 A4:4 E5:4 G#5:8 E5:4 B4:4 E5:12 r:4"},
      {&titleFull,
       {"F", "G", "Am", "Am"},
       "A5:6 G5:2 F5:4 C5:4 B4:6 D5:2 G5:8 A5:4 E5:4 C5:4 A4:4 A4:12 r:4"},
      {&titleFull,
       {"Am", "F", "C", "G"},
       "E5:4 A5:4 C6:4 B5:4 A5:6 G5:2 F5:8 G5:6 E5:2 C5:4 E5:4 D5:8 B4:4 G4:4"},
      {&titleFull,
       {"Dm", "Am", "F", "E"},
       "D5:4 F5:4 A5:8 E5:4 C5:4 A4:8 C5:4 F5:4 A5:4 C6:4 B5:8 G#5:8"},
      {&titleFull,
       {"F", "G", "Em", "Am"},
       "A5:6 F5:2 C5:8 B4:6 D5:2 G5:8 G5:4 E5:4 B4:4 G5:4 A5:16"},
      {&title, {"F", "G", "E", "E"}, "C6:8 A5:8 B5:8 D6:8 G#5:8 B5:4 E5:4 E5:8 r:8"},
      {nullptr, {}, {}},  // 9: the ship-lost jingle
      // Every new ship starts here: the hook from the first bar, over drums,
      // bass and pads; the next position answers it with the full band.
      {&hook,
       {"Em", "Em", "C", "D"},
       "E5:4 r:2 E5:2 G5:4 E5:4 B4:4 r:2 B4:2 E5:8 C5:4 r:2 C5:2 E5:4 G5:4 D5:4 E5:2 F#5:10"},
      {&game,
       {"Em", "Em", "C", "D"},
       "E5:4 r:2 E5:2 G5:4 E5:4 B4:4 r:2 B4:2 E5:8 C5:4 r:2 C5:2 E5:4 G5:4 D5:4 F#5:4 A5:8"},
      {&game,
       {"Em", "C", "G", "D"},
       "E5:2 r:2 E5:2 G5:2 B5:4 A5:2 G5:2 E5:4 C5:4 G5:4 E5:4 D5:2 r:2 D5:2 G5:2 B5:4 D6:4 A5:8 "
       "F#5:4 D5:4"},
      {&game,
       {"Em", "C", "G", "D"},
       "E5:2 r:2 E5:2 G5:2 B5:4 A5:2 G5:2 C6:4 B5:4 G5:4 E5:4 D5:2 r:2 G5:2 B5:2 D6:6 B5:2 A5:12 "
       "r:4"},
      {&game,
       {"Am", "Em", "B", "B"},
       "A5:4 C6:4 E6:6 r:2 B5:4 G5:4 E5:8 D#5:4 F#5:4 B5:4 A5:4 F#5:12 r:4"},
      {&game,
       {"C", "D", "Em", "Em"},
       "G5:2 r:2 G5:2 E5:2 C5:4 E5:4 F#5:2 r:2 F#5:2 A5:2 D6:8 B5:4 G5:4 E5:4 G5:4 E5:16"},
      {&breakdown, {"Em", "C", "Am", "B"}, kRest},
      {&game,
       {"Em", "C", "G", "D"},
       "B5:2 r:2 B5:2 D6:2 E6:4 D6:2 B5:2 C6:4 E6:4 G6:4 E6:4 D6:2 r:2 D6:2 B5:2 G5:4 B5:4 A5:8 "
       "F#5:8"},
      {&game,
       {"Am", "C", "D", "B"},
       "A5:4 E5:4 A5:4 C6:4 G5:4 E5:4 C6:4 E6:4 F#5:4 A5:4 D6:8 D#6:8 B5:8"},
      {&game,
       {"C", "D", "B", "B"},
       "E6:4 D6:4 C6:4 G5:4 F#5:4 A5:4 D6:8 D#6:4 B5:4 F#5:4 D#5:4 B4:8 r:8"},
  }};
  std::vector<Pattern> song;
  for (const Position& p : kSong) {
    song.push_back(p.style == nullptr ? Jingle(s) : Compose(s, *p.style, p.chords, p.melody));
    Centre(song.back());
  }
  return song;
}

void PutName(Bytes& b, std::string_view name, size_t size) {
  for (size_t i = 0; i < size; ++i)
    b.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
}
void PutBig16(Bytes& b, int v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

Bytes Module() {
  const auto samples = MakeSamples();
  const std::vector<Pattern> song = Song(samples);
  Bytes b;
  PutName(b, "Kestrane", 20);
  for (int i = 1; i <= 31; ++i) {
    if (i > kSampleCount) {
      PutName(b, "", 22);
      PutBig16(b, 0);
      b.push_back(0);
      b.push_back(0);
      PutBig16(b, 0);
      PutBig16(b, 1);
      continue;
    }
    const SampleData& s = samples[static_cast<size_t>(i)];
    if (s.pcm.size() % 2 != 0 || s.loopLength % 2 != 0) Fail("odd sample length");
    PutName(b, s.name, 22);
    PutBig16(b, static_cast<int>(s.pcm.size() / 2));
    b.push_back(0);  // finetune
    b.push_back(static_cast<uint8_t>(s.volume));
    PutBig16(b, s.loopStart / 2);
    PutBig16(b, s.loopLength > 0 ? s.loopLength / 2 : 1);
  }
  b.push_back(kPositions);
  b.push_back(127);
  // One pattern per position, in order.
  for (int i = 0; i < 128; ++i) b.push_back(static_cast<uint8_t>(i < kPositions ? i : 0));
  PutTag(b, "8CHN");
  for (const Pattern& p : song) {
    for (const auto& row : p) {
      for (const Cell& c : row) {
        b.push_back(static_cast<uint8_t>((c.sample & 0xf0) | (c.period >> 8)));
        b.push_back(static_cast<uint8_t>(c.period & 0xff));
        b.push_back(static_cast<uint8_t>(((c.sample & 0x0f) << 4) | c.effect));
        b.push_back(static_cast<uint8_t>(c.param));
      }
    }
  }
  for (int i = 1; i <= kSampleCount; ++i) {
    for (int8_t v : samples[static_cast<size_t>(i)].pcm) b.push_back(static_cast<uint8_t>(v));
  }
  return b;
}

void Write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path);
  std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: soundgen ASSETS_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  Write(dir + "/data/wave101.wav", ShotWave());
  Write(dir + "/data/wave102.wav", ExplosionWave());
  Write(dir + "/music/Kestrane.snd", Module());
  return 0;
}
