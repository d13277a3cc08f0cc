// The one place sound is made: renders the music section playing and the
// sound effect playing into stereo float frames. The SDL audio callback calls
// Render for the device; tests call it directly, with no device at all.
//
// Not thread-safe, on purpose: the callback renders and the game thread only
// sends commands (start, stop), each under the audio lock. The module
// player is not thread-safe either, so rendering it anywhere but inside the
// callback would need a second lock and a hand-off buffer with its own latency.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace openmpt {
class module;
}

// The processor time the calling thread has used: a seek's cost without the
// time other programs held the processor meanwhile. Windows counts it in
// scheduler ticks (10 to 16 ms), too coarse; there the wall clock is taken,
// which errs towards taking a seek for slow.
std::chrono::nanoseconds ThreadTime();

struct ModuleSection {
  int32_t start = 0, end = 0, restart = 0;
  bool loop = false;
};

// A module set at the start of a section, ready to be played.
struct SoughtSection {
  ModuleSection section;
  int32_t lastRowOfEnd = 0;
  int32_t position = 0;
};

class AudioMixer {
 public:
  static constexpr int kChannels = 2;
  // The effects sit a little above the music.
  static constexpr float kEffectGain = 0.6f;
  // The output passes unchanged up to kLimitFrom (-3.1 dBFS); louder sums, an
  // effect over a loud bar, bend smoothly towards kCeiling (-1.5 dBFS, so that
  // even between samples the sound stays under -1 dBFS) and never
  // reach it, so nothing clips on the way to the device.
  static constexpr float kLimitFrom = 0.7f;
  static constexpr float kCeiling = 0.84f;

  // The music is rendered ahead of the output in slices of this many frames:
  // the player then runs a few times a second with its code and data still
  // in cache, rather than once a device block with both evicted, which costs
  // it three times as much. A command discards what lies ahead, so it is
  // heard from the next block on, as before. A tool that reads the player's
  // row between blocks sets ahead to its block size, so the row read is the
  // one heard next.
  static constexpr size_t kAheadFrames = 4096;
  explicit AudioMixer(int rate, size_t ahead = kAheadFrames)
      : rate_(rate), aheadFrames_(std::clamp<size_t>(ahead, 1, kAheadFrames)) {}
  int Rate() const { return rate_; }

  // Plays song positions start..end of the module from the start of start,
  // then from restart for ever when loop is set; silence after end when not.
  // The section must lie inside the module's order list. Replaces any section
  // playing; the module must outlive the section (StopSection).
  void StartSection(openmpt::module& module, const ModuleSection& section);
  // StartSection in two steps, for a caller that takes the lock only for the
  // second: SeekSectionStart seeks the module (slow for some modules) and touches no
  // mixer state, so it may run while the mixer renders, as long as the
  // module is not the one rendered; false when the module cannot be set
  // there. StartSought then plays it at once.
  static bool SeekSectionStart(openmpt::module& module, const ModuleSection& section,
                               SoughtSection& sought);
  void StartSought(openmpt::module& module, const SoughtSection& sought);
  void StopSection();
  // The module of the section playing, or null once it is stopped or
  // rendered to its end (which may be heard a little later).
  const openmpt::module* Music() const { return music_; }
  // The song position being heard, -1 when no section is playing.
  int32_t CurrentPosition() const { return heard_; }

  // Plays mono samples at the mixer's rate, cutting off the effect playing.
  // They must stay valid until the next StartEffect or StopEffect.
  void StartEffect(const float* samples, size_t count);
  void StopEffect();
  bool EffectPlaying() const { return effectPos_ < effectCount_; }
  // The frames of the effect last started rendered so far.
  size_t EffectFramesRendered() const { return effectPos_; }

  // Renders frames stereo frames (interleaved left, right). Never throws: a
  // module that fails while rendering is dropped and the music falls silent.
  void Render(float* out, size_t frames) noexcept;

  // For a new device after the old one was lost: its output starts from
  // silence, so the first block fades in from nothing rather than from the
  // last sound the old device was sent; the section playing, if any, starts
  // again from its start (its seek runs here, under the caller's lock). The
  // effect playing is dropped: a shot heard late is worse than none.
  void RestartOnNewDevice();

 private:
  // Where, inside the music rendered ahead, the position heard changes, and
  // whether the output jumps there (a loop, the end).
  struct Mark {
    size_t frame;
    int32_t position;
    bool jump;
  };
  static constexpr int kMaxMarks = 16;
  // A pass through the section longer than this never reaches its end.
  static constexpr size_t kMaxPassSeconds = 600;

  void DiscardAhead(int32_t heard);
  void TakeMusic(float* out, size_t frames);
  void RenderMusic(float* out, size_t frames);
  void RenderMusicFrom(float* out, size_t frames, size_t& done);
  void AddMark(size_t frame, int32_t position, bool jump);
  void EndMusic(size_t frame);
  // Where the output jumps (a start, a stop, a loop, an effect cut), the step
  // from the frame before is faded out over a few milliseconds: no click.
  void MarkJump(size_t frame);
  void Smooth(float* out, size_t frames);

  int rate_;
  size_t aheadFrames_;
  openmpt::module* music_ = nullptr;
  ModuleSection section_;
  int32_t lastRowOfEnd_ = 0;
  int32_t position_ = -1;  // where rendering is, ahead of what is heard
  int32_t row_ = -1;       // the row rendering is in, and the frames read of it
  size_t rowRead_ = 0;
  size_t rowExact_ = 0;    // of those, read one frame at a time
  size_t passRead_ = 0;    // frames rendered since the start or the last restart
  bool lastPass_ = false;  // the last restart was slow: no more
  int32_t heard_ = -1;
  std::array<float, kAheadFrames * kChannels> ahead_{};
  size_t aheadPos_ = 0, aheadEnd_ = 0;  // the frames rendered and not yet taken
  std::array<Mark, kMaxMarks> marks_{};
  int markCount_ = 0, nextMark_ = 0;
  const float* effect_ = nullptr;
  size_t effectCount_ = 0, effectPos_ = 0;

  static constexpr int kMaxJumps = 4;
  static constexpr int kSmoothFrames = 96;
  std::array<size_t, kMaxJumps> jumps_{};
  int jumpCount_ = 0;
  bool jumpPending_ = false;  // a command changed the sound before the next block
  float last_[kChannels] = {};
  float step_[kChannels] = {};
  int smoothLeft_ = 0;
};
