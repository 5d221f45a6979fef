#pragma once
// Recognises the wake-up burst a master sends before it talks to the service interface:
// three single zero octets, each after a pause, the three within a fraction of a second.
// No MODBUS frame looks like that (a frame is at least four octets without pauses).
#include <cstdint>
#include <span>

namespace tessvar::sim {

class WakeUpDetector {
 public:
  // A lone octet counts when the line was quiet this long before it.
  static constexpr uint64_t kMinPauseMs = 30;
  // ... and when it follows the previous lone zero within this time.
  static constexpr uint64_t kMaxSpacingMs = 400;
  static constexpr int kBurstOctets = 3;

  // Feeds what arrived at `nowMs` in one read; true when it completes a burst.
  bool Feed(std::span<const uint8_t> bytes, uint64_t nowMs);
  // Whether the octets fed last were a lone zero after a pause (a wake-up octet).
  bool LoneZero() const { return loneZero_; }

 private:
  bool anyByte_ = false;
  uint64_t lastByteMs_ = 0;
  uint64_t lastZeroMs_ = 0;
  int zeros_ = 0;
  bool loneZero_ = false;
};

}  // namespace tessvar::sim
