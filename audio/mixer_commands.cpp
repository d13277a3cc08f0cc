// The mixer's side of its queues: commands from the game thread, section
// starts to and from the seeking thread, the restart for a new device.
#include <libopenmpt/libopenmpt.hpp>

#include "audio/mixer.h"

bool AudioMixer::Post(const MixerCommand& command) {
  if (!commands_.Push(command)) {
    ++overflows_;
    return false;
  }
  int expected = kGameDrains;
  if (drainer_.compare_exchange_strong(expected, kGameDraining, std::memory_order_acq_rel)) {
    Drain(false);
    drainer_.store(kGameDrains, std::memory_order_release);
  }
  return true;
}

void AudioMixer::WakeSeeker() {
  seekWork_.fetch_add(1, std::memory_order_release);
#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
  // A futex wake where the system has one: no lock the seeking thread holds.
  seekWork_.notify_one();
#endif
}

void AudioMixer::Drain(bool rendering) {
  MixerCommand command;
  uint32_t applied = 0, effects = 0;
  while (commands_.Pop(command)) {
    Apply(command);
    ++applied;
    if (command.kind == MixerCommand::Kind::kEffect) ++effects;
  }
  SeekResult result;
  while (seekResults_.Pop(result)) {
    --seeksOut_;
    // An answer to a start since replaced or stopped is dropped unread: its
    // module may be gone.
    if (result.handle != wanted_ || result.module != wantedModule_) continue;
    if (result.ready) {
      StartSought(*result.module, result.sought);
    } else {
      wanted_ = 0;
      wantedModule_ = nullptr;
    }
  }
  SendSeekRequests();
  // An effect the game thread applied while no render ran is heard in the
  // next block rendered.
  effectsUnheard_ += effects;
  if (!rendering) return;
  if (applied > 0) rendered_.fetch_add(applied, std::memory_order_release);
  if (effectsUnheard_ > 0) {
    effectsRendered_.fetch_add(effectsUnheard_, std::memory_order_release);
    effectsUnheard_ = 0;
  }
}

void AudioMixer::Apply(const MixerCommand& c) {
  switch (c.kind) {
    case MixerCommand::Kind::kPlay:
      StopSection();
      RequestSeek(c.module, c.section, c.handle);
      break;
    case MixerCommand::Kind::kStop:
      StopSection();
      RequestSeek(nullptr, {}, 0);
      break;
    case MixerCommand::Kind::kForget:
      if (music_ == c.module) StopSection();
      if (wantedModule_ == c.module) RequestSeek(nullptr, {}, 0);
      LetGo(c.module, c.letGo);
      break;
    case MixerCommand::Kind::kEffect:
      StartEffect(c.samples, c.count);
      break;
  }
}

void AudioMixer::Restart() {
  StopEffect();
  if (music_ != nullptr) {
    openmpt::module* module = music_;
    StopSection();
    RequestSeek(module, section_, wanted_);
  }
  std::fill(std::begin(last_), std::end(last_), 0.0f);
  smoothLeft_ = 0;
  jumpCount_ = 0;
  jumpPending_ = true;
}

// The module must not be the one rendered. A null module only forgets what
// was wanted.
void AudioMixer::RequestSeek(openmpt::module* module, const ModuleSection& section,
                             uint32_t handle) {
  wanted_ = module != nullptr ? handle : 0;
  wantedModule_ = module;
  // A start not yet sent is replaced, not queued behind: its answer would be
  // dropped anyway.
  size_t kept = 0;
  for (size_t i = 0; i < unsentCount_; ++i) {
    if (unsent_[i].letGo != nullptr) unsent_[kept++] = unsent_[i];
  }
  unsentCount_ = kept;
  if (module == nullptr) return;
  if (!seekingThread_.load(std::memory_order_acquire)) {
    SoughtSection sought;
    if (SeekSectionStart(*module, section, sought)) {
      StartSought(*module, sought);
    } else {
      wanted_ = 0;
      wantedModule_ = nullptr;
    }
    return;
  }
  // Room is always left: one start, and at most one let-go per module slot.
  if (unsentCount_ < kUnsent) unsent_[unsentCount_++] = {module, section, handle, nullptr};
}

void AudioMixer::LetGo(openmpt::module* module, std::atomic<bool>* letGo) {
  // With nothing out on the seeking thread, nothing can touch the module.
  if (seeksOut_ == 0 && unsentCount_ == 0) {
    letGo->store(true, std::memory_order_release);
    return;
  }
  if (unsentCount_ < kUnsent) unsent_[unsentCount_++] = {module, {}, 0, letGo};
}

void AudioMixer::SendSeekRequests() {
  size_t sent = 0;
  // At most a queue's worth of seeks out, so its answers always find room.
  while (sent < unsentCount_ && seeksOut_ < kQueuedSeeks && seekRequests_.Push(unsent_[sent])) {
    if (unsent_[sent].letGo == nullptr) ++seeksOut_;
    ++sent;
  }
  if (sent == 0) return;
  std::copy(unsent_.begin() + static_cast<long>(sent),
            unsent_.begin() + static_cast<long>(unsentCount_), unsent_.begin());
  unsentCount_ -= sent;
  WakeSeeker();
}
