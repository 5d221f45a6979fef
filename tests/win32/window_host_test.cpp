// The Win32 window host: timers by (dialog, id), closures posted from other threads, and
// waits of the window thread that keep painting while holding back ticks and closures.
// Message pumping is bounded in count; nothing asserts how long anything took.
#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <thread>

#include "platform/posix/real_clock.h"
#include "tests/qt/test_template.h"
#include "win32/win32_clock.h"
#include "win32/win32_window_host.h"

namespace tessvar::win32 {
namespace {

// Pumps the window thread's messages until `done` or about 3 s of rounds.
template <typename Done>
bool PumpUntil(Win32WindowHost& host, Done done) {
  for (int round = 0; round < 300 && !done(); ++round) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) host.Dispatch(msg);
  }
  return done();
}

TEST(Win32WindowHost, TimersTickTheirOwnDialogUntilKilled) {
  Win32WindowHost host;
  Dialog a{test::kAllKindsDialog}, b{test::kAllKindsDialog};
  std::vector<int> ticksA, ticksB;
  a.OnTimer([&](int id) { ticksA.push_back(id); });
  b.OnTimer([&](int id) { ticksB.push_back(id); });
  host.SetTimer(a, 1, 10);
  host.SetTimer(b, 1, 10);
  host.SetTimer(a, 7, 0);  // a zero period ticks as soon as the window is idle
  ASSERT_TRUE(PumpUntil(host, [&] {
    return std::count(ticksA.begin(), ticksA.end(), 7) >= 1 && std::count(ticksA.begin(), ticksA.end(), 1) >= 2 &&
           !ticksB.empty();
  }));
  EXPECT_TRUE(std::all_of(ticksB.begin(), ticksB.end(), [](int id) { return id == 1; }));
  host.KillTimer(a, 1);
  host.KillTimer(a, 7);
  host.KillTimer(b, 1);
  ticksA.clear();
  ticksB.clear();
  PumpUntil(host, [round = 0]() mutable { return ++round > 10; });
  EXPECT_TRUE(ticksA.empty());
  EXPECT_TRUE(ticksB.empty());
}

TEST(Win32WindowHost, PostedClosuresRunOnTheWindowThreadInOrder) {
  Win32WindowHost host;
  const DWORD windowThread = GetCurrentThreadId();
  std::vector<int> order;
  std::atomic<int> wrongThread{0};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i)
      host.Post([&, i] {
        if (GetCurrentThreadId() != windowThread) ++wrongThread;
        order.push_back(i);
      });
  });
  worker.join();
  ASSERT_TRUE(PumpUntil(host, [&] { return order.size() == 20; }));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
  EXPECT_EQ(wrongThread.load(), 0);
}

TEST(Win32WindowHost, AWaitHoldsBackTicksAndClosures) {
  Win32WindowHost host;
  RealClock real;
  Win32Clock clock(real, host);
  Dialog d{test::kAllKindsDialog};
  int ticks = 0;
  bool ranInWait = false;
  bool waiting = false;
  int posted = 0;
  d.OnTimer([&](int) {
    ++ticks;
    if (waiting) ranInWait = true;
  });
  host.SetTimer(d, 3, 10);
  host.Post([&] {
    ++posted;
    if (waiting) ranInWait = true;
  });
  waiting = true;
  clock.Sleep(60);  // long enough for several timer periods
  waiting = false;
  EXPECT_FALSE(ranInWait) << "no handler runs inside another one's wait";
  ASSERT_TRUE(PumpUntil(host, [&] { return posted == 1 && ticks >= 1; }));
  host.KillTimer(d, 3);
}

}  // namespace
}  // namespace tessvar::win32
