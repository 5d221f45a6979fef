#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "tests/support/scripted_host.h"
#include "ui/dialog.h"
#include "ui/timer_schedule.h"

namespace tessvar {
namespace {

constexpr std::array<ControlTemplate, 1> kControls{
    ControlTemplate{1, ControlKind::PushButton, "OK", {0, 0, 10, 10}}};
constexpr DialogTemplate kTemplate{1, "T", 100, 50, "MS Sans Serif", 8, 0, kControls};

TEST(TimerLoopHost, TimersFireInPeriodOrderOnTheVirtualClock) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  std::vector<std::pair<int, uint64_t>> ticks;
  d.OnTimer([&](int id) { ticks.emplace_back(id, clock.MonotonicMs()); });
  host.SetTimer(d, 1, 500);
  host.SetTimer(d, 2, 300);
  host.RunFor(1000);
  const std::vector<std::pair<int, uint64_t>> expected{{2, 300}, {1, 500}, {2, 600}, {2, 900}, {1, 1000}};
  EXPECT_EQ(ticks, expected);
  EXPECT_EQ(clock.MonotonicMs(), 1000u);
}

TEST(TimerLoopHost, ABlockingHandlerGetsOneLateTickNotABacklog) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  int ticks = 0;
  d.OnTimer([&](int) {
    if (++ticks == 1) clock.Sleep(3000);  // a restart pause inside the tick
  });
  host.SetTimer(d, 1, 100);
  host.RunFor(3250);
  // 100 (blocks to 3100), one late tick at 3100, then 3200.
  EXPECT_EQ(ticks, 3);
}

// A closure that posts itself again after letting time pass (a connection taking turns on
// the window thread) must not starve the timers, and the host must not idle past it.
TEST(TimerLoopHost, AClosureThatKeepsPostingItselfLeavesRoomForTimers) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  std::vector<uint64_t> ticks;
  d.OnTimer([&](int) { ticks.push_back(clock.MonotonicMs()); });
  host.SetTimer(d, 1, 250);
  int turns = 0;
  std::function<void()> turn = [&] {
    ++turns;
    clock.Advance(20);
    host.Post(turn);
  };
  host.Post(turn);
  host.RunFor(1000);
  EXPECT_EQ(ticks, (std::vector<uint64_t>{260, 500, 760, 1000}));
  // One every 20 ms up to the last tick and the one queued then: no idle jump over a turn.
  EXPECT_EQ(turns, 51);
}

TEST(TimerSchedule, TicksKeepTheirPhase) {
  struct Case {
    const char* what;
    uint64_t due;
    uint32_t period;
    uint64_t now;
    uint64_t next;
  };
  const Case cases[] = {
      {"on time", 1000, 100, 1000, 1100},
      {"handler time does not move the grid", 1000, 100, 1007, 1100},
      {"late by less than a period", 1000, 100, 1099, 1100},
      {"late by exactly a period: the missed tick is dropped", 1000, 100, 1100, 1200},
      {"late by many periods: one tick, then the grid", 1000, 100, 4050, 4100},
      {"an odd period", 0, 333, 1000, 1332},
  };
  for (const Case& c : cases) EXPECT_EQ(NextTickDue(c.due, c.period, c.now), c.next) << c.what;

  struct Arm {
    const char* what;
    uint32_t period;
    uint64_t now;
    std::optional<RunningTick> running;
    uint64_t first;
  };
  const Arm arms[] = {
      {"armed from outside a tick", 100, 1234, std::nullopt, 1334},
      {"re-armed in its own tick", 100, 1030, RunningTick{1000, 100}, 1100},
      {"re-armed with another period", 200, 1030, RunningTick{1000, 100}, 1230},
      {"re-armed after the grid point passed (a restart pause)", 100, 4000,
       RunningTick{1000, 100}, 4100},
      {"re-armed exactly on the grid point", 100, 1100, RunningTick{1000, 100}, 1200},
  };
  for (const Arm& a : arms) EXPECT_EQ(FirstTickDue(a.period, a.now, a.running), a.first) << a.what;
}

TEST(TimerLoopHost, AHandlerThatReArmsItsTimerAroundAWaitKeepsTheCadence) {
  // As the TCP poll tick does: kill, wait for the reply, re-arm; the wait and the work
  // take 7 ms, and every fifth tick fails and restarts after a 3 s pause.
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  std::vector<uint64_t> ticks;
  d.OnTimer([&](int id) {
    ticks.push_back(clock.MonotonicMs());
    host.KillTimer(d, id);
    clock.Sleep(7);
    if (ticks.size() == 5) clock.Sleep(3000);
    host.SetTimer(d, id, 100);
  });
  host.SetTimer(d, 1, 100);
  host.RunFor(3700);
  const std::vector<uint64_t> expected{100, 200, 300, 400, 500, 3607};
  EXPECT_EQ(ticks, expected);
}

TEST(TimerLoopHost, KillFromInsideTheHandlerStopsIt) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  int ticks = 0;
  d.OnTimer([&](int id) {
    ++ticks;
    host.KillTimer(d, id);
  });
  host.SetTimer(d, 7, 5000);
  host.RunFor(20000);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(host.HasTimer(d, 7));
}

TEST(TimerLoopHost, PostedClosuresRunBeforeTimersAndStopEndsTheRun) {
  VirtualClock clock;
  test::ScriptedHost host(clock);
  Dialog d(kTemplate);
  std::vector<std::string> order;
  d.OnTimer([&](int) { order.push_back("tick"); });
  host.SetTimer(d, 1, 10);
  host.Post([&] { order.push_back("posted"); });
  host.RunFor(1000, [&] { return order.size() >= 3; });
  EXPECT_EQ(order, (std::vector<std::string>{"posted", "tick", "tick"}));
  EXPECT_EQ(clock.MonotonicMs(), 20u);
}

}  // namespace
}  // namespace tessvar
