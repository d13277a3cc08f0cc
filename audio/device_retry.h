// When the audio platform opens its device again. No SDL and no clock here,
// so the rules are tested directly.
#pragma once

#include <algorithm>
#include <cstdint>

class DeviceRetry {
 public:
  // A restarting sound server is usually back within a second; one that is
  // not running yet (a game started with the session) is tried every couple
  // of seconds, each try costing a few milliseconds on a thread that sleeps
  // in between.
  static constexpr int kFirstWaitMs = 250;
  static constexpr int kLongestWaitMs = 2000;
  // How long a close may take before it is left behind: some drivers' close
  // of a dead device never returns (its thread stuck in a call to the gone
  // endpoint).
  static constexpr int kCloseWaitMs = 1500;
  // Waiting with nothing to do: until woken.
  static constexpr int kForever = -1;

  // The device open now, 0 when none.
  uint32_t Device() const { return device_; }
  // Whether the whole audio subsystem may be shut down and started again
  // before an open: false while a close left behind may still be running,
  // since shutting down would wait for it.
  bool MayRestartSubsystem() const { return !closeLeftBehind_; }

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
  // The close of the old device returned in time, or was left behind.
  void Closed(bool inTime) { closeLeftBehind_ = closeLeftBehind_ || !inTime; }
  // A close left behind has returned since.
  void CloseFinished() { closeLeftBehind_ = false; }

 private:
  uint32_t device_ = 0;
  int wait_ = kFirstWaitMs;
  bool closeLeftBehind_ = false;
};
