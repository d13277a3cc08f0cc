#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "audio/silent_audio.h"
#include "tests/scripted_platform.h"

namespace {

constexpr uint32_t kModule = 7, kSection = 9;

// Logs every call with what the world looked like at that moment, so the
// order of start-up steps can be read back.
struct Recorder {
  std::vector<std::string> calls;
  std::function<std::string()> state;
  void Add(const std::string& call) { calls.push_back(call + (state ? " " + state() : "")); }
};

struct RecordingPlayer : ModulePlayer {
  explicit RecordingPlayer(Recorder& recorder) : r(recorder) {}
  // Calls the game's players answer without doing anything go unlogged.
  bool Startup() override { return true; }
  bool Init() override { return true; }
  bool StartBackgroundPlay(int) override { return true; }
  bool OpenChannels(int) override { return true; }
  uint32_t LoadModule(const char* path) override {
    r.Add(std::string("LoadModule ") + path);
    return loads ? kModule : 0;
  }
  bool SetAmplification(int) override { return true; }
  uint32_t PlayModuleSection(uint32_t, int32_t start, int32_t end, int32_t restart,
                             bool loop) override {
    r.Add("Play " + std::to_string(start) + "-" + std::to_string(end) + "/" +
          std::to_string(restart) + (loop ? " loop" : ""));
    return kSection;
  }
  bool StopModule(uint32_t) override { return r.Add("StopModule"), true; }
  bool FreeModule(uint32_t) override { return r.Add("FreeModule"), true; }
  bool CloseChannels() override { return r.Add("CloseChannels"), true; }
  bool StopBackgroundPlay() override { return r.Add("StopBackgroundPlay"), true; }
  bool Close() override { return r.Add("Close"), true; }
  Recorder& r;
  bool loads = true;
};

struct RecordingRandom : DefaultRandom {
  explicit RecordingRandom(Recorder& recorder) : r(recorder) {}
  void Seed(uint32_t seed) override {
    r.Add("Seed");
    DefaultRandom::Seed(seed);
  }
  Recorder& r;
};

const std::vector<std::string> kShutdown = {"StopModule", "FreeModule", "CloseChannels",
                                            "StopBackgroundPlay", "Close"};

struct StartupTest : ::testing::Test {
  void TestBody() override {}
  StartupTest() {
    for (int y = 0; y < 400; ++y) gfx->picTitle.Row(y)[0] = 0x200000u + static_cast<uint32_t>(y);
    loop.SetHandlers(&form);
    rec.state = [this] {
      const World& w = g.world;
      return "[caption=" + p.caption + " running=" + std::to_string(w.GameRunning) +
             " sound=" + std::to_string(w.SoundOn) + " music=" + std::to_string(w.MusicOn) +
             " lives=" + std::to_string(w.Lives) + " presents=" + std::to_string(p.presents) + "]";
    };
  }
  // The calls logged from the first one whose name starts with `from`.
  std::vector<std::string> CallsFrom(const std::string& from) const {
    auto it = rec.calls.begin();
    while (it != rec.calls.end() && it->rfind(from, 0) != 0) ++it;
    return {it, rec.calls.end()};
  }
  // Names only, without the logged state.
  std::vector<std::string> Names(const std::vector<std::string>& calls) const {
    std::vector<std::string> names;
    for (const std::string& c : calls) names.push_back(c.substr(0, c.find(" [")));
    return names;
  }

  // Starts up, lets the title run, then delivers `quit` at time t with a
  // Space behind it: the program must end there and handle nothing more.
  void ExpectShutdownAt(uint32_t t, const Event& quit) {
    Form_Load(g, "/opt/kestrane/");
    rec.calls.clear();
    p.At(t, quit);
    p.At(t, ScriptedPlatform::Key(Event::Type::KeyDown, kVkSpace));
    EXPECT_THROW(loop.Run(), ProgramExit);
    EXPECT_EQ(p.now, t);
    EXPECT_EQ(Names(rec.calls), kShutdown);
    EXPECT_FALSE(p.Idle());
  }

