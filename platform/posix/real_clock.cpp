#include "platform/posix/real_clock.h"

#include <time.h>

#include <chrono>
#include <thread>

namespace tessvar {

uint64_t RealClock::MonotonicMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

WallTime RealClock::UtcNow() {
  using namespace std::chrono;
  return WallTimeFromEpochMs(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

WallTime RealClock::LocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  WallTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.dayOfWeek = local.tm_wday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

void RealClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace tessvar
