// The module-player layer: the operations the music code relies on. The real
// one plays a tracker module over libopenmpt through SDL audio; tests use a
// recording one. Handles are 0 for "none".
#pragma once

#include <cstdint>

class ModulePlayer {
 public:
  virtual ~ModulePlayer() = default;
  virtual bool Startup() = 0;
  virtual bool Init() = 0;
  virtual bool StartBackgroundPlay(int rate) = 0;
  virtual bool OpenChannels(int channels) = 0;
  // Loads the module file; 0 when it is missing or cannot be played.
  virtual uint32_t LoadModule(const char* path) = 0;
  virtual bool SetAmplification(int amplification) = 0;
  // Plays song positions start..end, then from restart for ever when loop is
  // set, or falls silent after end when it is not. Returns a play handle.
  virtual uint32_t PlayModuleSection(uint32_t module, int32_t start, int32_t end, int32_t restart,
                                     bool loop) = 0;
  virtual bool StopModule(uint32_t playHandle) = 0;
  virtual bool FreeModule(uint32_t module) = 0;
  virtual bool CloseChannels() = 0;
  virtual bool StopBackgroundPlay() = 0;
  virtual bool Close() = 0;
};
