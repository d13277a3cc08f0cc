// The wave sounds, their reading and conversion, and the effect output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "assets/resources.h"
#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/silent_audio.h"
#include "audio/wave_image.h"
#include "game/effects.h"
#include "tests/scripted_platform.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::vector<uint8_t> Resource(const char* name) {
  const auto r = FindResource(name);
  return {r.begin(), r.end()};
}

// A wave image built field by field, for the reader's edge cases.
struct ImageBuilder {
  std::vector<uint8_t> b;
  ImageBuilder& Tag(const char* t) {
    b.insert(b.end(), t, t + 4);
    return *this;
  }
  ImageBuilder& Bytes(std::initializer_list<uint8_t> bytes) {
    b.insert(b.end(), bytes);
    return *this;
  }
  ImageBuilder& U16(uint32_t v) { return Bytes({uint8_t(v), uint8_t(v >> 8)}); }
  ImageBuilder& U32(uint32_t v) { return U16(v & 0xffff).U16(v >> 16); }
  ImageBuilder& Head() { return Tag("RIFF").U32(0).Tag("WAVE"); }
  ImageBuilder& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    return Tag("fmt ")
        .U32(16)
        .U16(tag)
        .U16(channels)
        .U32(rate)
        .U32(rate * channels * bits / 8)
        .U16(channels * bits / 8)
        .U16(bits);
  }
  ImageBuilder& Data(std::initializer_list<uint8_t> pcm, uint32_t declared) {
    return Tag("data").U32(declared).Bytes(pcm);
  }
};

TEST(WaveImages, ShotAndExplosionHaveTheirExactLayout) {
  struct Expect {
    const char* name;
    size_t size;
    uint32_t rate;
    uint16_t bits;
    uint32_t dataBytes;
    size_t frames;
  };
  for (const Expect& e : {Expect{"wave101.wav", 13348, 22050, 16, 13303, 6651},
                          Expect{"wave102.wav", 6206, 11025, 8, 6161, 6161}}) {
    SCOPED_TRACE(e.name);
    const std::vector<uint8_t> w = Resource(e.name);
    ASSERT_EQ(w.size(), e.size);
    EXPECT_EQ(std::memcmp(w.data(), "RIFF", 4), 0);
    EXPECT_EQ(Le32(&w[4]), e.size - 8);
    EXPECT_EQ(std::memcmp(&w[8], "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le32(&w[16]), 16u);
    EXPECT_EQ(Le16(&w[20]), 1);  // PCM
    EXPECT_EQ(Le16(&w[22]), 1);  // mono
    EXPECT_EQ(Le32(&w[24]), e.rate);
    EXPECT_EQ(Le32(&w[28]), e.rate * e.bits / 8);
    EXPECT_EQ(Le16(&w[32]), e.bits / 8);
    EXPECT_EQ(Le16(&w[34]), e.bits);
    EXPECT_EQ(std::memcmp(&w[36], "data", 4), 0);
    EXPECT_EQ(Le32(&w[40]), e.dataBytes);
    EXPECT_EQ(44 + e.dataBytes + 1, e.size);  // the odd chunk's pad byte ends the image

    WaveInfo info;
    ASSERT_TRUE(ParseWave(w.data(), w.size(), info));
    EXPECT_EQ(info.frames, e.frames);
    EXPECT_EQ(info.rate, static_cast<int>(e.rate));
    // Faded in and out: no click at either end, and a real sound between.
    std::vector<float> s;
    ConvertWave(info, info.rate, s);
    ASSERT_EQ(s.size(), e.frames);
    EXPECT_LT(std::fabs(s.front()), 0.01f);
    EXPECT_LT(std::fabs(s.back()), 0.01f);
    float peak = 0;
    for (float v : s) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.5f);
  }
}

TEST(WaveImages, ReaderWalksChunksAndRefusesWhatItCannotPlay) {
  // An odd-length chunk before the format, with its pad byte: skipped.
  ImageBuilder ok;
  ok.Head().Tag("LIST").U32(3).Bytes({1, 2, 3, 0}).Format(1, 2, 8000, 16);
  ok.Data({1, 0, 2, 0, 3, 0, 4, 0, 9}, 9);  // two frames and a stray byte
  WaveInfo info;
  ASSERT_TRUE(ParseWave(ok.b.data(), ok.b.size(), info));
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.frames, 2u);

  // Every cut of a valid image: no read past the end (the sanitizers watch),
  // never more frames than the bytes hold.
  const std::vector<uint8_t> shot = Resource("wave101.wav");
  for (size_t n = 0; n <= shot.size(); ++n) {
    std::vector<uint8_t> cut(shot.begin(), shot.begin() + static_cast<long>(n));
    if (ParseWave(cut.data(), cut.size(), info)) {
      EXPECT_LE(44 + info.frames * 2, n);
    } else {
      EXPECT_LT(n, 46u);  // only images without a whole sample are refused
    }
  }

  auto refused = [](const ImageBuilder& w) {
    WaveInfo i;
    return !ParseWave(w.b.data(), w.b.size(), i);
  };
  ImageBuilder noFormat;
  noFormat.Head().Data({0, 0}, 2);
  EXPECT_TRUE(refused(noFormat));
  ImageBuilder compressed;
  compressed.Head().Format(2, 1, 8000, 16).Data({0, 0}, 2);
  EXPECT_TRUE(refused(compressed));
  ImageBuilder oddBits;
  oddBits.Head().Format(1, 1, 8000, 12).Data({0, 0}, 2);
  EXPECT_TRUE(refused(oddBits));
  ImageBuilder hugeChunk;
  hugeChunk.Head().Tag("junk").U32(0xffffffff).U32(0);
  EXPECT_TRUE(refused(hugeChunk));
  ImageBuilder notRiff = ok;
  notRiff.b[0] = 'X';
  EXPECT_TRUE(refused(notRiff));
  EXPECT_FALSE(ParseWave(nullptr, 0, info));
}

