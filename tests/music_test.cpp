// The music: the module-player layer over the mixer, rendered offline, the
// game's module laid out in its sections, and the music operations.
#include "game/music.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/memory_limit.h"
#include "assets/resources.h"
#include "audio/mixer.h"
#include "audio/mixer_audio.h"
#include "audio/module_file.h"
#include "audio/sdl_audio.h"
#include "audio/silent_audio.h"
#include "tests/scripted_platform.h"

#if defined(__SANITIZE_ADDRESS__)
// A load past its memory budget must see its allocations fail, as in the
// plain build, rather than the sanitizer stop the program.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif


namespace {

const char* const kModule = KESTRANE_MUSIC_FILE;

void PutLE(std::string& b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// A packed container of one stored block: payload at the start of an
// unpacked image said to be `declared` bytes long, and 16 zero bytes at its
// end, so that unpacking fills the whole image.
std::string Packed(const std::string& payload, uint32_t declared) {
  std::string b(48, '\0');
  b.replace(0, 8, "ziRCONia");
  PutLE(b, 8, 14, 2);
  PutLE(b, 10, 0x1310, 2);
  PutLE(b, 12, 1, 2);  // blocks
  PutLE(b, 14, declared, 4);
  PutLE(b, 18, 24, 4);  // block table
  PutLE(b, 24, 28, 4);  // the block
  const uint32_t stored = static_cast<uint32_t>(payload.size()) + 16;
  PutLE(b, 28, stored, 4);
  PutLE(b, 32, stored, 4);
  PutLE(b, 40, 2, 2);  // two pieces, not compressed
  std::string pieces(16, '\0');
  PutLE(pieces, 4, static_cast<uint32_t>(payload.size()), 4);
  PutLE(pieces, 8, declared - 16, 4);
  PutLE(pieces, 12, 16, 4);
  return b + pieces + payload + std::string(16, '\0');
}

// The fixed header of a module with these counts: default volumes, speed
// and tempo, every channel centred; the order list comes next.
std::string ModuleHeader(uint32_t orders, uint32_t samples, uint32_t patterns) {
  std::string b(0xC0, '\0');
  b.replace(0, 4, "IMPM");
  PutLE(b, 0x20, orders, 2);
  PutLE(b, 0x24, samples, 2);
  PutLE(b, 0x26, patterns, 2);
  PutLE(b, 0x28, 0x214, 2);
  PutLE(b, 0x2A, 0x214, 2);
  PutLE(b, 0x2C, 9, 2);
  PutLE(b, 0x30, 0x7D063080, 4);  // volumes, speed, tempo
  b[0x34] = static_cast<char>(128);
  for (size_t i = 0; i < 64; ++i) b[0x40 + i] = 32, b[0x80 + i] = 64;
  return b;
}

// A module of one order and one sample of `frames` 16-bit stereo frames,
// whose data is said to follow the sample's header.
std::string OneSampleModule(uint32_t frames) {
  std::string b = ModuleHeader(2, 1, 0) + std::string(2 + 4 + 0x50, '\0');
  b[0xC1] = static_cast<char>(255);
  const size_t header = 0xC6;
  PutLE(b, 0xC2, header, 4);
  b.replace(header, 4, "IMPS");
  b[header + 0x11] = 64;
  b[header + 0x12] = 7;  // has data, 16-bit, stereo
  b[header + 0x13] = 64;
  b[header + 0x2E] = 1;
  PutLE(b, header + 0x30, frames, 4);
  PutLE(b, header + 0x3C, 8363, 4);
  PutLE(b, header + 0x48, static_cast<uint32_t>(b.size()), 4);
  return b;
}

// A silent module of 20 positions whose patterns loop on 32 channels,
// each channel over a different stretch: every seek replays the loops.
std::string LoopingModule() {
  constexpr int kPatterns = 20, kRows = 200, kChannels = 32;
  std::string b = ModuleHeader(kPatterns + 1, 0, kPatterns);
  for (int i = 0; i < kPatterns; ++i) b += static_cast<char>(i);
  b += static_cast<char>(255);
  std::string rows;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kChannels; ++c) {
      // Loop start on the first row, loop back 15 times from a row of its own.
      if (r == 0 || r == kRows - 1 - 3 * c) {
        rows += {static_cast<char>((c + 1) | 0x80), 0x08, 19, static_cast<char>(r == 0 ? 0xB0 : 0xBF)};
      }
    }
    rows += '\0';
  }
  std::string pattern(8, '\0');
  PutLE(pattern, 0, static_cast<uint32_t>(rows.size()), 2);
  PutLE(pattern, 2, kRows, 2);
  pattern += rows;
  const size_t first = b.size() + 4 * kPatterns;
  for (int i = 0; i < kPatterns; ++i) {
    b += std::string(4, '\0');
    PutLE(b, b.size() - 4, static_cast<uint32_t>(first + i * pattern.size()), 4);
  }
  for (int i = 0; i < kPatterns; ++i) b += pattern;
  return b;
}

