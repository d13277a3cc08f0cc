#include "audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <libopenmpt/libopenmpt.hpp>

namespace {
// Small reads keep the end of a position within a few frames at little cost.
// The section must end on the exact frame, which only reads of one frame
// find; the row's length, from speed and tempo, leaves them for its last few
// hundred frames rather than all its thousands.
constexpr size_t kChunkFrames = 64;

// Frames of a row at speed ticks a row and tempo (2.5 / tempo seconds a tick).
size_t RowFrames(int rate, int32_t speed, int32_t tempo) {
  if (speed <= 0 || tempo <= 0) return 0;
  return static_cast<size_t>(rate) * 5 * static_cast<size_t>(speed) /
         (2 * static_cast<size_t>(tempo));
}

// A restart's seek may cost at most this share of the pass it ends (the
// game's own take under half a millisecond after passes of many seconds):
// a dearer one would keep the audio thread from keeping up. A share, not a
// fixed time, so a slow machine or a preempted thread never cuts a loop short.
constexpr int kRestartShareOfPass = 4;

// Stateless, so a section sounds the same whatever played before it.
float SoftClip(float x) {
  const float level = std::fabs(x);
  if (!(level > AudioMixer::kLimitFrom)) return x;
  constexpr float kRoom = AudioMixer::kCeiling - AudioMixer::kLimitFrom;
  return std::copysign(
      AudioMixer::kLimitFrom + kRoom * std::tanh((level - AudioMixer::kLimitFrom) / kRoom), x);
}
}  // namespace

std::chrono::nanoseconds CpuTimeOfThisThread() {
#if defined(CLOCK_THREAD_CPUTIME_ID) && !defined(_WIN32)
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
  }
#endif
  return std::chrono::steady_clock::now().time_since_epoch();
}

bool AudioMixer::SeekSectionStart(openmpt::module& module, const ModuleSection& section,
                                  SoughtSection& sought) {
  try {
    sought.section = section;
    sought.lastRowOfEnd = module.get_pattern_num_rows(module.get_order_pattern(section.end)) - 1;
    // Seeking straight to a later position lets the notes heard before it ring
    // on; passing through the song's start silences every channel first.
    module.set_position_order_row(0, 0);
    module.set_position_order_row(section.start, 0);
    sought.position = module.get_current_order();
    return true;
  } catch (...) {
    return false;
  }
}

void AudioMixer::StartSought(openmpt::module& module, const SoughtSection& sought) {
  jumpPending_ = true;
  music_ = &module;
  section_ = sought.section;
  lastRowOfEnd_ = sought.lastRowOfEnd;
  position_ = sought.position;
  row_ = -1;
  passRead_ = 0;
  lastPass_ = false;
  DiscardAhead(position_);
}

void AudioMixer::StopSection() {
  jumpPending_ = jumpPending_ || music_ != nullptr || aheadPos_ < aheadEnd_;
  music_ = nullptr;
  position_ = -1;
  DiscardAhead(-1);
}

void AudioMixer::DiscardAhead(int32_t heard) {
  aheadPos_ = aheadEnd_ = 0;
  markCount_ = nextMark_ = 0;
  heard_ = heard;
}

void AudioMixer::StartEffect(const float* samples, size_t count) {
  jumpPending_ = jumpPending_ || EffectPlaying();
  effect_ = samples;
  effectCount_ = samples != nullptr ? count : 0;
  effectPos_ = 0;
}

void AudioMixer::StopEffect() {
  StartEffect(nullptr, 0);
}

void AudioMixer::TakeMusic(float* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    if (aheadPos_ == aheadEnd_) {
      if (music_ == nullptr) {
        std::fill(out + done * kChannels, out + frames * kChannels, 0.0f);
        return;
      }
      std::fill_n(ahead_.begin(), aheadFrames_ * kChannels, 0.0f);
      markCount_ = nextMark_ = 0;
      RenderMusic(ahead_.data(), aheadFrames_);
      aheadPos_ = 0;
      aheadEnd_ = aheadFrames_;
    }
    const size_t n = std::min(frames - done, aheadEnd_ - aheadPos_);
    std::copy_n(ahead_.data() + aheadPos_ * kChannels, n * kChannels, out + done * kChannels);
    // A mark on the frame after this block takes effect on the next block's
    // first frame, which is the same frame.
    for (; nextMark_ < markCount_ && marks_[static_cast<size_t>(nextMark_)].frame <= aheadPos_ + n;
         ++nextMark_) {
      const Mark& m = marks_[static_cast<size_t>(nextMark_)];
      heard_ = m.position;
      if (m.jump) MarkJump(done + (m.frame - aheadPos_));
    }
    aheadPos_ += n;
    done += n;
  }
}

void AudioMixer::AddMark(size_t frame, int32_t position, bool jump) {
  if (markCount_ < kMaxMarks) marks_[static_cast<size_t>(markCount_++)] = {frame, position, jump};
}

void AudioMixer::EndMusic(size_t frame) {
  music_ = nullptr;
  position_ = -1;
  AddMark(frame, -1, true);
}

void AudioMixer::RenderMusic(float* out, size_t frames) {
  size_t done = 0;
  try {
    RenderMusicFrom(out, frames, done);
  } catch (...) {
    // What the failed read left unwritten is silent.
    EndMusic(done);
  }
}

