// Keeps an SDL output device open for as long as the game runs. With
// audio/sdl_audio.* and audio/sdl_resample.*, the only audio code that calls
// SDL.
//
// The device may go at any time (a sound server restarted, a headset switched
// off, the server's only output removed) or be missing at start (a server not
// up yet, or up with no output). A thread of its own then opens the default
// one again, trying every couple of seconds at most and sleeping in between;
// a second thread closes the old devices, so a close that never returns
// holds neither the reopening nor the quit. What the device plays is the
// feed's: the keeper only opens, loses and reopens.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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
  // nothing was rendered before it); deviceStopped runs once a device is
  // paused for good, after which render is not called for it again.
  struct Feed {
    void (*render)(void* user, uint8_t* stream, int length);
    void (*deviceOpened)(void* user, bool firstDevice);
    void (*deviceStopped)(void* user);
    void* user;
  };
  SdlDeviceKeeper(Format format, Feed feed) : format_(format), feed_(feed) {}
  // Opens the default device, if there is one, and from then on keeps one
  // open. SDL's audio thread, the sound server's library and the keeper's
  // two threads exist from here on. Called once, by the game's thread.
  void Start();
  // Pauses the device and ends the keeper's threads, closing the device on
  // the way; true once all of that is done within `within`, and then SDL's
  // audio is shut down and the feed never called again. False when a thread
  // is still inside SDL (a close that never returns, a frozen sound server):
  // the feed may still be called, so the program must end without
  // destroying it. Called by the game's thread at the end.
  bool Stop(std::chrono::milliseconds within);
  // Stops as above, however long that takes; also the destructor's.
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
  // Opens the default device, starting SDL's audio first when it is not
  // running, or restarting it when asked; 0 when there is none.
  uint32_t Open(bool restartAudio);
  // The keeping thread: reopens the device when it is lost, as DeviceRetry
  // says, until the quit.
  void ReopenLostDevices(int firstWaitMs);
  // The closing thread: closes the devices handed over, until the quit.
  void CloseOldDevices();
  // Pauses the device, so the feed is never called for it again, and hands
  // it to the closing thread.
  void HandOver(uint32_t device);
  // Ends what Start began once both threads have ended.
  void ShutDown();

  const Format format_;
  const Feed feed_;
  bool audio_ = false;   // SDL's audio subsystem runs
  bool events_ = false;  // SDL's event subsystem, for the removal reports
  std::atomic<uint32_t> opened_{0};
  std::atomic<uint32_t> device_{0};
  DeviceRetry retry_;  // the keeping thread's alone once it runs

  // The state the two threads and Stop share.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  uint32_t removed_ = 0;  // a device reported gone, not yet handled
  // Devices paused and waiting for the closing thread; one that does not fit
  // (the closing thread stuck for that many devices) stays paused for good.
  std::array<uint32_t, 4> toClose_{};
  size_t toCloseCount_ = 0;
  bool closeRunning_ = false;
  bool reopenerEnded_ = false;
  bool closerEnded_ = false;
  std::thread reopener_;
  std::thread closer_;
};