  Recorder rec;
  std::unique_ptr<Surfaces> gfx = std::make_unique<Surfaces>();
  ScriptedPlatform p;
  EventLoop loop{p};
  RecordingPlayer player{rec};
  SilentWaveOutput waveOut;
  RecordingRandom random{rec};
  Game g{*gfx, loop, player, waveOut, random};
  MainForm form{g};
};

}  // namespace

// The audio device (and its thread) opens after the load, which runs under a
// process-wide memory cap, and before the title tune plays.
TEST_F(StartupTest, FormLoadRunsItsStepsInOrderAndEndsOnTheTitleScreen) {
  Form_Load(g, "/opt/kestrane/", [this] { rec.Add("OpenDevice"); });
  const std::string before = "[caption= running=0 sound=0 music=0 lives=0 presents=0]";
  const std::string titled = "[caption=Kestrane v1.0 running=0 sound=0 music=0 lives=0 presents=0]";
  const std::string ready = "[caption=Kestrane v1.0 running=0 sound=1 music=1 lives=0 presents=0]";
  EXPECT_EQ(rec.calls, (std::vector<std::string>{
                           "Seed " + before,
                           "LoadModule /opt/kestrane/Kestrane.snd " + titled,
                           "OpenDevice " + titled,
                           "Play 0-8/1 loop " + ready,
                       }));
  EXPECT_EQ(p.caption, "Kestrane v1.0");
  EXPECT_EQ(g.world.Lives, 3);
  EXPECT_EQ(g.MusicModule, kModule);
  EXPECT_EQ(g.MusicPlayHandle, kSection);
  EXPECT_FALSE(g.world.GameRunning);
  EXPECT_TRUE(loop.TimerEnabled(TimerId::ScrollText));
  EXPECT_FALSE(loop.TimerEnabled(TimerId::Main));
  // The title picture is finished when the window first shows.
  for (int y = 0; y < 380; ++y) ASSERT_EQ(gfx->canvas.Pixel(0, y), gfx->picTitle.Pixel(0, y));
  EXPECT_GE(p.now, 500u);
}

TEST_F(StartupTest, MusicPathIsTheExecutableFolderWithOneSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"/opt/kestrane/", "/opt/kestrane/Kestrane.snd"},
      {"/opt/kestrane", "/opt/kestrane/Kestrane.snd"},
      {"/", "/Kestrane.snd"},
      {"", "Kestrane.snd"},
  };
  for (const auto& [folder, path] : cases) {
    World fresh;
    g.world = fresh;
    Form_Load(g, folder);
    EXPECT_EQ(g.world.MusicPath, path) << folder;
  }
  // Without the executable's folder nothing is looked for, not even in the
  // working directory: the loader refuses the empty path.
  World fresh;
  g.world = fresh;
  rec.calls.clear();
  Form_Load(g, std::nullopt);
  EXPECT_EQ(g.world.MusicPath, "");
  const std::vector<std::string> loads = Names(CallsFrom("LoadModule"));
  ASSERT_FALSE(loads.empty());
  EXPECT_EQ(loads.front(), "LoadModule ");
}

TEST_F(StartupTest, WithoutTheMusicFileTheTitleComesUpSilent) {
  player.loads = false;
  Form_Load(g, "/nowhere/");
  EXPECT_EQ(g.MusicModule, 0u);
  EXPECT_TRUE(CallsFrom("Play").empty());
  EXPECT_TRUE(g.world.MusicOn);
  EXPECT_TRUE(loop.TimerEnabled(TimerId::ScrollText));

  // Shutdown has no module to free but still closes the player.
  rec.calls.clear();
  EXPECT_THROW(UnloadMainForm(g), ProgramExit);
  EXPECT_EQ(Names(rec.calls),
            (std::vector<std::string>{"CloseChannels", "StopBackgroundPlay", "Close"}));
}

