#include "platform/virtual_clock.h"

namespace tessvar {

VirtualClock::VirtualClock(int64_t utcEpochMs, int localOffsetMinutes)
    : utcEpochMs_(utcEpochMs), localOffsetMinutes_(localOffsetMinutes) {}

WallTime VirtualClock::UtcNow() { return WallTimeFromEpochMs(utcEpochMs_); }

WallTime VirtualClock::LocalNow() {
  return WallTimeFromEpochMs(utcEpochMs_ + localOffsetMinutes_ * 60000LL);
}

void VirtualClock::Advance(uint64_t ms) {
  monotonicMs_ += ms;
  utcEpochMs_ += static_cast<int64_t>(ms);
  Yield();
}

void VirtualClock::Yield() {
  if (notifying_) return;  // a listener that sleeps must not recurse into itself
  notifying_ = true;
  for (auto& l : listeners_) l(monotonicMs_);
  notifying_ = false;
}

void VirtualClock::SetUtc(const WallTime& utc) { utcEpochMs_ = EpochMsFromWallTime(utc); }

void VirtualClock::SetLocal(const WallTime& local) {
  utcEpochMs_ = EpochMsFromWallTime(local) - localOffsetMinutes_ * 60000LL;
}

void VirtualClock::AddListener(std::function<void(uint64_t)> listener) {
  listeners_.push_back(std::move(listener));
}

}  // namespace tessvar
