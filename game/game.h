// What every handler and procedure of the game works on: the world record,
// the surfaces, and the seams to the platform (host, audio, random source).
#pragma once

#include <cstdint>
#include <span>

#include "assets/surfaces.h"
#include "audio/module_player.h"
#include "audio/wave_output.h"
#include "game/host.h"
#include "game/random.h"
#include "game/world.h"

struct Game {
  Game(Surfaces& surfaces, Host& theHost, ModulePlayer& modulePlayer, WaveOutput& output,
       RandomSource& source)
      : gfx(surfaces), host(theHost), player(modulePlayer), waveOut(output), random(source) {}

  World world;
  Surfaces& gfx;
  Host& host;

  // Music layer state: the loaded module and the section playing (0 = none).
  ModulePlayer& player;
  uint32_t MusicModule = 0;
  uint32_t MusicPlayHandle = 0;

  // Effects: the wave image requested last; it lives as long as the program.
  WaveOutput& waveOut;
  std::span<const uint8_t> SoundData;

  RandomSource& random;
};
