#pragma once
// Deliberate misbehaviour of the simulated IEC 60870-5-101 station. Rules have the same
// trigger forms as the MODBUS faults (COUNT, COUNT@SKIP, RATE%, always) and count every frame
// addressed to the station, the link initialisation frames included.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/fault_injector.h"

namespace tessvar::sim {

enum class Iec101FaultKind : uint8_t {
  NoReply,      // stay silent
  Late,         // answer after `arg` ms
  BadChecksum,  // checksum octet off by one
  BadStart,     // first octet 0x11
  BadEnd,       // last octet 0x17
  Short,        // only the first three octets
  SingleAck,    // a lone 0xE5 instead of the answer
  Nack,         // a fixed negative acknowledgement instead of the answer
  Acd,          // the answer's control field with ACD set
  Negative,     // the application answer carries cause `arg` (44..47), P/N set
  NegativePlain,  // the same without the P/N bit
};
inline constexpr size_t kIec101FaultKinds = 11;

std::string_view Iec101FaultName(Iec101FaultKind kind);

struct Iec101FaultRule {
  Iec101FaultKind kind = Iec101FaultKind::NoReply;
  uint32_t arg = 0;
  FaultTrigger trigger;
};

// "KIND[=ARG][:WHEN]": no-reply, late=MS, bad-checksum, bad-start, bad-end, short, e5, nack,
// acd, negative=44..47, negative-plain=44..47. The error text on failure.
std::optional<Iec101FaultRule> ParseIec101FaultRule(std::string_view text, std::string& error);

struct Iec101FaultDecision {
  bool noReply = false;
  uint32_t delayMs = 0;
  bool badChecksum = false;
  bool badStart = false;
  bool badEnd = false;
  bool shortFrame = false;
  bool singleAck = false;
  bool nack = false;
  bool acd = false;
  uint8_t negativeCause = 0;  // first cause octet to answer with; 0 = none
  std::string Describe() const;
};

class Iec101FaultInjector {
 public:
  Iec101FaultInjector() = default;
  Iec101FaultInjector(std::vector<Iec101FaultRule> rules, uint64_t seed);
  // Called once per frame addressed to the station.
  Iec101FaultDecision Next();
  std::array<uint64_t, kIec101FaultKinds> applied{};

 private:
  std::vector<Iec101FaultRule> rules_;
  std::vector<uint64_t> rng_;
  uint64_t requests_ = 0;
};

// Applies the frame-level faults of a decision to an answer frame.
std::vector<uint8_t> ShapeIec101Frame(std::vector<uint8_t> frame, const Iec101FaultDecision& d,
                                      uint8_t addressSize, uint16_t linkAddress);

}  // namespace tessvar::sim
