#pragma once
#include "platform/clock.h"

namespace tessvar {

// The computer's clock. Sleep blocks the calling thread; a window host wraps it to keep
// painting (see the Qt host).
class RealClock : public Clock {
 public:
  uint64_t MonotonicMs() override;
  WallTime UtcNow() override;
  WallTime LocalNow() override;
  void Sleep(uint32_t ms) override;
};

}  // namespace tessvar
