#include "audio/mixer_audio.h"

#include <chrono>
#include <libopenmpt/libopenmpt.hpp>
#include <system_error>
#include <thread>

#include "audio/module_file.h"
#include "audio/wave_image.h"

namespace {
class Locked {
 public:
  explicit Locked(AudioLock& lock) : lock_(lock), held_(lock_.Lock()) {}
  ~Locked() {
    if (held_) lock_.Unlock();
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  // False when the renderer is stuck: the mixer must be left alone.
  explicit operator bool() const { return held_; }

 private:
  AudioLock& lock_;
  bool held_;
};
}  // namespace

bool RenderLock::Lock() {
  if (stuck_) {
    if (!mutex_.try_lock()) return false;
    stuck_ = false;
    return true;
  }
  // Polled, not a timed wait: the renderer holds the lock well under a
  // millisecond a block, and a plain mutex is one ThreadSanitizer follows
  // (GCC 12's timed lock goes through a call it does not see).
  const auto until = std::chrono::steady_clock::now() + kWait;
  while (!mutex_.try_lock()) {
    if (std::chrono::steady_clock::now() >= until) {
      stuck_ = true;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

MixerModulePlayer::MixerModulePlayer(AudioMixer& mixer, AudioLock& lock)
    : mixer_(mixer), lock_(lock) {}

MixerModulePlayer::~MixerModulePlayer() { StopSeeking(); }

void MixerModulePlayer::StopSeeking() {
  Close();
  {
    std::lock_guard<std::mutex> guard(requestMutex_);
    quit_ = true;
  }
  requestChanged_.notify_all();
  if (seeker_.joinable()) seeker_.join();
}

MixerModulePlayer::Slot* MixerModulePlayer::Find(uint32_t handle) {
  if (handle == 0) return nullptr;
  for (Slot& s : slots_) {
    if (s.handle == handle) return &s;
  }
  return nullptr;
}

uint32_t MixerModulePlayer::NextHandle() {
  if (++lastHandle_ == 0) ++lastHandle_;
  return lastHandle_;
}

void MixerModulePlayer::Silence() {
  if (playing_ == 0) return;
  Locked locked(lock_);
  if (!locked) return;
  mixer_.StopSection();
  playing_ = 0;
}

uint32_t MixerModulePlayer::LoadModule(const char* path) {
  Slot* free = nullptr;
  for (Slot& s : slots_) {
    if (s.handle == 0 && free == nullptr) free = &s;
  }
  if (free == nullptr) return 0;
  // Parsed here, outside the lock: the callback goes on meanwhile.
  free->module = LoadModuleFile(path);
  if (!free->module) return 0;
  free->orders = free->module->get_num_orders();
  // The farthest seek tells how long section starts take.
  const auto before = ThreadTime();
  SoughtSection farthest;
  const ModuleSection last{free->orders - 1, free->orders - 1, free->orders - 1, false};
  AudioMixer::SeekSectionStart(*free->module, last, farthest);
  free->slowSeek = ThreadTime() - before > std::chrono::milliseconds(kSlowSeekMs);
  free->handle = NextHandle();
  return free->handle;
}

uint32_t MixerModulePlayer::PlayModuleSection(uint32_t module, int32_t start, int32_t end,
                                              int32_t restart, bool loop) {
  Slot* slot = Find(module);
  if (slot == nullptr) return 0;
  const int32_t last = slot->orders - 1;
  if (start < 0 || start > last || end < start || restart < 0 || restart > last) return 0;
  const ModuleSection section{start, end < last ? end : last, restart, loop};
  // The seek to the start can take long, so it runs outside the lock; the
  // callback must let go of the module first.
  if (slot->slowSeek) {
    Request request{slot, {section, 0, 0}, 0};
    Locked locked(lock_);
    if (!locked) return 0;
    if (mixer_.Music() == slot->module.get()) mixer_.StopSection();
    request.handle = playing_ = NextHandle();
    if (SeekElsewhere(request)) return playing_;
    playing_ = 0;
  }
  {
    Locked locked(lock_);
    if (!locked) return 0;
    if (mixer_.Music() == slot->module.get()) {
      mixer_.StopSection();
      playing_ = 0;
    }
  }
  SoughtSection sought;
  const auto before = ThreadTime();
  const bool ready = AudioMixer::SeekSectionStart(*slot->module, section, sought);
  // The seek at loading may have been quick where this one was not.
  slot->slowSeek = ThreadTime() - before > std::chrono::milliseconds(kSlowSeekMs);
  if (!ready) {
    Silence();
    return 0;
  }
  Locked locked(lock_);
  if (!locked) return 0;
  mixer_.StartSought(*slot->module, sought);
  playing_ = NextHandle();
  return playing_;
}

bool MixerModulePlayer::SeekElsewhere(const Request& request) {
  std::lock_guard<std::mutex> guard(requestMutex_);
  if (!seeker_.joinable()) {
    try {
      seeker_ = std::thread(&MixerModulePlayer::SeekLoop, this);
    } catch (const std::system_error&) {
      return false;
    }
  }
  request_ = request;  // an older start not yet begun is dropped
  requestChanged_.notify_all();
  return true;
}

void MixerModulePlayer::SeekLoop() {
  std::unique_lock<std::mutex> guard(requestMutex_);
  for (;;) {
    requestChanged_.wait(guard, [this] { return quit_ || request_.has_value(); });
    if (quit_) return;
    Request r = *request_;
    request_.reset();
    busy_ = r.slot;
    guard.unlock();
    const bool ready = AudioMixer::SeekSectionStart(*r.slot->module, r.sought.section, r.sought);
    {
      // A stop or a newer start since the request makes it stale.
      Locked locked(lock_);
      if (locked && ready && playing_ == r.handle) mixer_.StartSought(*r.slot->module, r.sought);
    }
    guard.lock();
    busy_ = nullptr;
    requestChanged_.notify_all();
  }
}

void MixerModulePlayer::Release(Slot& slot) {
  std::unique_lock<std::mutex> guard(requestMutex_);
  if (request_ && request_->slot == &slot) request_.reset();
  requestChanged_.wait(guard, [&] { return busy_ != &slot; });
}

void MixerModulePlayer::Abandon(Slot& slot) {
  static_cast<void>(slot.module.release());
  slot.handle = 0;
  abandoned_ = true;
}

bool MixerModulePlayer::StopModule(uint32_t playHandle) {
  if (playHandle == 0 || playHandle != playing_) return false;
  Silence();
  return true;
}

bool MixerModulePlayer::FreeModule(uint32_t module) {
  Slot* slot = Find(module);
  if (slot == nullptr) return false;
  Release(*slot);
  std::unique_ptr<openmpt::module> gone;
  {
    Locked locked(lock_);
    // A stuck renderer may be inside the module: it is left to it, and to
    // the system at the program's end.
    if (!locked) {
      Abandon(*slot);
      return true;
    }
    if (mixer_.Music() == slot->module.get()) {
      mixer_.StopSection();
      playing_ = 0;
    }
    gone = std::move(slot->module);
    slot->handle = 0;
  }
  return true;  // the module is destroyed here, outside the lock
}

bool MixerModulePlayer::CloseChannels() {
  Silence();
  return true;
}

bool MixerModulePlayer::StopBackgroundPlay() {
  Silence();
  return true;
}

bool MixerModulePlayer::Close() {
  for (Slot& s : slots_) {
    if (s.handle != 0) FreeModule(s.handle);
  }
  return true;
}

MixerWaveOutput::~MixerWaveOutput() {
  Locked locked(lock_);
  if (locked) mixer_.StopEffect();
}

const MixerWaveOutput::Converted* MixerWaveOutput::Convert(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0) return nullptr;
  // Known by content, not by address: cheap next to a play, and a buffer
  // reused for another image cannot play the old sound.
  uint64_t key = 14695981039346656037ull ^ size;
  for (size_t i = 0; i < size; ++i) key = (key ^ data[i]) * 1099511628211ull;
  if (key == 0) key = 1;
  Converted* free = nullptr;
  for (Converted& c : cache_) {
    if (c.key == key) return &c;
    if (c.key == 0 && free == nullptr) free = &c;
  }
  if (free == nullptr) return nullptr;
  WaveInfo info;
  free->playable = ParseWave(data, size, info);
  if (free->playable) ConvertWave(info, mixer_.Rate(), free->samples);
  free->playable = free->playable && !free->samples.empty();
  free->key = key;
  return free;
}

void MixerWaveOutput::Prepare(const uint8_t* data, size_t size) {
  Convert(data, size);
}

void MixerWaveOutput::PlayMemory(const uint8_t* data, size_t size) {
  const Converted* c = Convert(data, size);
  Locked locked(lock_);
  if (!locked) return;
  // A sound that cannot be played still stops the one before it.
  if (c != nullptr && c->playable) {
    mixer_.StartEffect(c->samples.data(), c->samples.size());
  } else {
    mixer_.StopEffect();
  }
}
