#include <gtest/gtest.h>

#include <vector>

#include "tests/scripted_platform.h"

namespace {

// Handlers that log what they get, with the clock at that moment.
struct Log : Handlers {
  explicit Log(ScriptedPlatform& platform) : p(platform) {}
  void OnEvent(const Event& e) override {
    events.push_back({p.now, e.key});
    if (onEvent) onEvent(e);
  }
  void OnTimer(TimerId id) override {
    (id == TimerId::Main ? mainTicks : scrollTicks).push_back(p.now);
    if (onTimer) onTimer(id);
  }
  ScriptedPlatform& p;
  std::vector<std::pair<uint32_t, int16_t>> events;
  std::vector<uint32_t> mainTicks, scrollTicks;
  std::function<void(const Event&)> onEvent;
  std::function<void(TimerId)> onTimer;
};

struct EventLoopTest : ::testing::Test {
  EventLoopTest() { loop.SetHandlers(&log); }
  ScriptedPlatform p;
  EventLoop loop{p};
  Log log{p};
};

}  // namespace

TEST_F(EventLoopTest, TimersStartAsCreatedAndTickOneIntervalAfterEnabling) {
  EXPECT_FALSE(loop.TimerEnabled(TimerId::Main));
  EXPECT_TRUE(loop.TimerEnabled(TimerId::ScrollText));
  loop.SetTimerEnabled(TimerId::ScrollText, false);

  p.now = 1000;
  loop.SetTimerEnabled(TimerId::Main, true);
  RunUntil(loop, p, 1049);
  EXPECT_TRUE(log.mainTicks.empty());
  RunUntil(loop, p, 1201);
  EXPECT_EQ(log.mainTicks, (std::vector<uint32_t>{1050, 1100, 1150, 1200}));

  // Enabling an enabled timer does not restart its interval.
  p.now = 1210;
  loop.SetTimerEnabled(TimerId::Main, true);
  RunUntil(loop, p, 1251);
  EXPECT_EQ(log.mainTicks.back(), 1250u);

  // Disabled: no tick; re-enabled: again one interval later.
  loop.SetTimerEnabled(TimerId::Main, false);
  RunUntil(loop, p, 1400);
  EXPECT_EQ(log.mainTicks.size(), 5u);
  loop.SetTimerEnabled(TimerId::Main, true);
  RunUntil(loop, p, 1451);
  EXPECT_EQ(log.mainTicks.back(), 1450u);
  EXPECT_TRUE(log.scrollTicks.empty());
}

TEST_F(EventLoopTest, ALateTimerFiresOnceNotInABurst) {
  loop.SetTimerEnabled(TimerId::Main, true);  // due at 50
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  p.now = 500;  // the program was busy for ten intervals
  loop.DispatchPending(0);
  loop.DispatchPending(0);
  EXPECT_EQ(log.mainTicks, (std::vector<uint32_t>{500}));
  RunUntil(loop, p, 551);
  EXPECT_EQ(log.mainTicks, (std::vector<uint32_t>{500, 550}));

  // A tick handled a few milliseconds late keeps the rhythm: the next comes
  // on time, not one interval after the late one.
  p.now = 603;
  loop.DispatchPending(0);
  RunUntil(loop, p, 701);
  EXPECT_EQ(log.mainTicks, (std::vector<uint32_t>{500, 550, 603, 650, 700}));
}

TEST_F(EventLoopTest, InputComesBeforeTimersAndWaitsEndEarlyForIt) {
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  p.KeyDownAt(30, kVkSpace);
  p.KeyUpAt(30, kVkSpace);
  loop.DispatchPending(1000);  // wakes at 30 for the key, does not sleep on
  EXPECT_EQ(p.now, 30u);
  ASSERT_EQ(log.events.size(), 2u);
  EXPECT_EQ(log.events[0], (std::pair<uint32_t, int16_t>{30, kVkSpace}));
}

TEST_F(EventLoopTest, HandlersCanDispatchNestedAndTimersRunInside) {
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  loop.SetTimerEnabled(TimerId::Main, true);
  int depth = 0, maxDepth = 0;
  log.onTimer = [&](TimerId) {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (log.mainTicks.size() == 1) loop.Pause(120);  // the first tick waits inside
    --depth;
  };
  p.KeyDownAt(70, kVkLeft);
  RunUntil(loop, p, 200);
  // Ticks at 100 and 150 ran nested inside the first one's pause; the key
  // was delivered during it at once.
  EXPECT_EQ(maxDepth, 2);
  EXPECT_EQ(log.events.front().first, 70u);
  EXPECT_EQ(log.mainTicks, (std::vector<uint32_t>{50, 100, 150, 200}));
}

TEST(Pause, LastsAtLeastTheTimeAndHandlesEventsAtOnce) {
  ScriptedPlatform p;
  EventLoop loop(p);
  Log log(p);
  loop.SetHandlers(&log);
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  p.now = 100;
  p.KeyDownAt(110, kVkM);
  loop.Pause(25);
  EXPECT_EQ(p.now, 125u);
  ASSERT_EQ(log.events.size(), 1u);
  EXPECT_EQ(log.events[0].first, 110u);

  // A long pause waits in a few blocking calls, not a spin.
  const int waitsBefore = p.waits;
  loop.Pause(2000);
  EXPECT_EQ(p.now, 2125u);
  EXPECT_LT(p.waits - waitsBefore, 5);

  // Zero returns at once without dispatching anything pending.
  p.KeyDownAt(2125, kVkS);
  loop.Pause(0);
  EXPECT_EQ(log.events.size(), 1u);
  EXPECT_EQ(p.now, 2125u);
}

TEST(Pause, SpansTheClockWrap) {
  ScriptedPlatform p;
  EventLoop loop(p);
  loop.SetTimerEnabled(TimerId::ScrollText, false);
  p.now = 0xFFFFFFF0u;
  loop.Pause(50);
  EXPECT_EQ(p.now, 0x22u);  // 16 ms before the wrap, 34 after

  // Timers keep their rhythm across the wrap too.
  Log log(p);
  loop.SetHandlers(&log);
  p.now = 0xFFFFFFE0u;
  loop.SetTimerEnabled(TimerId::Main, true);
  RunUntil(loop, p, 0x50u);
  EXPECT_EQ(log.mainTicks, (std::vector<uint32_t>{0x12u, 0x44u}));
}
