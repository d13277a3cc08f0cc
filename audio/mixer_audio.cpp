#include "audio/mixer_audio.h"

#include <libopenmpt/libopenmpt.hpp>
#include <system_error>

#include "audio/module_file.h"
#include "audio/wave_image.h"

MixerModulePlayer::MixerModulePlayer(AudioMixer& mixer, Seeking seeking, SeekFunction seek)
    : mixer_(mixer), seeking_(seeking), seek_(seek) {}

MixerModulePlayer::~MixerModulePlayer() {
  Quit();
  if (seeker_.joinable()) seeker_.join();
}

bool MixerModulePlayer::Quit() {
  quitting_ = true;
  seekerQuit_.store(true);
  mixer_.WakeSeeker();
  // Inside a seek the thread is left to it; otherwise it ends at once.
  if (seeker_.joinable() && !busy_.load()) seeker_.join();
  return !seeker_.joinable();
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

void MixerModulePlayer::Post(const MixerCommand& command) {
  if (!quitting_) mixer_.Post(command);
}

void MixerModulePlayer::Silence() {
  if (playing_ == 0) return;
  MixerCommand stop;
  stop.kind = MixerCommand::Kind::kStop;
  Post(stop);
  playing_ = 0;
  playingSlot_ = nullptr;
}

uint32_t MixerModulePlayer::LoadModule(const char* path) {
  Slot* free = nullptr;
  for (Slot& s : slots_) {
    if (s.handle != 0 || (s.freed && !s.letGo.load(std::memory_order_acquire))) continue;
    free = &s;
    break;
  }
  if (free == nullptr) return 0;
  free->module.reset();  // a module freed before, which nothing uses any more
  free->freed = false;
  free->letGo.store(false, std::memory_order_relaxed);
  free->module = LoadModuleFile(path);
  if (!free->module) return 0;
  free->orders = free->module->get_num_orders();
  free->handle = NextHandle();
  return free->handle;
}

uint32_t MixerModulePlayer::PlayModuleSection(uint32_t module, int32_t start, int32_t end,
                                              int32_t restart, bool loop) {
  Slot* slot = Find(module);
  if (slot == nullptr || quitting_) return 0;
  const int32_t last = slot->orders - 1;
  if (start < 0 || start > last || end < start || restart < 0 || restart > last) return 0;
  StartSeekingThread();
  playing_ = NextHandle();
  playingSlot_ = slot;
  MixerCommand play;
  play.kind = MixerCommand::Kind::kPlay;
  play.handle = playing_;
  play.module = slot->module.get();
  play.section = {start, end < last ? end : last, restart, loop};
  Post(play);
  return playing_;
}

void MixerModulePlayer::StartSeekingThread() {
  if (seeking_ == Seeking::kInRender || seeker_.joinable()) return;
  try {
    seeker_ = std::thread(&MixerModulePlayer::SeekLoop, this);
    mixer_.UseSeekingThread();
  } catch (const std::system_error&) {
    // No threads (a browser build without them): the render seeks itself.
  }
}

void MixerModulePlayer::SeekLoop() {
  for (;;) {
    const uint32_t seen = mixer_.SeekWork();
    for (;;) {
      // Marked busy before the quit is read: a quit that finds the thread
      // idle is sure it starts no seek after.
      busy_.store(true);
      SeekRequest r;
      if (seekerQuit_.load() || !mixer_.TakeSeekRequest(r)) break;
      if (r.letGo != nullptr) {
        r.letGo->store(true, std::memory_order_release);
        continue;
      }
      SeekResult result{r.module, {}, r.handle, false};
      result.ready = seek_(*r.module, r.section, result.sought);
      mixer_.PostSeekResult(result);
    }
    busy_.store(false);
    if (seekerQuit_.load()) return;
    mixer_.WaitForSeekWork(seen);
  }
}

bool MixerModulePlayer::StopModule(uint32_t playHandle) {
  if (playHandle == 0 || playHandle != playing_) return false;
  Silence();
  return true;
}

bool MixerModulePlayer::FreeModule(uint32_t module) {
  Slot* slot = Find(module);
  if (slot == nullptr) return false;
  if (playingSlot_ == slot) {
    playing_ = 0;
    playingSlot_ = nullptr;
  }
  MixerCommand forget;
  forget.kind = MixerCommand::Kind::kForget;
  forget.module = slot->module.get();
  forget.letGo = &slot->letGo;
  Post(forget);
  slot->handle = 0;
  slot->freed = true;
  return true;
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

// Known by content, not by address: cheap next to a play, and a buffer
// reused for another image cannot play the old sound.
uint64_t MixerWaveOutput::KeyOf(const uint8_t* data, size_t size) {
  uint64_t key = 14695981039346656037ull ^ size;
  for (size_t i = 0; i < size; ++i) key = (key ^ data[i]) * 1099511628211ull;
  return key == 0 ? 1 : key;
}

void MixerWaveOutput::Prepare(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0) return;
  const uint64_t key = KeyOf(data, size);
  Converted* free = nullptr;
  for (Converted& c : cache_) {
    if (c.key == key) return;
    if (c.key == 0 && free == nullptr) free = &c;
  }
  if (free == nullptr) return;
  WaveInfo info;
  free->playable = ParseWave(data, size, info);
  if (free->playable) ConvertWave(info, mixer_.Rate(), free->samples);
  free->playable = free->playable && !free->samples.empty();
  free->key = key;
}

void MixerWaveOutput::PlayMemory(const uint8_t* data, size_t size) {
  MixerCommand effect;
  effect.kind = MixerCommand::Kind::kEffect;
  const uint64_t key = data != nullptr && size > 0 ? KeyOf(data, size) : 0;
  for (const Converted& c : cache_) {
    if (key == 0 || c.key != key || !c.playable) continue;
    effect.samples = c.samples.data();
    effect.count = c.samples.size();
  }
  ++played_;
  mixer_.Post(effect);
}