// A silent module of one position whose last row holds the song 30 s: the
// row is delayed 15 times over and looped 15 times.
std::string StuckRowModule() {
  constexpr int kRows = 32;
  std::string b = ModuleHeader(2, 0, 1);
  b += '\0';
  b += static_cast<char>(255);
  std::string rows;
  for (int r = 0; r < kRows; ++r) {
    if (r == kRows - 1) {
      for (const uint8_t param : {0xEF, 0xB0, 0xBF}) {
        rows += {static_cast<char>(0x81 + rows.size() / 4), 0x08, 19, static_cast<char>(param)};
      }
    }
    rows += '\0';
  }
  std::string pattern(8, '\0');
  PutLE(pattern, 0, static_cast<uint32_t>(rows.size()), 2);
  PutLE(pattern, 2, kRows, 2);
  b += std::string(4, '\0');
  PutLE(b, b.size() - 4, static_cast<uint32_t>(b.size()), 4);
  return b + pattern + rows;
}

struct Layer {
  explicit Layer(int rate = 11025) : mixer(rate) {}
  AudioMixer mixer;
  MixerModulePlayer player{mixer, MixerModulePlayer::Seeking::kInRender};

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

// A section ends on the frame where its last position does, though the
// mixer reads most of that position's last row in chunks.
TEST(MusicLayer, ASectionEndsOnTheExactFrame) {
  constexpr int kRate = 8000;
  // The frames of the jingle's position as the library plays it, one by one.
  auto module = LoadModuleFile(kModule);
  ASSERT_NE(module, nullptr);
  module->set_position_order_row(0, 0);
  module->set_position_order_row(kDeathJingle.start, 0);
  float frame[2];
  size_t length = 0;
  while (module->read_interleaved_stereo(kRate, 1, frame) == 1 &&
         module->get_current_order() == kDeathJingle.start) {
    ++length;
  }
  Layer l(kRate);
  l.player.PlayModuleSection(l.player.LoadModule(kModule), kDeathJingle.start, kDeathJingle.end,
                             kDeathJingle.restart, false);
  size_t heard = 0;
  while (l.mixer.CurrentPosition() != -1 && heard < 10 * kRate) {
    l.mixer.Render(frame, 1);
    ++heard;
  }
  EXPECT_EQ(heard, length);
}

// A section whose last row does not end within a plausible length ends
// there, and stays ended when a new device restarts what plays.
TEST(MusicLayer, ASectionStuckInItsLastRowEnds) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("kestrane_stuck_" + std::to_string(::getpid()) + ".snd"))
                               .string();
  std::ofstream(path, std::ios::binary) << StuckRowModule();
  Layer l(8000);
  const uint32_t module = l.player.LoadModule(path.c_str());
  std::filesystem::remove(path);
  ASSERT_NE(module, 0u);
  l.player.PlayModuleSection(module, 0, 0, 0, false);
  EXPECT_EQ(l.Positions(10), (std::vector<int>{0, -1}));
  l.mixer.RestartOnNewDevice();
  EXPECT_EQ(l.Positions(1), (std::vector<int>{-1}));
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
  l.Render(0.01);
  EXPECT_EQ(l.mixer.CurrentPosition(), 0);
  EXPECT_TRUE(l.player.FreeModule(module));  // freeing what plays silences it first
  l.Render(0.01);
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
    l.Render(0.01);
    EXPECT_EQ(l.mixer.Music(), nullptr);
    l.player.PlayModuleSection(loaded[2], 10, 19, 12, true);
    // Close frees every module; once the render has let go of them, the next
    // round finds the table empty.
    EXPECT_TRUE(l.player.StopBackgroundPlay());
    EXPECT_TRUE(l.player.Close());
    EXPECT_EQ(l.player.PlayModuleSection(loaded[0], 0, 8, 1, true), 0u);
    l.Render(0.01);
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
      // Told to have 12 channels, its patterns are cut short.
      file("12ch.snd", good.substr(0, 1080) + "12CH" + good.substr(1084)),
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

