#pragma once
// The one source of time for the core: wall time for dates and recordings, a monotonic
// millisecond counter for durations and time-outs. The two are never compared.
#include <cstdint>

namespace tessvar {

struct WallTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int dayOfWeek = 4;  // 0 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; never goes backwards.
  virtual uint64_t MonotonicMs() = 0;
  virtual WallTime UtcNow() = 0;
  virtual WallTime LocalNow() = 0;
  // Blocks the caller for the given time. A window's clock keeps painting meanwhile.
  virtual void Sleep(uint32_t ms) = 0;
  // Lets the host process pending events; no time passes on a virtual clock.
  virtual void Yield() {}
  // True once the user ended the wait of the window thread ("Стоп", the close box): every
  // wait then returns at once, and the code that waited returns without sending anything
  // more. Waits that are not Sleep (sockets) go in slices with Yield between and ask this.
  virtual bool Cancelled() { return false; }
};

// Converts between a civil date and days since 1970-01-01 (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);
WallTime WallTimeFromEpochMs(int64_t epochMs);
int64_t EpochMsFromWallTime(const WallTime& t);

}  // namespace tessvar
