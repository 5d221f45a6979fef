#include "platform/clock.h"

namespace tessvar {

int64_t DaysFromCivil(int year, int month, int day) {
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

WallTime WallTimeFromEpochMs(int64_t epochMs) {
  int64_t days = epochMs >= 0 ? epochMs / 86400000 : -((-epochMs + 86399999) / 86400000);
  int64_t msOfDay = epochMs - days * 86400000;
  WallTime t;
  t.hour = static_cast<int>(msOfDay / 3600000);
  t.minute = static_cast<int>(msOfDay / 60000 % 60);
  t.second = static_cast<int>(msOfDay / 1000 % 60);
  t.millisecond = static_cast<int>(msOfDay % 1000);
  t.dayOfWeek = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

int64_t EpochMsFromWallTime(const WallTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400000 + t.hour * 3600000LL +
         t.minute * 60000LL + t.second * 1000LL + t.millisecond;
}

}  // namespace tessvar
