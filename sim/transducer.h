#pragma once
// The simulated transducer behind every protocol: its register image, measured values,
// clock and pinned registers. Protocol sessions ask it for register values and hand it
// register writes; it knows nothing about framing.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/device_description.h"
#include "model/rtc_test_code.h"
#include "sim/device_clock.h"
#include "sim/register_image.h"
#include "sim/value_model.h"

namespace tessvar::sim {

// The service interface on the RS-485 side: the answer to a wake-up burst and the code
// that starts the RTC test mode (MODBUS function 118).
struct ServiceInterface {
  std::string rtcTestCode{kDefaultRtcTestCode};
  uint16_t probeAnswer = 0x1234;  // sent high octet first
  bool answerFastProbe = true;    // a burst at 76800 baud
  bool answerSlowProbe = true;    // a burst at 4800 baud
};

inline constexpr uint64_t kSteadyDcMsPerCode = 100;

struct TransducerOptions {
  uint64_t seed = 1;
  ServiceInterface service;
  // DC at its nominals without ripple; the DC energy and charge counters of both channels
  // then count exactly 10 codes a second (one every 100 ms of running time).
  bool steadyDc = false;
  std::array<ChannelNominals, 2> nominals{};
  std::map<uint16_t, uint16_t> pinned;  // address -> register value, served as given
};

// Nominals for the value model from a load: the rated values of the Udc/Idc/Uac/Iac entries
// where the file gives them, else the header's nominal pair, else 75 V / 5 A.
std::array<ChannelNominals, 2> NominalsFromLoad(const DescriptionLoad& load);

class Transducer {
 public:
  Transducer(Clock& clock, const DeviceDescription& description, TransducerOptions options);

  // Fills `out` with `quantity` registers from `start`; returns 0 or a MODBUS exception code
  // (2 when any register of the range is not in the map). `nowMs` is the clock's monotonic
  // time when the caller has just read it.
  uint8_t ReadRegisters(uint16_t start, uint16_t quantity, std::vector<uint16_t>& out,
                        std::optional<uint64_t> nowMs = std::nullopt);
  // A register write. Only the clock registers are writable: the write must start at the
  // milliseconds register. `data` holds the value bytes as sent; one trailing byte beyond the
  // registers is the weekday/month byte of the three-register clock write.
  uint8_t WriteRegisters(uint16_t start, uint16_t quantity, std::span<const uint8_t> data);

  // The two octets answering a wake-up burst sent at `lineRate` baud (0: rate unknown), or
  // nothing when the interface does not answer at that rate.
  std::optional<std::vector<uint8_t>> ProbeAnswer(uint32_t lineRate) const;
  // Function 118: 0 when `code` is the test-mode code (the test mode starts), else the
  // MODBUS exception code the request is refused with.
  uint8_t StartRtcTest(std::span<const uint8_t> code);
  bool RtcTestActive() const { return rtcTestActive_; }

  // From the next answer on, the register holds `value` (the model keeps running).
  void Pin(uint16_t address, uint16_t value) { pinned_[address] = value; }
  // The code a register holds at `elapsedMs` of running time (pinned values win).
  uint16_t RegisterValue(uint16_t address, const RegisterSource& source, uint64_t elapsedMs);
  const RegisterImage& Image() const { return image_; }
  DeviceClock& ClockOfDevice() { return deviceClock_; }
  ValueModel& Values() { return values_; }

 private:
  RegisterImage image_;
  ValueModel values_;
  std::array<ChannelNominals, 2> nominals_;
  DeviceClock deviceClock_;
  std::map<uint16_t, uint16_t> pinned_;
  ServiceInterface service_;
  bool rtcTestActive_ = false;
};

}  // namespace tessvar::sim
