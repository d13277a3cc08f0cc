// Test doubles shared by the game tests: audio that records what it is asked
// to play, a random source that returns scripted draws, and a fixture-sized
// bundle that wires a Game to a scripted event loop.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "assets/resources.h"
#include "audio/silent_audio.h"
#include "audio/wave_output.h"
#include "game/flow.h"
#include "game/game.h"
#include "game/random.h"
#include "tests/scripted_platform.h"

// One ordered list of the audio calls made, music and effects together.
using AudioLog = std::vector<std::string>;

// Module player with a module always loaded; records sections and stops as
// "play s,e,r,loop" and "stop".
class RecordingModulePlayer : public SilentModulePlayer {
 public:
  explicit RecordingModulePlayer(AudioLog& log) : log_(log) {}
  uint32_t LoadModule(const char*) override { return 1; }
  uint32_t PlayModuleSection(uint32_t, int32_t start, int32_t end, int32_t restart,
                             bool loop) override {
    log_.push_back("play " + std::to_string(start) + "," + std::to_string(end) + "," +
                   std::to_string(restart) + (loop ? ",loop" : ",once"));
    return ++handles_;
  }
  bool StopModule(uint32_t) override {
    log_.push_back("stop");
    return true;
  }

 private:
  AudioLog& log_;
  uint32_t handles_ = 0;
};

// Records "wave 101" / "wave 102" by recognising the embedded images.
class RecordingWaveOutput : public WaveOutput {
 public:
  explicit RecordingWaveOutput(AudioLog& log) : log_(log) {}
  void PlayMemory(const uint8_t* data, size_t) override {
    if (data == FindResource("wave101.wav").data()) {
      log_.push_back("wave 101");
    } else if (data == FindResource("wave102.wav").data()) {
      log_.push_back("wave 102");
    } else {
      log_.push_back("wave ?");
    }
  }

 private:
  AudioLog& log_;
};

// Returns the queued draws in order; once they run out, 0 (which spawns
// nothing). Counts the draws taken.
class ScriptedRandom : public RandomSource {
 public:
  void Seed(uint32_t) override {}
  double Next() override {
    ++taken;
    if (draws.empty()) return 0.0;
    const double u = draws.front();
    draws.pop_front();
    return u;
  }
  // Queues the draw that makes r = round(u * 25) equal to r.
  void SpawnDraw(int r) { draws.push_back(r / 25.0); }
  // Queues the draw that makes EnemyX = round(u * 350) equal to x.
  void XDraw(int x) { draws.push_back(x / 350.0); }
  // Queues both draws of one spawn.
  void Spawn(int r, int x) {
    SpawnDraw(r);
    XDraw(x);
  }

  std::deque<double> draws;
  int taken = 0;
};

// A Game over a scripted event loop with recording audio and scripted draws;
// events reach the main window's handlers. Surfaces are blank unless
// loadPictures is set.
struct GameRig {
  explicit GameRig(bool loadPictures = false) {
    if (loadPictures) LoadSurfaces(*gfx, PixelFormat{});
    loop.SetHandlers(&form);
  }
  std::unique_ptr<Surfaces> gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;
  EventLoop loop{p};
  AudioLog audio;
  RecordingModulePlayer player{audio};
  RecordingWaveOutput waveOut{audio};
  ScriptedRandom random;
  Game g{*gfx, loop, player, waveOut, random};
  MainForm form{g};
};

// A fresh play state as after Space on the title screen, with sound and music
// on and the audio log cleared.
inline void StartPlaying(GameRig& rig) {
  rig.g.world.SoundOn = rig.g.world.MusicOn = true;
  rig.g.MusicModule = 1;
  StartGame(rig.g);
  rig.audio.clear();
}
