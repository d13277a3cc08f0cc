#include "game/music.h"

namespace {
// Values handed to the player at start-up, as the module was tuned for them.
constexpr int kBackgroundRate = 100;
constexpr int kChannels = 50;
constexpr int kAmplification = 90;
}  // namespace

void InitMusic(Game& g) {
  if (g.MusicModule != 0) StopMusic(g, true);
  // Results are not examined: a failed step leaves the game silent, never stopped.
  g.player.Startup();
  g.player.Init();
  g.player.StartBackgroundPlay(kBackgroundRate);
  g.player.OpenChannels(kChannels);
  g.MusicModule = g.player.LoadModule(g.world.MusicPath.c_str());
  g.player.SetAmplification(kAmplification);
}

void PlaySection(Game& g, int32_t start, int32_t end, int32_t restart, bool loop) {
  if (!g.world.MusicOn) return;
  if (g.MusicModule == 0) return;
  g.MusicPlayHandle = g.player.PlayModuleSection(g.MusicModule, start, end, restart, loop);
}

void StopMusic(Game& g, bool release) {
  if (g.MusicPlayHandle != 0) g.player.StopModule(g.MusicPlayHandle);
  g.MusicPlayHandle = 0;
  if (release) {
    if (g.MusicModule != 0) g.player.FreeModule(g.MusicModule);
    g.MusicModule = 0;
  }
}

void CloseMusic(Game& g) {
  g.player.CloseChannels();
  g.player.StopBackgroundPlay();
  g.player.Close();
}
