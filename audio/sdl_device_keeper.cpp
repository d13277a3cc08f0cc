#include "audio/sdl_device_keeper.h"

#include <SDL.h>

#include <system_error>

#include "audio/sound_system.h"

void SdlDeviceKeeper::Start() {
  if (events_) return;
  // The device's removal comes as an event, on whichever thread notices it;
  // the watch hands it to the keeping thread, so the game's thread is never
  // woken for it.
  if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return;
  events_ = true;
  SDL_AddEventWatch(&SdlDeviceKeeper::WatchEvents, this);
  const int wait = retry_.Opened(Open(false));
  try {
    closer_ = std::thread(&SdlDeviceKeeper::CloseOldDevices, this);
    reopener_ = std::thread(&SdlDeviceKeeper::ReopenLostDevices, this, wait);
  } catch (const std::system_error&) {
    // Without the threads the game keeps the device it has, if any, for good.
    std::lock_guard<std::mutex> guard(mutex_);
    reopenerEnded_ = !reopener_.joinable();
    closerEnded_ = !closer_.joinable();
    quit_ = true;  // a closing thread alone has nothing to do
    wake_.notify_all();
  }
}

bool SdlDeviceKeeper::Stop(std::chrono::milliseconds within) {
  if (!events_) return true;
  std::unique_lock<std::mutex> guard(mutex_);
  quit_ = true;
  wake_.notify_all();
  if (!wake_.wait_for(guard, within, [this] { return reopenerEnded_ && closerEnded_; }))
    return false;
  guard.unlock();
  ShutDown();
  return true;
}

void SdlDeviceKeeper::Stop() {
  if (!events_) return;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  ShutDown();
}

void SdlDeviceKeeper::ShutDown() {
  if (reopener_.joinable()) reopener_.join();
  if (closer_.joinable()) closer_.join();
  // Without the threads, the device may still be open here.
  const uint32_t device = device_.exchange(0);
  if (device != 0) SDL_CloseAudioDevice(device);
  SDL_DelEventWatch(&SdlDeviceKeeper::WatchEvents, this);
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
  events_ = false;
  if (audio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  audio_ = false;
}

int SdlDeviceKeeper::WatchEvents(void* self, SDL_Event* event) {
  // A report with no device (one that was never opened, sent by SDL's
  // PulseAudio driver right after the loss of ours) must not hide the report
  // of ours still waiting for the keeping thread.
  if (event->type == SDL_AUDIODEVICEREMOVED && event->adevice.iscapture == 0 &&
      event->adevice.which != 0) {
    auto* keeper = static_cast<SdlDeviceKeeper*>(self);
    std::lock_guard<std::mutex> guard(keeper->mutex_);
    keeper->removed_ = event->adevice.which;
    keeper->wake_.notify_all();
  }
  return 0;
}

uint32_t SdlDeviceKeeper::Open(bool restartAudio) {
  if (audio_ && restartAudio) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio_ = false;
  }
  if (!audio_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    audio_ = true;
    sound_system::QuietAlsa();
  }
  SDL_AudioSpec want{};
  want.freq = format_.rate;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(format_.channels);
  want.samples = static_cast<Uint16>(format_.blockFrames);
  want.callback = feed_.render;
  want.userdata = feed_.user;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants, so the
  // mixer always renders one format.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) return 0;
  // Opened paused: whatever the feed does for a new device is in place
  // before the first block.
  feed_.deviceOpened(feed_.user, opened_.load() == 0);
  device_.store(device);
  opened_.fetch_add(1);
  SDL_PauseAudioDevice(device, 0);
  return device;
}

void SdlDeviceKeeper::HandOver(uint32_t device) {
  // Paused under SDL's own lock, which a driver stuck in its output call does
  // not hold, and which the callback holds for one block at most; never
  // under mutex_, which SDL's audio thread takes to report a removal.
  SDL_PauseAudioDevice(device, 1);
  feed_.deviceStopped(feed_.user);
  std::lock_guard<std::mutex> guard(mutex_);
  if (toCloseCount_ == toClose_.size()) return;
  toClose_[toCloseCount_++] = device;
  wake_.notify_all();
}

void SdlDeviceKeeper::ReopenLostDevices(int waitMs) {
  std::unique_lock<std::mutex> guard(mutex_);
  bool wasClosing = false;
  for (;;) {
    // Woken by a removal, the quit, or a close that ended while there is no
    // device (SDL's audio may be restarted now).
    const auto woken = [&] {
      const bool closing = closeRunning_ || toCloseCount_ > 0;
      const bool closeEnded = wasClosing && !closing && retry_.Device() == 0;
      wasClosing = closing;
      return quit_ || removed_ != 0 || closeEnded;
    };
    if (waitMs == DeviceRetry::kForever) {
      wake_.wait(guard, woken);
    } else {
      wake_.wait_for(guard, std::chrono::milliseconds(waitMs), woken);
    }
    if (quit_) break;
    const uint32_t removed = removed_;
    removed_ = 0;
    guard.unlock();
    const uint32_t open = retry_.Device();
    // A device can also be found dead without its report reaching us.
    const bool dead = open != 0 && SDL_GetAudioDeviceStatus(open) == SDL_AUDIO_STOPPED;
    if (retry_.Removed(dead ? open : removed)) {
      device_.store(0);
      HandOver(open);
    }
    waitMs = DeviceRetry::kForever;
    if (retry_.Device() == 0) {
      // Restarting SDL's audio closes every device it has, so not while the
      // closing thread may be inside a close; the end of that close wakes us.
      guard.lock();
      const bool mayRestart = !closeRunning_ && toCloseCount_ == 0;
      wasClosing = !mayRestart;
      guard.unlock();
      waitMs = retry_.Opened(Open(mayRestart));
    }
    // SDL keeps the error text of a failed open for each thread, and frees
    // it only for threads of its own, which this one is not.
    SDL_TLSCleanup();
    guard.lock();
  }
  guard.unlock();
  const uint32_t device = device_.exchange(0);
  if (device != 0) HandOver(device);
  guard.lock();
  reopenerEnded_ = true;
  wake_.notify_all();
}

void SdlDeviceKeeper::CloseOldDevices() {
  std::unique_lock<std::mutex> guard(mutex_);
  for (;;) {
    wake_.wait(guard, [this] { return toCloseCount_ > 0 || (quit_ && reopenerEnded_); });
    if (toCloseCount_ == 0) break;
    const uint32_t device = toClose_[--toCloseCount_];
    closeRunning_ = true;
    guard.unlock();
    SDL_CloseAudioDevice(device);
    guard.lock();
    closeRunning_ = false;
    wake_.notify_all();
  }
  SDL_TLSCleanup();  // SDL's error text for this thread, which SDL did not start
  closerEnded_ = true;
  wake_.notify_all();
}
