// The music: the module-player layer over the mixer, rendered offline, the
// game's module laid out in its sections, and the music operations.
#include "game/music.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <random>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/module_file.h"
#include "audio/silent_audio.h"
#include "tests/scripted_platform.h"

namespace {

const char* const kModule = KESTRANE_MUSIC_FILE;

struct Layer {
  explicit Layer(int rate = 11025) : mixer(rate) {}
  AudioMixer mixer;
  NoAudioLock lock;
  MixerModulePlayer player{mixer, lock};

  std::vector<float> Render(double seconds) {
    std::vector<float> b(2 * static_cast<size_t>(seconds * mixer.Rate()));
    mixer.Render(b.data(), b.size() / 2);
    return b;
  }
  // The song positions heard, each run of one position listed once; -1 is
  // silence after a section's end.
  std::vector<int> Positions(double seconds) {
    std::vector<int> seen;
    std::vector<float> b(2 * 1024);
    for (double t = 0; t < seconds; t += 1024.0 / mixer.Rate()) {
      mixer.Render(b.data(), 1024);
      const int p = mixer.CurrentPosition();
      if (seen.empty() || seen.back() != p) seen.push_back(p);
    }
    return seen;
  }
};

std::vector<int> Range(int from, int to) {
  std::vector<int> r;
  for (int i = from; i <= to; ++i) r.push_back(i);
  return r;
}
std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The module as the music layer needs it: every section lies in the order
// list, playback reaches the next position only by running off the end of a
// pattern (no jumps or breaks), and every place playback enters sets its own
// speed and tempo, whatever played before.
TEST(GameModule, SectionsAreLaidOutForTheLayer) {
  const std::unique_ptr<openmpt::module> m = LoadModuleFile(kModule);
  ASSERT_NE(m, nullptr);
  ASSERT_GE(m->get_num_orders(), 20);
  auto effect = [&](int32_t order, int32_t row, int32_t channel) {
    return m->format_pattern_row_channel_command(m->get_order_pattern(order), row, channel,
                                                 openmpt::module::command_effect);
  };
  for (int32_t order = 0; order < m->get_num_orders(); ++order) {
    const int32_t rows = m->get_pattern_num_rows(m->get_order_pattern(order));
    for (int32_t row = 0; row < rows; ++row) {
      for (int32_t channel = 0; channel < m->get_num_channels(); ++channel) {
        const std::string e = effect(order, row, channel);
        ASSERT_TRUE(e != "B" && e != "D") << "position " << order << " row " << row;
      }
    }
  }
  for (int32_t entry : {kTitleMusic.start, kTitleMusic.restart, kDeathJingle.start,
                        kPlayMusic.start, kPlayMusic.restart}) {
    bool speed = false, tempo = false;
    for (int32_t channel = 0; channel < m->get_num_channels(); ++channel) {
      if (effect(entry, 0, channel) != "F") continue;
      const int value = m->get_pattern_row_channel_command(m->get_order_pattern(entry), 0, channel,
                                                           openmpt::module::command_parameter);
      (value < 32 ? speed : tempo) = true;  // the tracker's rule for Fxx
    }
    EXPECT_TRUE(speed && tempo) << "position " << entry;
  }
}

TEST(MusicLayer, EachSectionPlaysItsPositionsInOrder) {
  Layer l;
  const uint32_t module = l.player.LoadModule(kModule);
  ASSERT_NE(module, 0u);

  // Title: 0..8 once, then 1..8 for ever. About 90 s for the first pass.
  ASSERT_NE(l.player.PlayModuleSection(module, 0, 8, 1, true), 0u);
  EXPECT_EQ(l.Positions(175), Join(Join(Range(0, 8), Range(1, 8)), {1}));

  // In game: 10..19, then 12..19 for ever.
  ASSERT_NE(l.player.PlayModuleSection(module, 10, 19, 12, true), 0u);
  EXPECT_EQ(l.Positions(126), Join(Join(Range(10, 19), Range(12, 19)), {12}));

  // The jingle plays position 9 once, then nothing at all. Its notes die
  // away within 2 s, so any sound later comes from the position after it.
  ASSERT_NE(l.player.PlayModuleSection(module, 9, 9, 9, false), 0u);
  EXPECT_EQ(l.Positions(3.5), (std::vector<int>{9}));
  const std::vector<float> after = l.Render(3);
  for (float v : after) ASSERT_EQ(v, 0.0f);
  EXPECT_EQ(l.mixer.CurrentPosition(), -1);
}

TEST(MusicLayer, ASectionStartsCleanlyWhateverPlayedBefore) {
  // What the in-game tune and the jingle sound like played first thing.
  auto fresh = [](int start, int end, int restart, bool loop) {
    Layer l(22050);
    l.player.PlayModuleSection(l.player.LoadModule(kModule), start, end, restart, loop);
    return l.Render(1.5);
  };
  const std::vector<float> game = fresh(10, 19, 12, true);
  const std::vector<float> jingle = fresh(9, 9, 9, false);

  Layer l(22050);
  const uint32_t module = l.player.LoadModule(kModule);
  // The mixer fades out the step left by what stopped; after that the new
  // section must be exactly what it is on its own.
  auto expectSame = [](const std::vector<float>& got, const std::vector<float>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 2 * 200; i < got.size(); ++i) ASSERT_NEAR(got[i], want[i], 1e-4) << i / 2;
  };

