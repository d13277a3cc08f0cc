// Keeps an SDL output device open for as long as the game runs. With
// audio/sdl_audio.* and audio/sdl_resample.*, the only audio code that calls
// SDL.
//
// The device may go at any time (a sound server restarted, a headset switched
// off) or be missing at start (a server not up yet). A thread of its own then
// closes the old device and opens the default one again, trying every couple
// of seconds at most and sleeping in between. What the device plays is the
// feed's: the keeper only opens, loses and reopens.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/device_retry.h"

union SDL_Event;

class SdlDeviceKeeper {
 public:
  struct Format {
    int rate;
    int channels;
    int blockFrames;
  };
  // What every device opened plays: render fills one block of float samples
  // on SDL's audio thread; deviceOpened runs on the keeping thread once a
  // device is open and still paused, before its first block (firstDevice:
  // nothing was rendered before it).
  struct Feed {
    void (*render)(void* user, uint8_t* stream, int length);
    void (*deviceOpened)(void* user, bool firstDevice);
    void* user;
  };
  SdlDeviceKeeper(Format format, Feed feed) : format_(format), feed_(feed) {}
  // Opens the default device and from then on keeps one open. SDL's audio
  // thread, the sound server's library and the keeping thread exist from
  // here on. Called once, by the game's thread.
  void Start();
  // Ends the keeping thread and closes the device: the feed is never called
  // again. Called by the game's thread at the end, or by the destructor.
  void Stop();
  ~SdlDeviceKeeper() { Stop(); }
  SdlDeviceKeeper(const SdlDeviceKeeper&) = delete;
  SdlDeviceKeeper& operator=(const SdlDeviceKeeper&) = delete;

  // The device open now (SDL's id), 0 when none.
  uint32_t Device() const { return device_.load(); }
  // How many devices were opened so far (SDL reuses their ids).
  uint32_t DevicesOpened() const { return opened_.load(); }

 private:
  static int WatchEvents(void* self, SDL_Event* event);
  // Opens the default device, starting SDL's audio subsystem (again, when
  // allowed: the only way some drivers reach a server that has restarted);
  // 0 when there is none.
  uint32_t Open(bool restartSubsystem);
  // Closes the device, waiting no longer than the retry rules allow.
  void Close(uint32_t device);
  void Keep(int firstWaitMs);

  const Format format_;
  const Feed feed_;
  bool subsystem_ = false;
  bool events_ = false;
  std::atomic<uint32_t> opened_{0};
  std::atomic<uint32_t> device_{0};
  // The keeping thread's state, under keepMutex_ (device_ apart).
  std::mutex keepMutex_;
  std::condition_variable keepWake_;
  bool quit_ = false;
  uint32_t removed_ = 0;  // a device reported gone, not yet handled
  DeviceRetry retry_;     // the keeping thread's alone once it runs
  struct Closing;
  std::shared_ptr<Closing> leftBehind_;  // a close that did not return in time
  std::thread keeper_;
};