// The most memory a process takes while it loads the file, in KiB (-1 when
// it could not be measured), and whether the module loaded. Measured in a
// child, so that each file starts from the same memory.
// How a load in a child process ended, and the child's peak resident size.
enum class LoadEnd { kLoaded, kRefused, kDied };
struct LoadRun {
  LoadEnd end;
  long peakKiB;
};
constexpr int kRefusedStatus = 3;  // apart from 1, which a sanitizer's abort exits with

LoadRun LoadInChild(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    const MemoryLimit budget(kMaxModuleMemory);  // as at start-up
    _exit(LoadModuleFile(path.c_str()) != nullptr ? 0 : kRefusedStatus);
  }
  int status = 0;
  rusage use{};
  if (child < 0 || ::wait4(child, &status, 0, &use) != child) return {LoadEnd::kDied, -1};
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {LoadEnd::kLoaded, use.ru_maxrss};
  if (WIFEXITED(status) && WEXITSTATUS(status) == kRefusedStatus) return {LoadEnd::kRefused, use.ru_maxrss};
  return {LoadEnd::kDied, use.ru_maxrss};
}

// Files of a few bytes whose sizes would take gigabytes: one unpacks to
// 2 GiB, the other holds a 1 GiB sample inside a packed image. Both are
// refused before they cost more than the budget.
TEST(MusicLayer, WhateverSizesAFileDeclaresItsLoadStaysWithinTheMemoryBudget) {
  const LoadRun normal = LoadInChild(kModule);
  ASSERT_EQ(normal.end, LoadEnd::kLoaded);
  ASSERT_GT(normal.peakKiB, 0);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizer's own allocator aborts when the budget refuses it memory,
  // so the library's handling of a failed allocation cannot be seen here.
  GTEST_SKIP() << "needs a build without AddressSanitizer or ThreadSanitizer";
#endif
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kestrane_budget_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const std::string& bomb :
       {Packed("", 0x7FFFFFF0), Packed(OneSampleModule((1u << 28) - 1), (1u << 30) + 0x200)}) {
    const std::string path = (dir / "bomb.snd").string();
    std::ofstream(path, std::ios::binary) << bomb;
    const LoadRun run = LoadInChild(path);
    EXPECT_EQ(run.end, LoadEnd::kRefused) << "the load must refuse the file, not load it or die";
    EXPECT_LT(run.peakKiB - normal.peakKiB, 64 << 10) << "KiB above the normal load's peak";
  }
  std::filesystem::remove_all(dir);
}

// A pipe put in the file's place at any moment neither blocks the load nor
// is read: the file is checked after it has been opened, not before.
TEST(MusicLayer, APipeSwappedInForTheFileNeverBlocks) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kestrane_swap_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "Kestrane.snd").string();
  const std::string file = (dir / "file").string(), pipe = (dir / "pipe").string();
  const std::string next = (dir / "next").string();
  // Large enough that reading it takes a while, small enough to be refused
  // quickly as no module.
  std::ofstream(file) << std::string(kMaxModuleFileSize, ' ');
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::atomic<bool> swapping{true}, done{false};
  std::thread loader([&] {
    while (swapping) LoadModuleFile(path.c_str());
    done = true;
  });
  // The pipe and the file keep their own names, so that a load stuck on the
  // pipe can be let go.
  for (int i = 0; i < 30000; ++i) {
    if (::link(i % 2 ? pipe.c_str() : file.c_str(), next.c_str()) != 0 ||
        ::rename(next.c_str(), path.c_str()) != 0) {
      ADD_FAILURE() << "cannot swap: " << std::strerror(errno);
      break;
    }
  }
  swapping = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(done) << "a load waited on the pipe";
  while (!done) {
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  loader.join();
  std::filesystem::remove_all(dir);
}