  uint32_t play = l.player.PlayModuleSection(module, 0, 8, 1, true);
  l.Render(3.3);
  EXPECT_TRUE(l.player.StopModule(play));
  EXPECT_FALSE(l.player.StopModule(play));  // stopping twice is harmless
  const std::vector<float> stopped = l.Render(0.5);
  for (size_t i = 2 * 200; i < stopped.size(); ++i) ASSERT_EQ(stopped[i], 0.0f);
  play = l.player.PlayModuleSection(module, 10, 19, 12, true);
  expectSame(l.Render(1.5), game);

  // Straight from the in-game tune into the jingle, as when the ship is lost:
  // nothing of the tune rings on.
  l.Render(2.2);
  l.player.StopModule(play);
  l.player.PlayModuleSection(module, 9, 9, 9, false);
  expectSame(l.Render(1.5), jingle);

  // The same section again starts over rather than going on.
  l.player.PlayModuleSection(module, 9, 9, 9, false);
  expectSame(l.Render(1.5), jingle);
}

TEST(MusicLayer, RefusesSectionsOutsideTheModuleAndStaleHandles) {
  Layer l;
  const uint32_t module = l.player.LoadModule(kModule);
  EXPECT_EQ(l.player.PlayModuleSection(module, 20, 21, 20, true), 0u);
  EXPECT_EQ(l.player.PlayModuleSection(module, -1, 3, 0, true), 0u);
  EXPECT_EQ(l.player.PlayModuleSection(module, 5, 4, 5, true), 0u);
  EXPECT_EQ(l.player.PlayModuleSection(module, 0, 8, 40, true), 0u);
  EXPECT_EQ(l.player.PlayModuleSection(0, 0, 8, 1, true), 0u);
  EXPECT_EQ(l.mixer.CurrentPosition(), -1);

  // An end past the last position plays to the song's end.
  const uint32_t play = l.player.PlayModuleSection(module, 18, 40, 18, false);
  ASSERT_NE(play, 0u);
  EXPECT_EQ(l.Positions(20), (std::vector<int>{18, 19, -1}));

  const uint32_t again = l.player.PlayModuleSection(module, 0, 8, 1, true);
  EXPECT_FALSE(l.player.StopModule(play));  // an old handle cannot stop the new section
  EXPECT_EQ(l.mixer.CurrentPosition(), 0);
  EXPECT_TRUE(l.player.FreeModule(module));  // freeing what plays silences it first
  EXPECT_EQ(l.mixer.Music(), nullptr);
  EXPECT_FALSE(l.player.StopModule(again));
  EXPECT_FALSE(l.player.FreeModule(module));
  EXPECT_EQ(l.player.PlayModuleSection(module, 0, 8, 1, true), 0u);
}

TEST(MusicLayer, SurvivesAnyOrderOfCalls) {
  Layer l(8000);
  std::mt19937 draw(7);
  auto pick = [&](int n) { return static_cast<int>(draw() % static_cast<unsigned>(n)); };
  std::vector<uint32_t> handles = {0, 99};
  for (int step = 0; step < 3000; ++step) {
    const uint32_t h = handles[static_cast<size_t>(pick(static_cast<int>(handles.size())))];
    switch (pick(9)) {
      case 0:
        handles.push_back(l.player.LoadModule(pick(3) == 0 ? "/no/such/file" : kModule));
        break;
      case 1:
        handles.push_back(
            l.player.PlayModuleSection(h, pick(24) - 2, pick(24) - 2, pick(24) - 2, pick(2)));
        break;
      case 2:
        l.player.StopModule(h);
        break;
      case 3:
        l.player.FreeModule(h);
        break;
      case 4:
        l.player.CloseChannels();
        break;
      case 5:
        if (pick(10) == 0) l.player.Close();
        break;
      default: {
        const std::vector<float> b = l.Render(pick(300) / 8000.0);
        for (float v : b) ASSERT_TRUE(v >= -1.0f && v <= 1.0f);
        ASSERT_GE(l.mixer.CurrentPosition(), -1);
        ASSERT_LE(l.mixer.CurrentPosition(), 19);
      }
    }
  }
}

