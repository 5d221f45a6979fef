#pragma once
// The transducer's own real-time clock: it runs with the host clock from whatever time it was
// last set to, and the clock registers report it.
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace tessvar::sim {

class DeviceClock {
 public:
  // Starts at the host's local time, as a transducer set by its installer would be.
  explicit DeviceClock(Clock& clock);

  WallTime Now() const;
  // Sets the clock; the weekday is recomputed from the date.
  void Set(const WallTime& t);
  // How far the clock is ahead of the host's local time (negative: behind), ms.
  int64_t AheadOfHostMs() const;
  // "clock set to 12:34:57.000 (computer's clock -3 ms)": what the simulator reports after a
  // client set its clock, so a test can read how close the setting came.
  std::string SetReport() const;

 private:
  Clock& clock_;
  int64_t baseEpochMs_ = 0;
  uint64_t baseMonotonicMs_ = 0;
};

// The clock registers of a MODBUS transducer.
enum class ClockField : uint8_t { Ms, HourMinute, DayMonth, Year };

// Weekday as the transducer counts it: 1 Monday ... 7 Sunday.
int IsoWeekday(const WallTime& t);
uint16_t ClockRegisterValue(ClockField field, const WallTime& t);

}  // namespace tessvar::sim