TEST(WaveImages, ConversionScalesAndResamples) {
  ImageBuilder w;
  w.Head().Format(1, 1, 8000, 8).Data({128, 255, 0, 128}, 4);
  WaveInfo info;
  ASSERT_TRUE(ParseWave(w.b.data(), w.b.size(), info));
  std::vector<float> s;
  ConvertWave(info, 8000, s);
  ASSERT_EQ(s.size(), 4u);
  EXPECT_FLOAT_EQ(s[0], 0.0f);
  EXPECT_FLOAT_EQ(s[1], 127.0f / 128);
  EXPECT_FLOAT_EQ(s[2], -1.0f);
  ConvertWave(info, 16000, s);
  EXPECT_EQ(s.size(), 8u);

  // A tone from 11,025 Hz to 48 kHz comes out as that tone, with no images
  // of it above the old half rate: linear interpolation is 20 dB off.
  constexpr double kTone = 2000, kPi = 3.14159265358979323846;
  ImageBuilder tone;
  tone.Head().Format(1, 1, 11025, 16).Tag("data").U32(2 * 4410);
  for (int i = 0; i < 4410; ++i)
    tone.U16(static_cast<uint16_t>(std::lround(16000 * std::sin(2 * kPi * kTone * i / 11025))));
  ASSERT_TRUE(ParseWave(tone.b.data(), tone.b.size(), info));
  ConvertWave(info, 48000, s);
  ASSERT_EQ(s.size(), 19200u);
  double signal = 0, error = 0;
  for (size_t j = 1000; j < 18000; ++j) {
    const double want =
        16000.0 / 32768 * std::sin(2 * kPi * kTone * static_cast<double>(j) / 48000);
    signal += want * want;
    error += (s[j] - want) * (s[j] - want);
  }
  EXPECT_LT(10 * std::log10(error / signal), -50.0);

  ImageBuilder stereo16;
  stereo16.Head().Format(1, 2, 48000, 16).Data({0x00, 0x40, 0x00, 0xc0, 0x00, 0x20, 0x00, 0x20}, 8);
  ASSERT_TRUE(ParseWave(stereo16.b.data(), stereo16.b.size(), info));
  ConvertWave(info, 48000, s);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_FLOAT_EQ(s[0], 0.0f);  // left and right cancel in the mono mix
  EXPECT_FLOAT_EQ(s[1], 0.25f);

  const std::vector<uint8_t> shot = Resource("wave101.wav");
  ASSERT_TRUE(ParseWave(shot.data(), shot.size(), info));
  ConvertWave(info, 48000, s);
  EXPECT_EQ(s.size(), 14479u);  // 6,651 frames at 22,050 Hz, rounded up
}

// The effect output over a mixer, rendered by hand as the callback would.
struct EffectOutput : ::testing::Test {
  static constexpr int kRate = 48000;
  AudioMixer mixer{kRate};
  MixerWaveOutput out{mixer};
  std::vector<uint8_t> shot = Resource("wave101.wav"), hit = Resource("wave102.wav");
  EffectOutput() {
    out.Prepare(shot.data(), shot.size());
    out.Prepare(hit.data(), hit.size());
  }

