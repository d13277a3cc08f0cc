// The one place sound is made: renders the music section playing and the
// sound effect playing into stereo float frames. The SDL audio callback calls
// Render for the device; tests call it directly, with no device at all.
//
// Three threads meet here and none ever waits for another. The game thread
// posts commands into a queue; whoever renders takes them at the start of
// each block. A section's start is sought on the seeking thread: the render
// lets go of the module, hands it over through a second queue and takes it
// back, set at its start, through a third. Until the first block (and after
// a device stops for good) no render runs, and the game thread applies its
// commands itself; the first block takes that role over.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "audio/command_queue.h"

namespace openmpt {
class module;
}

// The processor time the calling thread has used: a seek's cost without the
// time other programs held the processor meanwhile. Windows counts it in
// scheduler ticks (10 to 16 ms), too coarse; there the wall clock is taken,
// which errs towards taking a seek for slow.
std::chrono::nanoseconds CpuTimeOfThisThread();

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

// What the game thread asks of the mixer.
struct MixerCommand {
  enum class Kind : uint8_t { kPlay, kStop, kForget, kEffect };
  Kind kind = Kind::kStop;
  uint32_t handle = 0;                    // kPlay: the play handle
  openmpt::module* module = nullptr;      // kPlay, kForget
  ModuleSection section;                  // kPlay
  std::atomic<bool>* letGo = nullptr;    // kForget: set once nothing uses the module
  const float* samples = nullptr;         // kEffect; null stops the effect playing
  size_t count = 0;
};

// Work for the seeking thread: a section's start to seek, or (letGo set) a
// module no longer used, to be reported free once every seek before it ended.
struct SeekRequest {
  openmpt::module* module = nullptr;
  ModuleSection section;
  uint32_t handle = 0;
  std::atomic<bool>* letGo = nullptr;
};
struct SeekResult {
  openmpt::module* module = nullptr;
  SoughtSection sought;
  uint32_t handle = 0;
  bool ready = false;
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

  // The game thread's: queues a command, applied at the start of the next
  // block (at once while no render runs). False only when the queue is full,
  // which means the render stopped taking commands: a fault, never a load.
  static constexpr size_t kQueuedCommands = 512;
  bool Post(const MixerCommand& command);
  // The game thread's: commands refused so far, for tests to keep at 0.
  uint32_t Overflows() const { return overflows_; }
  // Counts the commands applied while rendering (for measuring).
  uint32_t CommandsRendered() const { return rendered_.load(std::memory_order_acquire); }
  uint32_t EffectsRendered() const { return effectsRendered_.load(std::memory_order_acquire); }

  // The seeking thread's side. Set once, by the game thread, before it posts
  // its first start; without it the render seeks a section's start itself
  // (a browser without threads).
  void UseSeekingThread() { seekingThread_.store(true, std::memory_order_release); }
  // Changes whenever a request is queued (or the seeker is told to end);
  // WaitForSeekWork sleeps until it differs from what was seen.
  uint32_t SeekWork() const { return seekWork_.load(std::memory_order_acquire); }
  void WaitForSeekWork(uint32_t seen) const {
#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
    seekWork_.wait(seen, std::memory_order_acquire);
#else
    static_cast<void>(seen);  // no seeking thread without threads
#endif
  }
  void WakeSeeker();
  bool TakeSeekRequest(SeekRequest& request) { return seekRequests_.Pop(request); }
  // Never full: the render has at most a queue's worth of seeks outstanding.
  void PostSeekResult(const SeekResult& result) { seekResults_.Push(result); }

  // How a section plays: song positions start..end of the module from the
  // start of start, then from restart for ever when loop is set, silence
  // after end when not. SeekSectionStart sets the module at the start; it
  // touches no mixer state, so the seeking thread runs it while the mixer
  // renders another module. False when the module cannot be set there.
  static bool SeekSectionStart(openmpt::module& module, const ModuleSection& section,
                               SoughtSection& sought);
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

  // For a new device after the old one was lost, from the thread that opened
  // it; never waits. At the next block the output starts from silence, so it
  // fades in from nothing rather than from the last sound the old device was
  // sent; the section playing, if any, starts again from its start, sought
  // on the seeking thread. The effect playing is dropped: a shot heard late
  // is worse than none. A section that ended (a jingle, a stuck one) stays so.
  void RestartOnNewDevice() { restartPending_.store(true, std::memory_order_release); }
  // From the thread that stopped the device, once it will never call Render
  // again: the game thread applies its commands itself until the next one.
  void DeviceStopped() { drainer_.store(kGameDrains, std::memory_order_release); }

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

  enum : int { kGameDrains, kGameDraining, kRenderDrains };
  void StartSought(openmpt::module& module, const SoughtSection& sought);
  // The commands and the seeking thread's answers, taken by whoever drains.
  void Drain(bool rendering);
  void Apply(const MixerCommand& command);
  void Restart();
  void RequestSeek(openmpt::module* module, const ModuleSection& section, uint32_t handle);
  void LetGo(openmpt::module* module, std::atomic<bool>* letGo);
  void SendSeekRequests();
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

  CommandQueue<MixerCommand, kQueuedCommands> commands_;
  static constexpr size_t kQueuedSeeks = 16;
  CommandQueue<SeekRequest, kQueuedSeeks> seekRequests_;
  CommandQueue<SeekResult, kQueuedSeeks> seekResults_;
  std::atomic<int> drainer_{kGameDrains};
  std::atomic<bool> restartPending_{false};
  std::atomic<bool> seekingThread_{false};
  std::atomic<uint32_t> seekWork_{0};
  std::atomic<uint32_t> rendered_{0}, effectsRendered_{0};
  uint32_t overflows_ = 0;  // the game thread's
  // The drainer's: what the game last asked to play (0: nothing), the
  // requests not yet taken by the seeking thread's queue, in order (one
  // start at most, and one let-go for each module slot), and the seeks sent
  // whose answers have not come back.
  uint32_t wanted_ = 0;
  openmpt::module* wantedModule_ = nullptr;
  static constexpr size_t kUnsent = 8;
  std::array<SeekRequest, kUnsent> unsent_{};
  size_t unsentCount_ = 0;
  size_t seeksOut_ = 0;
  uint32_t effectsUnheard_ = 0;

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
