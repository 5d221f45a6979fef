#include "sim/wake_up_detector.h"

namespace tessvar::sim {

bool WakeUpDetector::Feed(std::span<const uint8_t> bytes, uint64_t nowMs) {
  loneZero_ = false;
  if (bytes.empty()) return false;
  const bool paused = !anyByte_ || nowMs - lastByteMs_ >= kMinPauseMs;
  anyByte_ = true;
  lastByteMs_ = nowMs;
  loneZero_ = bytes.size() == 1 && bytes[0] == 0x00 && paused;
  if (!loneZero_) {
    zeros_ = 0;
    return false;
  }
  zeros_ = zeros_ > 0 && nowMs - lastZeroMs_ <= kMaxSpacingMs ? zeros_ + 1 : 1;
  lastZeroMs_ = nowMs;
  if (zeros_ < kBurstOctets) return false;
  zeros_ = 0;
  return true;
}

}  // namespace tessvar::sim
