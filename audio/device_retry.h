// When the device keeper opens its device again. No SDL and no clock here,
// so the rules are tested directly (tests/sdl_audio_test.cpp).
#pragma once

#include <algorithm>
#include <cstdint>

class DeviceRetry {
 public:
  // A restarting sound server is usually back within a second; one that is
  // not running yet (a game started with the session), or has no output, is
  // tried every couple of seconds, each try costing a few milliseconds on a
  // thread that sleeps in between.
  static constexpr int kFirstWaitMs = 250;
  static constexpr int kLongestWaitMs = 2000;
  // Waiting with nothing to do: until woken.
  static constexpr int kForever = -1;

  // The device open now, 0 when none.
  uint32_t Device() const { return device_; }

  // An open was tried: returns how long to wait before anything else.
  int Opened(uint32_t device) {
    device_ = device;
    if (device != 0) {
      wait_ = kFirstWaitMs;
      return kForever;
    }
    const int wait = wait_;
    wait_ = std::min(2 * wait_, kLongestWaitMs);
    return wait;
  }
  // Whether a report that device is gone concerns the open one; if so it
  // must be closed, and the next open comes at once.
  bool Removed(uint32_t device) {
    if (device == 0 || device != device_) return false;
    device_ = 0;
    wait_ = kFirstWaitMs;
    return true;
  }

 private:
  uint32_t device_ = 0;
  int wait_ = kFirstWaitMs;
};