TEST_F(StartupTest, ClosingInsideTheStartUpRevealEndsAtOnce) {
  p.At(120, Event{});  // the window's close command, in the third pause
  EXPECT_THROW(Form_Load(g, "/opt/kestrane/"), ProgramExit);
  EXPECT_EQ(Names(CallsFrom("StopModule")), kShutdown);
  // Passes 0..2 were shown; nothing ran after the close: no further pass,
  // no banner start.
  EXPECT_EQ(gfx->canvas.Pixel(0, 2), gfx->picTitle.Pixel(0, 2));
  EXPECT_EQ(gfx->canvas.Pixel(0, 3), 0u);
  EXPECT_FALSE(g.world.LinkHover);
  EXPECT_EQ(p.now, 120u);
}

TEST_F(StartupTest, EscapeOnTheTitleScreenShutsDownThroughTheEventLoop) {
  ExpectShutdownAt(2000, ScriptedPlatform::Key(Event::Type::KeyDown, kVkEscape));
}

TEST_F(StartupTest, ClosingTheWindowOnTheTitleScreenShutsDownThroughTheEventLoop) {
  ExpectShutdownAt(2000, Event{});
}

namespace {

// Starts a game at 1000 ms; with `collide`, puts an enemy over the ship so
// the first frame tick (1050 ms) runs the death sequence.
void StartPlay(StartupTest& t, bool collide) {
  t.p.KeyDownAt(1000, kVkSpace);
  t.p.KeyUpAt(1001, kVkSpace);
  RunUntil(t.loop, t.p, 1010);
  ASSERT_TRUE(t.g.world.GameRunning);
  if (!collide) return;
  World& w = t.g.world;
  w.EnemyActive[0] = true;
  w.EnemyKind[0] = 2;
  w.EnemyX[0] = static_cast<int16_t>(w.PlayerX - 8);
  w.EnemyY[0] = static_cast<int16_t>(w.PlayerY - 20);
}

}  // namespace

TEST_F(StartupTest, ClosingDuringPlayShutsDownAsOnTheTitleScreen) {
  Form_Load(g, "/opt/kestrane/");
  StartPlay(*this, false);
  rec.calls.clear();
  p.At(1300, Event{});
  EXPECT_THROW(RunUntil(loop, p, 5000), ProgramExit);
  EXPECT_EQ(p.now, 1300u);
  EXPECT_EQ(Names(rec.calls), kShutdown);
  EXPECT_TRUE(g.world.GameRunning);
}

TEST_F(StartupTest, CloseOrEscapeInTheDeathSequenceEndsItAtOnce) {
  for (const Event& quit : {Event{}, ScriptedPlatform::Key(Event::Type::KeyDown, kVkEscape)}) {
    StartupTest t;
    Form_Load(t.g, "/opt/kestrane/");
    StartPlay(t, true);
    t.rec.calls.clear();
    t.p.At(1200, quit);  // inside the explosion's pauses
    EXPECT_THROW(RunUntil(t.loop, t.p, 5000), ProgramExit);
    EXPECT_EQ(t.p.now, 1200u);
    EXPECT_EQ(Names(t.rec.calls),
              (std::vector<std::string>{"StopModule", "Play 9-9/9", "StopModule", "FreeModule",
                                        "CloseChannels", "StopBackgroundPlay", "Close"}));
    // The death sequence went no further: no life taken, no new round.
    EXPECT_EQ(t.g.world.Lives, 3);
    EXPECT_FALSE(t.g.world.GameRunning);
    EXPECT_FALSE(t.loop.TimerEnabled(TimerId::Main));
  }
}

TEST_F(StartupTest, ClosingDuringTheRevealAfterPlayEndsItAtOnce) {
  Form_Load(g, "/opt/kestrane/");
  StartPlay(*this, false);
  p.KeyDownAt(1300, kVkEscape);  // back to the title
  p.At(1420, Event{});           // the window's close command, in the third pause
  rec.calls.clear();
  EXPECT_THROW(RunUntil(loop, p, 5000), ProgramExit);
  EXPECT_EQ(p.now, 1420u);
  EXPECT_EQ(Names(rec.calls),
            (std::vector<std::string>{"StopModule", "Play 0-8/1 loop", "StopModule", "FreeModule",
                                      "CloseChannels", "StopBackgroundPlay", "Close"}));
  EXPECT_FALSE(loop.TimerEnabled(TimerId::ScrollText));  // the reveal never finished
}
