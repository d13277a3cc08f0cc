// Audio that plays nothing: used where there is no audio device, and by tests.
#pragma once

#include "audio/module_player.h"
#include "audio/wave_output.h"

class SilentModulePlayer : public ModulePlayer {
 public:
  bool Startup() override { return true; }
  bool Init() override { return true; }
  bool StartBackgroundPlay(int) override { return true; }
  bool OpenChannels(int) override { return true; }
  uint32_t LoadModule(const char*) override { return 0; }
  bool SetAmplification(int) override { return true; }
  uint32_t PlayModuleSection(uint32_t, int32_t, int32_t, int32_t, bool) override { return 0; }
  bool StopModule(uint32_t) override { return true; }
  bool FreeModule(uint32_t) override { return true; }
  bool CloseChannels() override { return true; }
  bool StopBackgroundPlay() override { return true; }
  bool Close() override { return true; }
};

class SilentWaveOutput : public WaveOutput {
 public:
  void PlayMemory(const uint8_t*, size_t) override {}
};
