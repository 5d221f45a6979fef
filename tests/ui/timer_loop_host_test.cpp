#include <gtest/gtest.h>

#include <array>

#include "tests/support/scripted_host.h"
#include "ui/dialog.h"

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
