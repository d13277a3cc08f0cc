// The SDL device: without one the game is silent; with the disk driver the
// mixer's output reaches the device.
#include "audio/sdl_audio.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
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
uint32_t PlayEverything(SdlAudio& audio, const char* module) {
  const uint32_t m = audio.Player().LoadModule(module);
  EXPECT_NE(m, 0u);
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
  const uint32_t play = PlayEverything(audio, KESTRANE_MUSIC_FILE);
  EXPECT_TRUE(audio.Player().StopModule(play));
  EXPECT_TRUE(audio.Player().Close());
}

TEST(SdlAudio, CommandsReachTheMixerWhileTheDummyDeviceRenders) {
  AudioEnv env(AudioEnv::Vars{{"SDL_AUDIODRIVER", "dummy"}});
  SdlAudio audio;
  ASSERT_TRUE(audio.HasDevice());
  for (int i = 0; i < 20; ++i) {
    const uint32_t play = PlayEverything(audio, KESTRANE_MUSIC_FILE);
    SDL_Delay(5);
    EXPECT_TRUE(audio.Player().StopModule(play));
    EXPECT_TRUE(audio.Player().Close());
  }
  // Shut down while playing: the device closes before the module goes.
  PlayEverything(audio, KESTRANE_MUSIC_FILE);
  SDL_Delay(20);
}

TEST(SdlAudio, TheDiskDeviceRecordsTheMix) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("kestrane_disk_" + std::to_string(::getpid())))
          .string();
  {
    AudioEnv env(AudioEnv::Vars{
        {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", path}, {"SDL_DISKAUDIODELAY", "0"}});
    SdlAudio audio;
    ASSERT_TRUE(audio.HasDevice());
    PlayEverything(audio, KESTRANE_MUSIC_FILE);
    SDL_Delay(100);
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  ASSERT_EQ(bytes.size() % (2 * sizeof(float)), 0u);
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), bytes.size());
  // The jingle and the shot were heard; they ended, and silence followed.
  float peak = 0;
  size_t lastSound = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    ASSERT_TRUE(std::isfinite(samples[i]));
    peak = std::max(peak, std::fabs(samples[i]));
    if (samples[i] != 0.0f) lastSound = i;
  }
  EXPECT_GT(peak, 0.1f);
  if (samples.size() > 2 * 48000 * 5) {
    EXPECT_LT(lastSound, samples.size() - 2 * 48000);
  }
}

}  // namespace
