#include "platform/posix/real_clock.h"

#include <windows.h>

namespace tessvar {
namespace {

WallTime FromSystemTime(const SYSTEMTIME& st) {
  WallTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.dayOfWeek = st.wDayOfWeek;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

}  // namespace

uint64_t RealClock::MonotonicMs() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  // Whole seconds and the remainder apart, so the product never overflows.
  const auto ticks = static_cast<uint64_t>(now.QuadPart);
  const auto f = static_cast<uint64_t>(frequency);
  return ticks / f * 1000 + ticks % f * 1000 / f;
}

WallTime RealClock::UtcNow() {
  SYSTEMTIME st{};
  GetSystemTime(&st);
  return FromSystemTime(st);
}

WallTime RealClock::LocalNow() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return FromSystemTime(st);
}

void RealClock::Sleep(uint32_t ms) { ::Sleep(ms); }

}  // namespace tessvar
