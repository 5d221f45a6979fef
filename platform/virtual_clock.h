#pragma once
// A clock for tests and simulations: Sleep advances time at once, wall time is settable
// (so a test can cross midnight), and listeners see every advance (so an in-memory peer
// can answer "while" the caller waits).
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace tessvar {

class VirtualClock : public Clock {
 public:
  // utcEpochMs: wall time at monotonic 0; localOffsetMinutes: local time minus UTC.
  explicit VirtualClock(int64_t utcEpochMs = 1767225600000 /* 2026-01-01 00:00 UTC */,
                        int localOffsetMinutes = 180);

  uint64_t MonotonicMs() override { return monotonicMs_; }
  WallTime UtcNow() override;
  WallTime LocalNow() override;
  void Sleep(uint32_t ms) override { Advance(ms); }
  void Yield() override;

  void Advance(uint64_t ms);
  void SetUtc(const WallTime& utc);
  void SetLocal(const WallTime& local);
  void SetLocalOffsetMinutes(int minutes) { localOffsetMinutes_ = minutes; }
  int64_t UtcEpochMs() const { return utcEpochMs_; }

  // Called after every advance with the new monotonic time, and on Yield.
  void AddListener(std::function<void(uint64_t nowMs)> listener);

 private:
  uint64_t monotonicMs_ = 0;
  int64_t utcEpochMs_;
  int localOffsetMinutes_;
  std::vector<std::function<void(uint64_t)>> listeners_;
  bool notifying_ = false;
};

}  // namespace tessvar
