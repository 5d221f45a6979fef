#pragma once
// A clock whose waits on the window thread go in slices, between which `pump` runs the
// window (paints, user input; a test's script of what the user does). A wait ends early
// once the gate is cancelled. The Qt window's clock works the same way over Qt's loop.
#include <functional>

#include "platform/clock.h"
#include "ui/wait_gate.h"

namespace tessvar {

class GatedClock : public Clock {
 public:
  // `pump(ms)` runs the window for at most `ms` of the base clock (and lets it pass).
  GatedClock(Clock& base, WaitGate& gate, std::function<void(uint32_t)> pump)
      : base_(base), gate_(gate), pump_(std::move(pump)) {}
  static constexpr uint32_t kSliceMs = 20;

  uint64_t MonotonicMs() override { return base_.MonotonicMs(); }
  WallTime UtcNow() override { return base_.UtcNow(); }
  WallTime LocalNow() override { return base_.LocalNow(); }
  void Sleep(uint32_t ms) override;
  void Yield() override;
  bool Cancelled() override { return gate_.Cancelled(); }

 private:
  Clock& base_;
  WaitGate& gate_;
  std::function<void(uint32_t)> pump_;
};

}  // namespace tessvar
