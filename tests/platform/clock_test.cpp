#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/posix/real_clock.h"
#include "platform/virtual_clock.h"

namespace tessvar {
namespace {

TEST(CivilDate, RoundTripsAcrossLeapYearsAndEpoch) {
  struct Case {
    int y, m, d;
    int64_t days;
    int dow;
  } cases[] = {{1970, 1, 1, 0, 4},       {2000, 2, 29, 11016, 2}, {2026, 12, 9, 20796, 3},
               {1969, 12, 31, -1, 3},    {2100, 3, 1, 47541, 1},  {2024, 2, 29, 19782, 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(DaysFromCivil(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
    const WallTime t = WallTimeFromEpochMs(c.days * 86400000 + 45296789);
    EXPECT_EQ(t.year, c.y);
    EXPECT_EQ(t.month, c.m);
    EXPECT_EQ(t.day, c.d);
    EXPECT_EQ(t.dayOfWeek, c.dow);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 34);
    EXPECT_EQ(t.second, 56);
    EXPECT_EQ(t.millisecond, 789);
    EXPECT_EQ(EpochMsFromWallTime(t), c.days * 86400000 + 45296789);
  }
}

TEST(VirtualClock, SleepAdvancesBothClocksAndCrossesMidnight) {
  VirtualClock clock;
  clock.SetLocal(WallTime{2026, 12, 9, 3, 23, 59, 58, 500});
  const uint64_t start = clock.MonotonicMs();
  clock.Sleep(3000);
  EXPECT_EQ(clock.MonotonicMs() - start, 3000u);
  const WallTime local = clock.LocalNow();
  EXPECT_EQ(local.day, 10);
  EXPECT_EQ(local.hour, 0);
  EXPECT_EQ(local.second, 1);
  EXPECT_EQ(local.millisecond, 500);
  const WallTime utc = clock.UtcNow();
  EXPECT_EQ(utc.hour, 21);  // local is UTC+3 by default
}

TEST(VirtualClock, ListenersSeeEveryAdvanceWithoutRecursing) {
  VirtualClock clock;
  int calls = 0;
  clock.AddListener([&](uint64_t) {
    ++calls;
    clock.Sleep(1);  // a peer that itself waits must not recurse for ever
  });
  clock.Sleep(10);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(clock.MonotonicMs(), 11u);
}

TEST(RealClock, LocalAndUtcAgreeOnTheMinute) {
  RealClock clock;
  const uint64_t a = clock.MonotonicMs();
  const uint64_t b = clock.MonotonicMs();
  EXPECT_LE(a, b);
  const WallTime utc = clock.UtcNow();
  EXPECT_GE(utc.year, 2024);
  EXPECT_GE(clock.LocalNow().year, 2024);
}

}  // namespace
}  // namespace tessvar