void AudioMixer::RenderMusicFrom(float* out, size_t frames, size_t& done) {
  // Every pass adds frames or ends the section, save a restart, which comes
  // only after minPass frames of the section: the work per block is bounded.
  const size_t minPass = static_cast<size_t>(rate_) / 8;
  const size_t maxExact = static_cast<size_t>(rate_) / 4;
  const size_t maxPass = static_cast<size_t>(rate_) * kMaxPassSeconds;
  while (done < frames && music_ != nullptr) {
    const int32_t row = music_->get_current_row();
    if (row != row_) {
      row_ = row;
      rowRead_ = 0;
      rowExact_ = 0;
    }
    size_t want = std::min(kChunkFrames, frames - done);
    if (position_ == section_.end && row >= lastRowOfEnd_) {
      // What is read of the row is counted from the read that found it, up
      // to a chunk late; tempo's rounding costs a little more.
      const size_t length =
          RowFrames(rate_, music_->get_current_speed(), music_->get_current_tempo());
      const size_t margin = kChunkFrames + length / 16;
      if (rowRead_ + margin >= length) {
        want = 1;
        // A row still going on after this many single frames is of no
        // plausible length (or the song stays in it): the section ends.
        if (++rowExact_ > maxExact) {
          EndMusic(done);
          break;
        }
      } else {
        want = std::min(want, length - margin - rowRead_);
      }
    }
    if (passRead_ > maxPass) {  // the song never reaches the section's end
      EndMusic(done);
      break;
    }
    float* dst = out + done * kChannels;
    const size_t got = music_->read_interleaved_stereo(rate_, want, dst);
    if (got == 0) {  // the song ended outright
      EndMusic(done);
      break;
    }
    rowRead_ += got;
    const int32_t now = music_->get_current_order();
    const bool left = now != position_ &&
                      (position_ == section_.end || now < section_.start || now > section_.end);
    if (!left) {
      if (now != position_) AddMark(done, now, false);
      position_ = now;
      passRead_ += got;
      done += got;
      continue;
    }
    // The frame just read already belongs to the position after the end:
    // drop it and go on from the restart position, or fall silent.
    dst[kChannels * (got - 1)] = 0;
    dst[kChannels * (got - 1) + 1] = 0;
    passRead_ += got - 1;
    if (section_.loop && passRead_ < minPass) {
      // A loop left as soon as it starts cannot be played: silence, not a
      // busy loop of restarts.
      std::fill_n(dst, kChannels * got, 0.0f);
      EndMusic(done);
      break;
    }
    done += got - 1;
    if (!section_.loop || lastPass_) {
      EndMusic(done);
      break;
    }
    // A slow seek here holds up the audio thread once; after it, the section
    // plays to its end once more and falls silent.
    const auto pass =
        std::chrono::nanoseconds(passRead_ * 1000000000ull / static_cast<size_t>(rate_));
    const auto before = CpuTimeOfThisThread();
    music_->set_position_order_row(section_.restart, 0);
    lastPass_ = (CpuTimeOfThisThread() - before) * kRestartShareOfPass > pass;
    row_ = -1;
    passRead_ = 0;
    position_ = music_->get_current_order();
    AddMark(done, position_, true);
  }
}

void AudioMixer::MarkJump(size_t frame) {
  if (jumpCount_ < kMaxJumps) jumps_[static_cast<size_t>(jumpCount_++)] = frame;
}

void AudioMixer::Smooth(float* out, size_t frames) {
  int next = 0;
  for (size_t i = 0; i < frames; ++i) {
    float* frame = out + kChannels * i;
    if (next < jumpCount_ && jumps_[static_cast<size_t>(next)] == i) {
      ++next;
      for (int c = 0; c < kChannels; ++c) {
        // The step still being faded counts as part of the sound before the jump.
        step_[c] = last_[c] - frame[c];
      }
      smoothLeft_ = kSmoothFrames;
    }
    if (smoothLeft_ > 0) {
      const float weight = static_cast<float>(smoothLeft_--) / kSmoothFrames;
      for (int c = 0; c < kChannels; ++c) frame[c] += step_[c] * weight;
    }
    for (int c = 0; c < kChannels; ++c) {
      last_[c] = frame[c];  // jumps are smoothed before the limit, in the plain sum
      frame[c] = SoftClip(frame[c]);
    }
  }
  // A jump on the frame after this block is smoothed at the start of the next.
  jumpPending_ = next < jumpCount_;
  jumpCount_ = 0;
}

void AudioMixer::Render(float* out, size_t frames) noexcept {
  if (drainer_.load(std::memory_order_acquire) != kRenderDrains) {
    int expected = kGameDrains;
    if (!drainer_.compare_exchange_strong(expected, kRenderDrains, std::memory_order_acq_rel)) {
      // The game thread is applying its commands this very moment, before
      // the first block of a new device: one block of silence, no wait.
      std::fill_n(out, frames * kChannels, 0.0f);
      return;
    }
  }
  if (restartPending_.exchange(false, std::memory_order_acq_rel)) Restart();
  Drain(true);
  if (jumpPending_) MarkJump(0);
  TakeMusic(out, frames);
  for (size_t i = 0; i < frames && effectPos_ < effectCount_; ++i) {
    const float v = effect_[effectPos_++] * kEffectGain;
    out[kChannels * i] += v;
    out[kChannels * i + 1] += v;
  }
  Smooth(out, frames);
}