TEST(MusicLayer, ShutsDownWithAndWithoutAModule) {
  Layer l;
  EXPECT_TRUE(l.player.Close());  // nothing loaded
  for (int round = 0; round < 3; ++round) {
    std::vector<uint32_t> loaded;
    for (int i = 0; i < MixerModulePlayer::kMaxModules; ++i)
      loaded.push_back(l.player.LoadModule(kModule));
    for (uint32_t m : loaded) EXPECT_NE(m, 0u);
    EXPECT_EQ(l.player.LoadModule(kModule), 0u);  // the table is full
    l.player.PlayModuleSection(loaded[1], 0, 8, 1, true);
    l.Render(0.2);
    EXPECT_TRUE(l.player.CloseChannels());
    EXPECT_EQ(l.mixer.Music(), nullptr);
    l.player.PlayModuleSection(loaded[2], 10, 19, 12, true);
    // Close frees every module, so the next round finds the table empty.
    EXPECT_TRUE(l.player.StopBackgroundPlay());
    EXPECT_TRUE(l.player.Close());
    EXPECT_EQ(l.player.PlayModuleSection(loaded[0], 0, 8, 1, true), 0u);
  }
  // A player destroyed while it plays leaves the mixer with no module.
  {
    MixerModulePlayer other(l.mixer, l.lock);
    other.PlayModuleSection(other.LoadModule(kModule), 0, 8, 1, true);
  }
  EXPECT_EQ(l.mixer.Music(), nullptr);
  const std::vector<float> after = l.Render(0.1);
  for (size_t i = 2 * 200; i < after.size(); ++i) ASSERT_EQ(after[i], 0.0f);
}

// Bad music files: each loads as nothing, and the music stays silent.
TEST(MusicLayer, BadFilesLoadAsNothing) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kestrane_music_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ifstream in(kModule, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(good.size(), 20000u);
  auto file = [&](const char* name, const std::string& bytes) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  };
  std::mt19937 draw(11);
  std::string random(65536, '\0'), large(3u << 20, '\0'), huge(6u << 20, '\0');
  for (char& c : random) c = static_cast<char>(draw());
  for (char& c : large) c = static_cast<char>(draw());
  const std::vector<std::string> bad = {
      (dir / "missing.snd").string(),
      file("empty.snd", ""),
      file("head.snd", good.substr(0, 600)),
      file("patterns.snd", good.substr(0, 1084 + 5000)),
      file("samples.snd", good.substr(0, good.size() - 1)),
      file("random.snd", random),
      file("large.snd", large),
      file("huge.snd", huge),
      file("text.snd", "not a module\n"),
      dir.string(),
      "",
  };
  Layer l;
  for (const std::string& path : bad) {
    SCOPED_TRACE(path);
    EXPECT_EQ(l.player.LoadModule(path.c_str()), 0u);
  }
  EXPECT_EQ(l.player.LoadModule(nullptr), 0u);
  EXPECT_NE(l.player.LoadModule(file("whole.snd", good).c_str()), 0u);
  std::filesystem::remove_all(dir);
}

// The music operations of the game, over a player that records its calls.
class RecordingPlayer : public ModulePlayer {
 public:
  bool Startup() override { return Log("Startup"); }
  bool Init() override { return Log("Init"); }
  bool StartBackgroundPlay(int rate) override {
    return Log("StartBackgroundPlay " + std::to_string(rate));
  }
  bool OpenChannels(int n) override { return Log("OpenChannels " + std::to_string(n)); }
  uint32_t LoadModule(const char* path) override {
    Log(std::string("LoadModule ") + path);
    return loadResult;
  }
  bool SetAmplification(int a) override { return Log("SetAmplification " + std::to_string(a)); }
  uint32_t PlayModuleSection(uint32_t m, int32_t s, int32_t e, int32_t r, bool loop) override {
    Log("Play " + std::to_string(m) + " " + std::to_string(s) + " " + std::to_string(e) + " " +
        std::to_string(r) + (loop ? " loop" : " once"));
    return 77;
  }
  bool StopModule(uint32_t h) override { return Log("Stop " + std::to_string(h)); }
  bool FreeModule(uint32_t m) override { return Log("Free " + std::to_string(m)); }
  bool CloseChannels() override { return Log("CloseChannels"); }
  bool StopBackgroundPlay() override { return Log("StopBackgroundPlay"); }
  bool Close() override { return Log("Close"); }