// The hanging file found by fuzzing (tests/fuzz/found, which the fuzzing
// check replays whole) leaves its title loop at once: silence, not a busy
// loop of restarts.
TEST(MusicLayer, TheHangingFileFallsSilent) {
  Layer l(48000);
  const uint32_t module = l.player.LoadModule(
      (std::filesystem::path(KESTRANE_FUZZ_FOUND) / "music-hang-1.snd").c_str());
  ASSERT_NE(module, 0u);
  l.player.PlayModuleSection(module, kTitleMusic.start, kTitleMusic.end, kTitleMusic.restart,
                             kTitleMusic.loop);
  for (float v : l.Render(1)) ASSERT_EQ(v, 0.0f);
  EXPECT_EQ(l.mixer.CurrentPosition(), -1);
}

// A seek that stalls while seekHeld is set, as a slow module's would; after
// 10 s it goes on, so that a quit waiting for it fails rather than hangs.
std::atomic<bool> seekHeld{false}, seekEntered{false};
bool HeldSeek(openmpt::module& module, const ModuleSection& section, SoughtSection& sought) {
  seekEntered = true;
  for (int i = 0; i < 10000 && seekHeld; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return AudioMixer::SeekSectionStart(module, section, sought);
}

// The render stalls 300 ms inside a block (a preempted audio thread) while
// the game thread sends a storm of commands: none waits, none is lost, and
// once the render goes on it applies them all, in order. The quit then waits
// neither for a stalled render nor for a stalled seek.
TEST(MusicThreads, NothingWaitsForTheRenderOrTheSeek) {
  AudioMixer mixer(48000);
  MixerModulePlayer player(mixer, MixerModulePlayer::Seeking::kOwnThread, &HeldSeek);
  MixerWaveOutput effects(mixer);
  const auto shot = FindResource("wave101.wav");
  effects.Prepare(shot.data(), shot.size());
  const uint32_t module = player.LoadModule(kModule);
  ASSERT_NE(module, 0u);
  std::atomic<bool> hold{false}, held{false}, stop{false};
  std::atomic<int> heard{-2};
  std::thread render([&] {
    std::vector<float> block(2 * 2048);
    while (!stop) {
      mixer.Render(block.data(), 2048);  // takes the commands, then stalls
      heard = mixer.CurrentPosition();
      held = hold.load();
      std::this_thread::sleep_for(std::chrono::milliseconds(hold ? 300 : 1));
    }
  });
  // Only a hang fails these waits.
  auto waitFor = [](auto done) {
    for (int i = 0; i < 30000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
  };
  hold = true;
  ASSERT_TRUE(waitFor([&] { return held.load(); }));
  const uint32_t before = mixer.CommandsRendered();
  uint32_t posted = 0;
  for (int i = 0; i < 100; ++i, posted += 3) {
    const uint32_t play = player.PlayModuleSection(module, kTitleMusic.start, kTitleMusic.end,
                                                   kTitleMusic.restart, kTitleMusic.loop);
    ASSERT_NE(play, 0u);
    effects.PlayMemory(shot.data(), shot.size());
    ASSERT_TRUE(player.StopModule(play));
  }
  ASSERT_NE(player.PlayModuleSection(module, 9, 9, 9, false), 0u);  // the last wins
  ++posted;
  EXPECT_EQ(mixer.Overflows(), 0u);
  hold = false;
  EXPECT_TRUE(waitFor([&] { return mixer.CommandsRendered() - before == posted; }));
  EXPECT_TRUE(waitFor([&] { return heard == 9; }));

  seekHeld = true;
  seekEntered = false;
  player.PlayModuleSection(module, 10, 19, 12, true);
  ASSERT_TRUE(waitFor([&] { return seekEntered.load(); }));
  hold = true;
  ASSERT_TRUE(waitFor([&] { return held.load(); }));
  EXPECT_FALSE(player.Quit());  // the seeking thread is left inside its seek
  EXPECT_EQ(player.PlayModuleSection(module, 0, 8, 1, true), 0u);  // no more commands
  stop = true;
  render.join();
  seekHeld = false;
}

// The game's thread, the device's, the seeking thread and the one that
// replaces a lost device share the mixer: sections change (some sought on
// their own thread), music and effects go off and on, devices are lost, and
// everything shuts down while a start is still being sought. The test
// command runs this under ThreadSanitizer (the tsan preset) too, which fails
// it on any access the queues leave unordered.
TEST(MusicThreads, TheGameTheDeviceAndTheSeekerShareTheMixer) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("kestrane_threads_" + std::to_string(::getpid()) + ".snd"))
                               .string();
  std::ofstream(path, std::ios::binary) << LoopingModule();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto audio = std::make_unique<SdlAudio>();  // SDL's dummy device, its thread rendering
  ASSERT_TRUE(audio->HasDevice());
  const uint32_t slow = audio->Player().LoadModule(path.c_str());
  const uint32_t tune = audio->Player().LoadModule(kModule);
  std::filesystem::remove(path);
  ASSERT_NE(slow, 0u);
  ASSERT_NE(tune, 0u);
  const auto shot = FindResource("wave101.wav");
  for (int round = 0; round < 24; ++round) {
    const uint32_t module = round % 2 ? slow : tune;
    const int32_t start = round % 19;
    const uint32_t play =
        audio->Player().PlayModuleSection(module, start, 19, start, round % 3 > 0);
    ASSERT_NE(play, 0u) << round;
    if (round % 3 != 1) audio->Effects().PlayMemory(shot.data(), shot.size());  // S on
    SDL_Delay(static_cast<uint32_t>(round % 4) * 10);
    if (round % 4 == 1) {
      EXPECT_TRUE(audio->Player().StopModule(play));  // M off
    }
    if (round % 6 == 5) {
      const uint32_t opened = audio->DevicesOpened();
      SDL_Event removed{};
      removed.adevice.type = SDL_AUDIODEVICEREMOVED;
      removed.adevice.which = audio->Device();
      SDL_PushEvent(&removed);
      // The next loss waits for the new device.
      for (int i = 0; i < 3000 && audio->DevicesOpened() == opened; ++i) SDL_Delay(10);
      ASSERT_GT(audio->DevicesOpened(), opened);
    }
  }
  audio->Player().PlayModuleSection(slow, 0, 19, 0, true);
  audio.reset();  // a start still being sought
}

