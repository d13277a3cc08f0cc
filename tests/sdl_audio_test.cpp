// The SDL device: without one the game is silent; with the disk driver the
// mixer's output reaches the device.
#include "audio/sdl_audio.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "assets/resources.h"

namespace {

// Sets SDL's audio variables for one test and puts the old ones back.
class AudioEnv {
 public:
  using Vars = std::vector<std::pair<const char*, std::string>>;
  explicit AudioEnv(const Vars& vars) {
    for (auto& [name, value] : vars) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
      setenv(name, value.c_str(), 1);
    }
  }
  ~AudioEnv() {
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name, value->c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// Returns the play handle of the jingle.
uint32_t PlayEverything(SdlAudio& audio, uint32_t m) {
  const uint32_t play = audio.Player().PlayModuleSection(m, 9, 9, 9, false);
  EXPECT_NE(play, 0u);
  const auto shot = FindResource("wave101.wav");
  audio.Effects().PlayMemory(shot.data(), shot.size());
  return play;
}

TEST(SdlAudio, WithoutADeviceEverythingRunsSilent) {
  AudioEnv env(AudioEnv::Vars{{"SDL_AUDIODRIVER", "no-such-driver"}});
  SdlAudio audio;
  EXPECT_FALSE(audio.HasDevice());
  const uint32_t play = PlayEverything(audio, audio.Player().LoadModule(KESTRANE_MUSIC_FILE));
  EXPECT_TRUE(audio.Player().StopModule(play));
  EXPECT_TRUE(audio.Player().Close());
}

TEST(SdlAudio, CommandsReachTheMixerWhileTheDummyDeviceRenders) {
  AudioEnv env(AudioEnv::Vars{{"SDL_AUDIODRIVER", "dummy"}});
  SdlAudio audio;
  ASSERT_TRUE(audio.HasDevice());
  const uint32_t module = audio.Player().LoadModule(KESTRANE_MUSIC_FILE);
  for (int i = 0; i < 20; ++i) {
    const uint32_t play = PlayEverything(audio, module);
    SDL_Delay(5);
    EXPECT_TRUE(audio.Player().StopModule(play));
  }
  // Shut down while playing: the device closes before the module goes.
  PlayEverything(audio, module);
  SDL_Delay(20);
  EXPECT_TRUE(audio.Quit(std::chrono::seconds(1)));
}

// The keeper's open leaves stderr alone: a line written meanwhile is kept.
TEST(SdlAudio, StderrStaysOpenWhileTheDeviceOpens) {
  AudioEnv env(AudioEnv::Vars{{"SDL_AUDIODRIVER", "dummy"}});
  std::FILE* capture = std::tmpfile();
  ASSERT_NE(capture, nullptr);
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(fileno(capture), STDERR_FILENO);
  {
    SdlDeviceKeeper keeper({SdlAudio::kRate, 2, SdlAudio::kBlockFrames},
                           {[](void*, uint8_t* stream, int length) { std::memset(stream, 0, length); },
                            [](void*, bool) { std::fputs("said while opening\n", stderr); },
                            [](void*) {}, nullptr});
    keeper.Start();
    EXPECT_NE(keeper.Device(), 0u);
  }
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  char line[64] = {};
  std::rewind(capture);
  EXPECT_NE(std::fgets(line, sizeof line, capture), nullptr);
  EXPECT_STREQ(line, "said while opening\n");
  std::fclose(capture);
}

// What SDL's disk device wrote to path, up to the first `seconds` when given.
std::vector<float> Recorded(const std::string& path, double seconds = 0) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes;
  if (seconds > 0) {
    bytes.resize(static_cast<size_t>(seconds * SdlAudio::kRate) * 2 * sizeof(float));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
  } else {
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}
// Waits for the disk device's file to hold `seconds`. The device runs at full
// speed; nothing here depends on how fast.
bool WaitForRecording(const std::string& path, double seconds) {
  const auto want = static_cast<std::uintmax_t>(seconds * SdlAudio::kRate) * 2 * sizeof(float);
  for (int i = 0; i < 6000; ++i) {  // a minute at most: only a stuck device fails
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) >= want && !ec) return true;
    SDL_Delay(10);
  }
  return false;
}
std::string DiskFile(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string(name) + "_" + std::to_string(::getpid())))
      .string();
}

