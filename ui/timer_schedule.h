#pragma once
// When a window timer ticks next. Ticks keep the phase they were started with: the n-th
// tick is due at start + n × period, so a handler that takes time does not push every
// later tick back (the poll period holds on average, not period + handler time).
//   - A tick delivered late (the window was busy) is followed by the next grid point after
//     it; ticks missed meanwhile are dropped, so a handler that overran gives one tick at
//     once, never a burst.
//   - A timer re-armed from inside its own tick with the same period (a handler that stops
//     its timer around a wait and starts it again) stays on its grid when the next grid
//     point is still ahead; otherwise it starts afresh, one period after the re-arm.
#include <cstdint>
#include <optional>

namespace tessvar {

struct RunningTick {
  uint64_t due;     // when the running tick was due
  uint32_t period;  // its period then
};

// The next due time after a tick that was due at `due`, delivered at `now` (>= due).
inline uint64_t NextTickDue(uint64_t due, uint32_t period, uint64_t now) {
  if (period == 0) return now;
  const uint64_t next = due + period;
  if (next > now) return next;
  return due + (now - due) / period * period + period;
}

// The first due time of a timer armed at `now`. `running` is the tick of the same timer
// that is running while it is armed, if it is.
inline uint64_t FirstTickDue(uint32_t period, uint64_t now, std::optional<RunningTick> running) {
  if (running && running->period == period && running->due + period > now)
    return running->due + period;
  return now + period;
}

}  // namespace tessvar