  std::vector<float> Render(size_t frames) {
    std::vector<float> b(frames * 2);
    mixer.Render(b.data(), frames);
    return b;
  }
  static std::vector<float> Expected(const std::vector<uint8_t>& image) {
    WaveInfo info;
    std::vector<float> s;
    if (ParseWave(image.data(), image.size(), info)) ConvertWave(info, kRate, s);
    return s;
  }
  // The first frames after a cut blend out of the old sound; later ones must
  // be the new sound from its start.
  static void ExpectPlaysFromStart(const std::vector<float>& got, const std::vector<float>& wave) {
    ASSERT_GE(wave.size(), 2000u);
    for (size_t i = 200; i < 2000; ++i) {
      ASSERT_NEAR(got[2 * i], wave[i] * AudioMixer::kEffectGain, 1e-6) << i;
      ASSERT_EQ(got[2 * i], got[2 * i + 1]);
    }
  }
};

TEST_F(EffectOutput, ANewEffectCutsTheOldOneAtOnce) {
  out.PlayMemory(shot.data(), shot.size());
  std::vector<float> first = Render(2000);
  ExpectPlaysFromStart(first, Expected(shot));

  out.PlayMemory(hit.data(), hit.size());  // mid-shot: the explosion, from its start
  ExpectPlaysFromStart(Render(2000), Expected(hit));
  out.PlayMemory(hit.data(), hit.size());  // the same sound again restarts it
  ExpectPlaysFromStart(Render(2000), Expected(hit));

  // It plays to its end, then silence.
  const size_t total = Expected(hit).size();
  std::vector<float> rest = Render(total);
  for (size_t i = total - 2000 + 100; i < total; ++i) ASSERT_EQ(rest[2 * i], 0.0f) << i;
  EXPECT_FALSE(mixer.EffectPlaying());
}

