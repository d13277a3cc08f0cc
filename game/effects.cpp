#include "game/effects.h"

#include "assets/resources.h"

void PlayWave(Game& g, int id) {
  if (!g.world.SoundOn) return;
  // The images are part of the executable, so the bytes a playing sound
  // reads stay valid for the program's whole life.
  g.SoundData = FindResource(id == kShotWave ? "wave101.wav" : id == kHitWave ? "wave102.wav" : "");
  if (g.SoundData.empty()) return;
  g.waveOut.PlayMemory(g.SoundData.data(), g.SoundData.size());
}
