// The one place sound is made: renders the music section playing and the
// sound effect playing into stereo float frames. The SDL audio callback calls
// Render for the device; tests call it directly, with no device at all.
//
// Not thread-safe, on purpose: the callback renders and the game thread only
// sends commands (start, stop), each under the device lock. The module
// player is not thread-safe either, so rendering it anywhere but inside the
// callback would need a second lock and a hand-off buffer with its own latency.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace openmpt {
class module;
}

struct ModuleSection {
  int32_t start = 0, end = 0, restart = 0;
  bool loop = false;
};

// A module set at the start of a section, ready to be played.
struct PreparedSection {
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

  explicit AudioMixer(int rate) : rate_(rate) {}
  int Rate() const { return rate_; }

  // Plays song positions start..end of the module from the start of start,
  // then from restart for ever when loop is set; silence after end when not.
  // The section must lie inside the module's order list. Replaces any section
  // playing; the module must outlive the section (StopSection).
  void StartSection(openmpt::module& module, const ModuleSection& section);
  // StartSection in two steps, for a caller that takes the lock only for the
  // second: Prepare seeks the module (slow for some modules) and touches no
  // mixer state, so it may run while the mixer renders, as long as the
  // module is not the one rendered; false when the module cannot be set
  // there. StartPrepared then plays it at once.
  static bool Prepare(openmpt::module& module, const ModuleSection& section,
                      PreparedSection& prepared);
  void StartPrepared(openmpt::module& module, const PreparedSection& prepared);
  void StopSection();
  // The module of the section playing, or null once it is stopped or over.
  const openmpt::module* Music() const { return music_; }
  // The song position being heard, -1 when no section is playing.
  int32_t CurrentPosition() const;

  // Plays mono samples at the mixer's rate, cutting off the effect playing.
  // They must stay valid until the next StartEffect or StopEffect.
  void StartEffect(const float* samples, size_t count);
  void StopEffect();
  bool EffectPlaying() const { return effectPos_ < effectCount_; }

  // Renders frames stereo frames (interleaved left, right). Never throws: a
  // module that fails while rendering is dropped and the music falls silent.
  void Render(float* out, size_t frames) noexcept;

 private:
  void RenderMusic(float* out, size_t frames);
  // Where the output jumps (a start, a stop, a loop, an effect cut), the step
  // from the frame before is faded out over a few milliseconds: no click.
  void MarkJump(size_t frame);
  void Smooth(float* out, size_t frames);

  int rate_;
  openmpt::module* music_ = nullptr;
  ModuleSection section_;
  int32_t lastRowOfEnd_ = 0;
  int32_t position_ = -1;
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
