#include "sim/device_clock.h"

#include <cstdio>

namespace tessvar::sim {

DeviceClock::DeviceClock(Clock& clock) : clock_(clock) { Set(clock.LocalNow()); }

WallTime DeviceClock::Now() const {
  const uint64_t elapsed = clock_.MonotonicMs() - baseMonotonicMs_;
  return WallTimeFromEpochMs(baseEpochMs_ + static_cast<int64_t>(elapsed));
}

void DeviceClock::Set(const WallTime& t) {
  baseEpochMs_ = EpochMsFromWallTime(t);
  baseMonotonicMs_ = clock_.MonotonicMs();
}

int64_t DeviceClock::AheadOfHostMs() const {
  return EpochMsFromWallTime(Now()) - EpochMsFromWallTime(clock_.LocalNow());
}

std::string DeviceClock::SetReport() const {
  const WallTime t = Now();
  char text[80];
  std::snprintf(text, sizeof text, "clock set to %02d:%02d:%02d.%03d (computer's clock %+lld ms)",
                t.hour, t.minute, t.second, t.millisecond, static_cast<long long>(AheadOfHostMs()));
  return text;
}

int IsoWeekday(const WallTime& t) {
  const int64_t days = DaysFromCivil(t.year, t.month, t.day);
  // 1970-01-01 was a Thursday.
  const int64_t wd = ((days % 7) + 7 + 3) % 7;  // 0 Monday
  return static_cast<int>(wd) + 1;
}

uint16_t ClockRegisterValue(ClockField field, const WallTime& t) {
  switch (field) {
    case ClockField::Ms:
      return static_cast<uint16_t>(t.second * 1000 + t.millisecond);
    case ClockField::HourMinute:
      return static_cast<uint16_t>((t.hour << 8) | t.minute);
    case ClockField::DayMonth:
      return static_cast<uint16_t>((t.day << 8) | (IsoWeekday(t) * 32 + t.month));
    case ClockField::Year:
      return static_cast<uint16_t>(t.year - 2000);
  }
  return 0;
}

}  // namespace tessvar::sim
