// Whole games through the event loop, driven only by a scripted clock,
// scripted keys and scripted draws; the same script must give the same game.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fakes.h"

namespace {

uint64_t Hash(const Surface& s) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) h = (h ^ s.Pixel(x, y)) * 1099511628211ull;
  return h;
}

// The world and the picture after every frame tick.
struct Frame {
  World world;
  uint64_t canvas;
  bool operator==(const Frame&) const = default;
};

// Passes everything to the main window and keeps a Frame after each tick.
struct Recorder : Handlers {
  Recorder(GameRig& r) : rig(r) {}
  void OnEvent(const Event& e) override { rig.form.OnEvent(e); }
  void OnTimer(TimerId id) override {
    rig.form.OnTimer(id);
    if (id == TimerId::Main) frames.push_back({rig.g.world, Hash(rig.gfx->canvas)});
  }
  GameRig& rig;
  std::vector<Frame> frames;
};

constexpr uint32_t kQuitAt = 40000;

// Start, steer left and back, fire one shot that meets a falling enemy, then
// stand still while large enemies rise into the ship until all four are lost.
// Ends with Escape on the title screen.
std::vector<Frame> PlayScript(AudioLog* audio = nullptr) {
  GameRig rig;
  Recorder rec(rig);
  rig.loop.SetHandlers(&rec);
  rig.g.MusicModule = 1;  // a module is loaded

  ScriptedPlatform& p = rig.p;
  p.KeyDownAt(600, kVkSpace);
  p.KeyUpAt(650, kVkSpace);  // fires from (178, 330) as the first tick comes
  p.KeyDownAt(700, kVkLeft);
  p.KeyUpAt(800, kVkLeft);
  p.KeyDownAt(800, kVkRight);
  p.KeyUpAt(900, kVkRight);
  p.KeyDownAt(kQuitAt, kVkEscape);

  ScriptedRandom& r = rig.random;
  r.Spawn(3, 180);  // tick 1: kind 2 falling onto the shot's path
  r.SpawnDraw(0);   // tick 11: nothing
  r.SpawnDraw(23);  // tick 21: nothing
  for (int i = 0; i < 200; ++i) r.Spawn(18, 190);  // kind 5 under the ship

  Form_Load(rig.g, "");
  EXPECT_THROW(RunUntil(rig.loop, p, kQuitAt + 1), ProgramExit);
  EXPECT_EQ(p.now, kQuitAt);

  const World& w = rig.g.world;
  EXPECT_FALSE(w.GameRunning);
  EXPECT_EQ(w.Lives, -1);
  EXPECT_EQ(w.Score, 1);
  EXPECT_FALSE(rig.loop.TimerEnabled(TimerId::Main));
  EXPECT_TRUE(rig.loop.TimerEnabled(TimerId::ScrollText));
  if (audio != nullptr) *audio = rig.audio;
  return std::move(rec.frames);
}

}  // namespace

TEST(Replay, AWholeGameFromTitleToTitleIsTheSameEveryTime) {
  AudioLog audio;
  const std::vector<Frame> first = PlayScript(&audio);
  ASSERT_FALSE(first.empty());

  // The shot flew 21 ticks and met the enemy; the ship went left and came back.
  auto tickOf = [&](auto pred) {
    return std::find_if(first.begin(), first.end(), pred) - first.begin() + 1;
  };
  EXPECT_EQ(tickOf([](const Frame& f) { return f.world.Score == 1; }), 21);
  EXPECT_EQ(first[2].world.PlayerX, 166);
  EXPECT_EQ(first[4].world.PlayerX, 178);
  EXPECT_EQ(first[0].world.EnemyY[0], -29);
  // The first large enemy enters at tick 31 and reaches the ship 20 ticks later.
  EXPECT_EQ(tickOf([](const Frame& f) { return f.world.Lives == 2; }), 50);

  EXPECT_EQ(std::count(audio.begin(), audio.end(), "wave 101"), 1);
  EXPECT_EQ(std::count(audio.begin(), audio.end(), "wave 102"), 5);  // one hit, four ships
  EXPECT_EQ(std::count(audio.begin(), audio.end(), "play 9,9,9,once"), 4);
  // Back on the title tune, then stopped by the shutdown.
  ASSERT_GE(audio.size(), 2u);
  EXPECT_EQ(audio[audio.size() - 2], "play 0,8,1,loop");
  EXPECT_EQ(audio.back(), "stop");

  const std::vector<Frame> second = PlayScript();
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) ASSERT_TRUE(first[i] == second[i]) << "tick " << i + 1;
}
