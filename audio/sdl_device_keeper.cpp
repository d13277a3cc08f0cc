#include "audio/sdl_device_keeper.h"

#include <SDL.h>

#include <chrono>
#include <system_error>

#if defined(__unix__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// Sound libraries below SDL print their complaints about a missing sound card
// on stderr; a game without sound is normal here and must say nothing.
class QuietStderr {
 public:
#if defined(__unix__)
  QuietStderr() {
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }

 private:
  int saved_ = -1;
#endif
};
}  // namespace

// A close running on a thread of its own, which may outlive the wait for it.
struct SdlDeviceKeeper::Closing {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool Finished() {
    std::lock_guard<std::mutex> guard(mutex);
    return finished;
  }
};

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
    keeper_ = std::thread(&SdlDeviceKeeper::Keep, this, wait);
  } catch (const std::system_error&) {
    // Without the thread the game keeps the device it has, if any, for good.
  }
}

void SdlDeviceKeeper::Stop() {
  if (keeper_.joinable()) {
    {
      std::lock_guard<std::mutex> guard(keepMutex_);
      quit_ = true;
    }
    keepWake_.notify_all();
    keeper_.join();
  }
  if (events_) {
    SDL_DelEventWatch(&SdlDeviceKeeper::WatchEvents, this);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
    events_ = false;
  }
  // Once closed (or paused, if the close is left behind) the device never
  // calls back again; only then may what it plays go.
  const uint32_t device = device_.exchange(0);
  if (device != 0) Close(device);
  if (leftBehind_ && leftBehind_->Finished()) leftBehind_.reset();
  // Shutting the subsystem down would wait for the close left behind.
  if (subsystem_ && !leftBehind_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
  }
}

int SdlDeviceKeeper::WatchEvents(void* self, SDL_Event* event) {
  if (event->type == SDL_AUDIODEVICEREMOVED && event->adevice.iscapture == 0) {
    auto* keeper = static_cast<SdlDeviceKeeper*>(self);
    {
      std::lock_guard<std::mutex> guard(keeper->keepMutex_);
      keeper->removed_ = event->adevice.which;
    }
    keeper->keepWake_.notify_all();
  }
  return 0;
}

uint32_t SdlDeviceKeeper::Open(bool restartSubsystem) {
  [[maybe_unused]] QuietStderr quiet;  // does nothing where there is no such library
  if (subsystem_ && restartSubsystem) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
  }
  if (!subsystem_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    subsystem_ = true;
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

void SdlDeviceKeeper::Close(uint32_t device) {
  // Paused first, under SDL's own lock, which a driver stuck in its output
  // call does not hold: the callback is never called for this device again,
  // whatever becomes of the close.
  SDL_PauseAudioDevice(device, 1);
  auto closing = std::make_shared<Closing>();
  try {
    std::thread([device, closing] {
      SDL_CloseAudioDevice(device);
      SDL_TLSCleanup();  // SDL's error text for this thread, which SDL did not start
      {
        std::lock_guard<std::mutex> guard(closing->mutex);
        closing->finished = true;
      }
      closing->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    SDL_CloseAudioDevice(device);
    return;
  }
  std::unique_lock<std::mutex> guard(closing->mutex);
  const bool inTime =
      closing->done.wait_for(guard, std::chrono::milliseconds(DeviceRetry::kCloseWaitMs),
                             [&] { return closing->finished; });
  retry_.Closed(inTime);
  if (!inTime) leftBehind_ = closing;
}

void SdlDeviceKeeper::Keep(int waitMs) {
  std::unique_lock<std::mutex> guard(keepMutex_);
  for (;;) {
    const auto woken = [this] { return quit_ || removed_ != 0; };
    if (waitMs == DeviceRetry::kForever) {
      keepWake_.wait(guard, woken);
    } else {
      keepWake_.wait_for(guard, std::chrono::milliseconds(waitMs), woken);
    }
    if (quit_) return;
    const uint32_t removed = removed_;
    removed_ = 0;
    guard.unlock();
    const uint32_t open = retry_.Device();
    // A device can also be found dead without its report reaching us.
    const bool dead = open != 0 && SDL_GetAudioDeviceStatus(open) == SDL_AUDIO_STOPPED;
    if (retry_.Removed(dead ? open : removed)) {
      device_.store(0);
      Close(open);
    }
    waitMs = DeviceRetry::kForever;
    if (retry_.Device() == 0) {
      if (leftBehind_ && leftBehind_->Finished()) {
        leftBehind_.reset();
        retry_.CloseFinished();
      }
      waitMs = retry_.Opened(Open(retry_.MayRestartSubsystem()));
    }
    // SDL keeps the error text of a failed open for each thread, and frees
    // it only for threads of its own, which this one is not.
    SDL_TLSCleanup();
    guard.lock();
  }
}