  bool Log(const std::string& call) {
    calls.push_back(call);
    return false;  // results are never looked at
  }
  std::vector<std::string> Take() { return std::exchange(calls, {}); }
  std::vector<std::string> calls;
  uint32_t loadResult = 5;
};

struct MusicOperations : ::testing::Test {
  std::unique_ptr<Surfaces> gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;
  EventLoop loop{p};
  RecordingPlayer player;
  SilentWaveOutput waves;
  DefaultRandom random;
  Game g{*gfx, loop, player, waves, random};
  using Calls = std::vector<std::string>;
};

TEST_F(MusicOperations, StartPlayStopAndShutDownInOrder) {
  g.world.MusicPath = "/games/Kestrane.snd";
  InitMusic(g);
  EXPECT_EQ(player.Take(), (Calls{"Startup", "Init", "StartBackgroundPlay 100", "OpenChannels 50",
                                  "LoadModule /games/Kestrane.snd", "SetAmplification 90"}));
  EXPECT_EQ(g.MusicModule, 5u);

  g.world.MusicOn = false;
  PlaySection(g, kTitleMusic);
  EXPECT_TRUE(player.Take().empty());
  g.world.MusicOn = true;
  PlaySection(g, kTitleMusic);
  PlaySection(g, kDeathJingle);
  EXPECT_EQ(player.Take(), (Calls{"Play 5 0 8 1 loop", "Play 5 9 9 9 once"}));
  EXPECT_EQ(g.MusicPlayHandle, 77u);

  StopMusic(g, false);
  StopMusic(g, false);  // nothing playing: no call
  EXPECT_EQ(player.Take(), (Calls{"Stop 77"}));
  EXPECT_EQ(g.MusicPlayHandle, 0u);
  EXPECT_EQ(g.MusicModule, 5u);

  // Loading again first releases the module held.
  PlaySection(g, kPlayMusic);
  InitMusic(g);
  Calls calls = player.Take();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ((Calls{calls[0], calls[1], calls[2], calls[3]}),
            (Calls{"Play 5 10 19 12 loop", "Stop 77", "Free 5", "Startup"}));

  g.world.MusicOn = false;  // stopping does not look at the flag
  PlaySection(g, kPlayMusic);
  g.world.MusicOn = true;
  PlaySection(g, kPlayMusic);
  g.world.MusicOn = false;
  StopMusic(g, true);
  CloseMusic(g);
  EXPECT_EQ(player.Take(), (Calls{"Play 5 10 19 12 loop", "Stop 77", "Free 5", "CloseChannels",
                                  "StopBackgroundPlay", "Close"}));
  EXPECT_EQ(g.MusicModule, 0u);
}

TEST_F(MusicOperations, WithoutAModuleNothingPlays) {
  player.loadResult = 0;
  g.world.MusicPath = "/nowhere/Kestrane.snd";
  InitMusic(g);
  player.Take();
  g.world.MusicOn = true;
  PlaySection(g, kTitleMusic);
  StopMusic(g, true);
  CloseMusic(g);
  EXPECT_EQ(player.Take(), (Calls{"CloseChannels", "StopBackgroundPlay", "Close"}));
}

// The operations over the real layer: a missing file leaves the game silent.
TEST(MusicOverMixer, MissingFileIsSilentAndAWholeOnePlays) {
  auto gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;
  EventLoop loop{p};
  Layer l;
  SilentWaveOutput waves;
  DefaultRandom random;
  Game g{*gfx, loop, l.player, waves, random};
  g.world.MusicOn = true;
  g.world.MusicPath = "/no/such/Kestrane.snd";
  InitMusic(g);
  EXPECT_EQ(g.MusicModule, 0u);
  PlaySection(g, kTitleMusic);
  EXPECT_EQ(g.MusicPlayHandle, 0u);
  for (float v : l.Render(0.5)) ASSERT_EQ(v, 0.0f);

  g.world.MusicPath = kModule;
  InitMusic(g);
  PlaySection(g, kTitleMusic);
  EXPECT_NE(g.MusicPlayHandle, 0u);
  l.Render(0.5);
  float peak = 0;
  for (float v : l.Render(4)) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.05f);
  StopMusic(g, true);
  CloseMusic(g);
  EXPECT_EQ(l.mixer.Music(), nullptr);
}

}  // namespace