// The music operations of the game, over a player that records the calls
// that do something (the start-up and shut-down calls of the layer do
// nothing in the real player; MusicOverMixer checks the layer's end).
class RecordingPlayer : public ModulePlayer {
 public:
  bool Startup() override { return true; }
  bool Init() override { return true; }
  bool StartBackgroundPlay(int) override { return true; }
  bool OpenChannels(int) override { return true; }
  uint32_t LoadModule(const char* path) override {
    Log(std::string("LoadModule ") + path);
    return loadResult;
  }
  bool SetAmplification(int) override { return true; }
  uint32_t PlayModuleSection(uint32_t m, int32_t s, int32_t e, int32_t r, bool loop) override {
    Log("Play " + std::to_string(m) + " " + std::to_string(s) + " " + std::to_string(e) + " " +
        std::to_string(r) + (loop ? " loop" : " once"));
    return 77;
  }
  bool StopModule(uint32_t h) override { return Log("Stop " + std::to_string(h)); }
  bool FreeModule(uint32_t m) override { return Log("Free " + std::to_string(m)); }
  bool CloseChannels() override { return true; }
  bool StopBackgroundPlay() override { return true; }
  bool Close() override { return true; }

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
  EXPECT_EQ(player.Take(), (Calls{"LoadModule /games/Kestrane.snd"}));
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
  EXPECT_EQ(player.Take(), (Calls{"Play 5 10 19 12 loop", "Stop 77", "Free 5",
                                  "LoadModule /games/Kestrane.snd"}));

  g.world.MusicOn = false;  // stopping does not look at the flag
  PlaySection(g, kPlayMusic);
  g.world.MusicOn = true;
  PlaySection(g, kPlayMusic);
  g.world.MusicOn = false;
  StopMusic(g, true);
  CloseMusic(g);
  EXPECT_EQ(player.Take(), (Calls{"Play 5 10 19 12 loop", "Stop 77", "Free 5"}));
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
  EXPECT_TRUE(player.Take().empty());
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
  l.Render(0.01);
  EXPECT_EQ(l.mixer.Music(), nullptr);
}

}  // namespace
