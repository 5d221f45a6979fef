#include "link/rtc_probe.h"

#include <array>

#include "link/modbus_master.h"

namespace tessvar {
namespace {

constexpr uint64_t kSilenceWaitMs = 250;
constexpr uint32_t kDrainStepMs = 25;
// A line that never falls silent (another master, noise) must not hold the window forever.
constexpr int kMaxDrainSteps = 40;
constexpr uint32_t kBurstGapsMs[] = {75, 200, 50};

// Reads and drops what the line delivers until it falls silent, waiting at most 250 ms for
// the first octet.
void WaitForSilence(CSerialLine& line, Clock& clock) {
  std::array<uint8_t, 256> scratch{};
  const uint64_t start = clock.MonotonicMs();
  // Bounded in count as well: a clock that stands still must not loop forever.
  for (int look = 0; look < 1000 && clock.MonotonicMs() - start < kSilenceWaitMs; ++look) {
    if (line.ReadAvailable(scratch) != 0) {
      for (int step = 0; step < kMaxDrainSteps; ++step) {
        clock.Sleep(kDrainStepMs);
        if (line.ReadAvailable(scratch) == 0) break;
      }
      return;
    }
    clock.Sleep(1);
  }
}

void WakeUpBurst(CSerialLine& line, Clock& clock) {
  static constexpr uint8_t kZero[] = {0x00};
  for (uint32_t gap : kBurstGapsMs) {
    line.Write(kZero);
    clock.Sleep(gap);
  }
}

uint16_t ReadAnswer(CSerialLine& line) {
  if (!line.Configure(kProbeAnswerSettings)) return kNoProbeAnswer;
  std::array<uint8_t, 64> got{};
  const size_t n = line.ReadAvailable(got);
  return ProbeAnswerFrom(std::span<const uint8_t>(got).first(n));
}

}  // namespace

uint16_t ProbeAnswerFrom(std::span<const uint8_t> octets) {
  if (octets.empty()) return kNoProbeAnswer;
  const uint8_t second = octets.size() >= 2 ? octets[1] : 0xFF;
  return static_cast<uint16_t>((octets[0] << 8) | second);
}

uint16_t CModbusMaster::ProbeRtcMode() {
  CSerialLine& line = serial_;
  Clock& clock = line.GetClock();
  uint16_t answer = kNoProbeAnswer;
  if (line.Configure(kProbeFastSettings)) {
    WaitForSilence(line, clock);
    WakeUpBurst(line, clock);
    answer = ReadAnswer(line);
  }
  if (answer == kNoProbeAnswer && line.Configure(kProbeSlowSettings)) {
    WakeUpBurst(line, clock);
    answer = ReadAnswer(line);
  }
  if (answer != kNoProbeAnswer) line.Configure(kProbeAnswerSettings);
  return answer;
}

}  // namespace tessvar