TEST(SdlAudio, TheDiskDeviceRecordsTheMix) {
  const std::string path = DiskFile("kestrane_disk");
  {
    AudioEnv env(AudioEnv::Vars{
        {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", path}, {"SDL_DISKAUDIODELAY", "1"}});
    // Everything starts before the device, so the recording starts with it.
    SdlAudio audio(SdlAudio::When::OpenLater);
    PlayEverything(audio, audio.Player().LoadModule(KESTRANE_MUSIC_FILE));
    audio.OpenDevice();
    ASSERT_TRUE(audio.HasDevice());
    ASSERT_TRUE(WaitForRecording(path, 8));
  }
  const std::vector<float> samples = Recorded(path);
  std::filesystem::remove(path);
  // The jingle and the shot were heard; they ended, and silence followed.
  float peak = 0;
  size_t lastSound = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    ASSERT_TRUE(std::isfinite(samples[i]));
    peak = std::max(peak, std::fabs(samples[i]));
    if (samples[i] != 0.0f) lastSound = i;
  }
  EXPECT_GT(peak, 0.1f);
  EXPECT_LT(lastSound, samples.size() - 2 * 48000 * 2);
}

// A device reported gone is closed and another opened: the section playing
// starts again from its start, and music switched off stays off.
TEST(SdlAudio, ALostDeviceIsReplacedAndTheTuneCarriesOn) {
  const std::string path = DiskFile("kestrane_lost");
  AudioEnv env(AudioEnv::Vars{
      {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", path}, {"SDL_DISKAUDIODELAY", "1"}});
  SdlAudio audio(SdlAudio::When::OpenLater);
  const uint32_t module = audio.Player().LoadModule(KESTRANE_MUSIC_FILE);
  const uint32_t play = audio.Player().PlayModuleSection(module, 10, 19, 12, true);
  audio.OpenDevice();
  ASSERT_TRUE(WaitForRecording(path, 1));
  // The disk device starts its file again when a device opens.
  auto loseDevice = [&] {
    const uint32_t opened = audio.DevicesOpened();
    SDL_Event removed{};
    removed.adevice.type = SDL_AUDIODEVICEREMOVED;
    removed.adevice.which = audio.Device();
    SDL_PushEvent(&removed);
    removed.adevice.which = 0;  // a device never opened, as PulseAudio's sink goes
    SDL_PushEvent(&removed);
    for (int i = 0; i < 3000 && audio.DevicesOpened() == opened; ++i) SDL_Delay(10);
    return audio.DevicesOpened() > opened && audio.HasDevice();
  };
  ASSERT_TRUE(loseDevice());
  ASSERT_TRUE(WaitForRecording(path, 3));

  AudioMixer alone(SdlAudio::kRate);
  MixerModulePlayer player(alone, MixerModulePlayer::Seeking::kInRender);
  player.PlayModuleSection(player.LoadModule(KESTRANE_MUSIC_FILE), 10, 19, 12, true);
  std::vector<float> want(2 * 40 * SdlAudio::kBlockFrames);  // 1.7 s, in the device's blocks
  for (size_t at = 0; at < want.size(); at += 2 * SdlAudio::kBlockFrames)
    alone.Render(want.data() + at, SdlAudio::kBlockFrames);
  // The new device may write silence while it opens, in whole blocks.
  const std::vector<float> got = Recorded(path, 3);
  const size_t block = 2 * SdlAudio::kBlockFrames;
  size_t from = 0;
  while (from < got.size() && got[from] == 0.0f) ++from;
  from -= from % block;
  ASSERT_GE(got.size(), from + want.size());
  for (size_t i = 0; i < want.size(); ++i) ASSERT_NEAR(got[from + i], want[i], 1e-4) << i / 2;

  EXPECT_TRUE(audio.Player().StopModule(play));  // M
  ASSERT_TRUE(loseDevice());
  ASSERT_TRUE(WaitForRecording(path, 1));
  for (float v : Recorded(path, 1)) ASSERT_EQ(v, 0.0f);
  std::filesystem::remove(path);
}

// The disk device's close takes as long as its delay between blocks: a close
// that hangs. The quit does not wait for it. The driver can then no longer
// open (its file cannot be made), and only SDL's audio started again picks
// the other driver named: that happens once the close has ended.
TEST(SdlAudio, ACloseThatHangsHoldsNeitherTheQuitNorTheSound) {
  const std::string path = DiskFile("kestrane_hung");
  AudioEnv env(AudioEnv::Vars{
      {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", path}, {"SDL_DISKAUDIODELAY", "2500"}});
  {
    SdlAudio audio;
    ASSERT_TRUE(WaitForRecording(path, 0.01));  // the device now waits out its delay
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(audio.Quit(std::chrono::milliseconds(200)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
  std::filesystem::remove(path);
  SdlAudio audio;
  ASSERT_TRUE(WaitForRecording(path, 0.01));
  AudioEnv later(AudioEnv::Vars{{"SDL_AUDIODRIVER", "dummy"},
                                {"SDL_DISKAUDIOFILE", "/nonexistent/kestrane.raw"}});
  SDL_Event removed{};
  removed.adevice.type = SDL_AUDIODEVICEREMOVED;
  removed.adevice.which = audio.Device();
  SDL_PushEvent(&removed);
  auto restarted = [] {
    const char* driver = SDL_GetCurrentAudioDriver();
    return driver != nullptr && std::string(driver) == "dummy";
  };
  for (int i = 0; i < 1000 && !(restarted() && audio.HasDevice()); ++i) SDL_Delay(10);
  EXPECT_TRUE(restarted());
  EXPECT_TRUE(audio.HasDevice());
  std::filesystem::remove(path);
}

TEST(SdlAudio, TheRetryRules) {
  DeviceRetry retry;
  // Without a device: at once, then twice as long each time up to the longest.
  EXPECT_EQ(retry.Opened(0), DeviceRetry::kFirstWaitMs);
  EXPECT_EQ(retry.Opened(0), 2 * DeviceRetry::kFirstWaitMs);
  for (int i = 0; i < 8; ++i) retry.Opened(0);
  EXPECT_EQ(retry.Opened(0), DeviceRetry::kLongestWaitMs);
  // With one, nothing until it goes; only its own loss counts, and starts
  // the waits again from the shortest.
  EXPECT_EQ(retry.Opened(7), DeviceRetry::kForever);
  EXPECT_FALSE(retry.Removed(3));
  EXPECT_FALSE(retry.Removed(0));
  EXPECT_EQ(retry.Device(), 7u);
  EXPECT_TRUE(retry.Removed(7));
  EXPECT_EQ(retry.Device(), 0u);
  EXPECT_EQ(retry.Opened(0), DeviceRetry::kFirstWaitMs);
}

}  // namespace