// An effect over a loud bar can sum past full scale: the mixer's output
// bends below its ceiling instead, keeps rising with the sum, and leaves
// everything under the limit untouched.
TEST_F(EffectOutput, LoudSumsBendBelowFullScale) {
  std::vector<float> ramp(4000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = 2.0f * (static_cast<float>(i) / 2000 - 1);
  mixer.StartEffect(ramp.data(), ramp.size());
  const std::vector<float> b = Render(ramp.size());
  for (size_t i = 1; i < ramp.size(); ++i) {
    const float in = ramp[i] * AudioMixer::kEffectGain;
    ASSERT_LT(std::fabs(b[2 * i]), AudioMixer::kCeiling) << i;
    ASSERT_GT(b[2 * i], b[2 * i - 2]) << i;
    if (std::fabs(in) <= AudioMixer::kLimitFrom) {
      ASSERT_EQ(b[2 * i], in) << i;
    }
  }
}

TEST_F(EffectOutput, DataThatCannotBePlayedIsSilentAndStopsTheSoundBefore) {
  out.PlayMemory(shot.data(), shot.size());
  Render(1000);
  std::vector<uint8_t> broken = shot;
  std::memcpy(&broken[20], "\x55\x00", 2);  // an unknown encoding
  out.Prepare(broken.data(), broken.size());
  out.PlayMemory(broken.data(), broken.size());
  std::vector<float> b = Render(1000);
  EXPECT_FALSE(mixer.EffectPlaying());
  for (size_t i = 200; i < b.size(); ++i) ASSERT_EQ(b[i], 0.0f);

  // A reused buffer holding another image plays the new one, not a stale copy.
  std::vector<uint8_t> buffer = shot;
  out.PlayMemory(buffer.data(), buffer.size());
  buffer = hit;
  out.PlayMemory(buffer.data(), buffer.size());
  ExpectPlaysFromStart(Render(2000), Expected(hit));
  out.PlayMemory(nullptr, 0);
  Render(1);
  EXPECT_FALSE(mixer.EffectPlaying());
  // Playing converts nothing, so it allocates nothing: a good image that was
  // not prepared plays nothing.
  buffer[100] ^= 1;
  out.PlayMemory(buffer.data(), buffer.size());
  Render(1);
  EXPECT_FALSE(mixer.EffectPlaying());
}

// Wherever the sound is cut (the music starts, stops, loops back, the jingle
// cuts the tune, a shot cuts a shot, a new device replaces a lost one),
// neither channel steps between two frames further than the sounds on either
// side of the cut step by themselves: no cut clicks.
TEST(Mixer, NoCutClicks) {
  constexpr int kRate = 48000;
  AudioMixer mixer(kRate);
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kInRender);
  MixerWaveOutput effects(mixer);
  const std::vector<uint8_t> shot = Resource("wave101.wav");
  effects.Prepare(shot.data(), shot.size());
  const uint32_t module = player.LoadModule(KESTRANE_MUSIC_FILE);
  ASSERT_NE(module, 0u);
  std::vector<float> out;
  auto render = [&](size_t frames) {
    const size_t at = out.size() / 2;
    out.resize(out.size() + 2 * frames);
    mixer.Render(out.data() + 2 * at, frames);
  };
  // Renders on to a loud frame, where a cut would step furthest.
  auto renderToLoud = [&] {
    for (int i = 0; i < 5 * kRate; ++i) {
      render(1);
      if (std::fabs(out[out.size() - 2]) > 0.35f || std::fabs(out.back()) > 0.35f) return;
    }
    FAIL() << "nothing loud to cut";
  };
  struct Cut {
    const char* what;
    size_t frame;
    bool fromSilence;  // a new device: what was heard just before is silence
  };
  std::vector<Cut> cuts;
  auto cut = [&](const char* what, bool fromSilence = false) {
    cuts.push_back({what, out.size() / 2, fromSilence});
  };

  render(4000);
  cut("music start");
  uint32_t play = player.PlayModuleSection(module, 10, 19, 12, true);
  render(4000);
  renderToLoud();
  cut("music stop");
  player.StopModule(play);
  render(4000);
  player.PlayModuleSection(module, 10, 19, 12, true);
  render(4000);
  renderToLoud();
  cut("the jingle cutting the tune");
  player.PlayModuleSection(module, 9, 9, 9, false);
  render(4000);
  // The jingle ends by itself, then a shot is cut by the next.
  while (mixer.Music() != nullptr) render(1000);
  render(4000);
  effects.PlayMemory(shot.data(), shot.size());
  render(1000);
  renderToLoud();
  cut("a shot cutting a shot");
  effects.PlayMemory(shot.data(), shot.size());
  render(20000);
  // The title tune loops from its last position back to its second.
  play = player.PlayModuleSection(module, 0, 8, 1, true);
  while (mixer.CurrentPosition() != 8) render(1000);
  while (mixer.CurrentPosition() == 8) render(1);
  cut("the tune looping back");  // within a frame or two of here
  render(4000);
  renderToLoud();
  cut("the device reopened", true);
  mixer.RestartOnNewDevice();
  render(4000);

  // The steps of the sounds themselves, 40 ms either side of the cut and
  // clear of its blend.
  constexpr size_t kAround = kRate / 25, kBlend = 200;
  auto largestStep = [&](int channel, size_t from, size_t to, float before) {
    float largest = 0;
    for (size_t i = from; i < to; ++i) {
      const float now = out[2 * i + static_cast<size_t>(channel)];
      largest = std::max(largest, std::fabs(now - before));
      before = now;
    }
    return largest;
  };
  for (const Cut& c : cuts) {
    for (int channel = 0; channel < 2; ++channel) {
      const auto at = [&](size_t frame) { return out[2 * frame + static_cast<size_t>(channel)]; };
      const size_t from = c.fromSilence ? c.frame : c.frame - 2;
      const float before = c.fromSilence ? 0.0f : at(from - 1);
      const float own = std::max(
          c.fromSilence ? 0.0f : largestStep(channel, from - kAround, from, at(from - kAround - 1)),
          largestStep(channel, c.frame + kBlend, c.frame + kAround, at(c.frame + kBlend - 1)));
      // The fade takes the step away from the cut's own frame and spreads
      // it thin over those after; at the cut, no step stands out.
      const float atCut = largestStep(channel, from, c.frame + 3, before);
      EXPECT_LE(atCut, own + 0.02f) << c.what << ", channel " << channel;
    }
  }
}

class RecordingWaveOutput : public WaveOutput {
 public:
  void PlayMemory(const uint8_t* data, size_t size) override { played.emplace_back(data, size); }
  std::vector<std::pair<const uint8_t*, size_t>> played;
};

TEST(PlayWave, ObeysSoundOnAndPlaysTheEmbeddedImages) {
  auto gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;
  EventLoop loop{p};
  SilentModulePlayer player;
  RecordingWaveOutput waves;
  DefaultRandom random;
  Game g{*gfx, loop, player, waves, random};

  g.world.SoundOn = false;
  PlayWave(g, kShotWave);
  EXPECT_TRUE(waves.played.empty());

  g.world.SoundOn = true;
  PlayWave(g, kShotWave);
  PlayWave(g, kHitWave);
  EXPECT_EQ(g.SoundData.data(), FindResource("wave102.wav").data());
  PlayWave(g, 103);  // no such sound
  ASSERT_EQ(waves.played.size(), 2u);
  EXPECT_EQ(waves.played[0].first, FindResource("wave101.wav").data());
  EXPECT_EQ(waves.played[0].second, 13348u);
  EXPECT_EQ(waves.played[1].first, FindResource("wave102.wav").data());
}

}  // namespace
