#include "ui/gated_clock.h"

#include <algorithm>

namespace tessvar {

void GatedClock::Sleep(uint32_t ms) {
  const WaitGate::Scope wait(gate_);
  const uint64_t end = base_.MonotonicMs() + ms;
  for (uint64_t now = base_.MonotonicMs(); now < end && !gate_.Cancelled();
       now = base_.MonotonicMs()) {
    pump_(static_cast<uint32_t>(std::min<uint64_t>(end - now, kSliceMs)));
    gate_.Elapsed(base_.MonotonicMs());
  }
}

void GatedClock::Yield() {
  const WaitGate::Scope wait(gate_);
  pump_(0);
  gate_.Elapsed(base_.MonotonicMs());
}

}  // namespace tessvar
