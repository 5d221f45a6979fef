#pragma once
// Deliberate misbehaviour on request, so that a master's recovery can be exercised: each
// fault is a rule with a trigger (the first N requests after a skip, or a seeded rate), and
// rules combine on the same reply.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar::sim {

enum class FaultKind : uint8_t {
  NoReply,       // stay silent
  LateReply,     // answer after `arg` ms
  BadChecksum,   // CRC/LRC of the reply wrong (serial framings only)
  WrongAddress,  // reply from another device address
  Exception,     // answer with exception `arg` (1..4)
  Truncate,      // send only the first half of the reply
  Overcount,     // byte count claims more data than the reply holds
  Garbage,       // `arg` extra bytes after the reply
  CloseAfter,    // close the connection after `arg` replies (TCP)
};
inline constexpr size_t kFaultKinds = 9;

std::string_view FaultName(FaultKind kind);
std::optional<FaultKind> FaultFromName(std::string_view name);

struct FaultTrigger {
  // Count: requests skip+1 .. skip+count (counting every request addressed to us).
  // Rate: each request with probability `rate`, from the seeded generator of this rule.
  enum class Mode : uint8_t { Count, Rate } mode = Mode::Count;
  uint32_t count = 1;
  uint32_t skip = 0;
  double rate = 0;
};

struct FaultRule {
  FaultKind kind = FaultKind::NoReply;
  uint32_t arg = 0;
  FaultTrigger trigger;
};

// Parses "KIND[=ARG][:WHEN]" where WHEN is COUNT, COUNT@SKIP, RATE% or "always"; no WHEN
// means every request. ARG is required for late (ms), exception (1..4), garbage (bytes) and
// close-after (replies). Examples: "no-reply:2@3", "late=800:10%", "exception=2:1",
// "close-after=5". Returns the error text on failure.
std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string& error);

// What happens to one reply.
struct FaultDecision {
  bool noReply = false;
  uint32_t delayMs = 0;
  bool badChecksum = false;
  bool wrongAddress = false;
  uint8_t exception = 0;
  bool truncate = false;
  bool overcount = false;
  uint32_t garbage = 0;
  bool Any() const {
    return noReply || delayMs || badChecksum || wrongAddress || exception || truncate || overcount || garbage;
  }
  std::string Describe() const;
};

class FaultInjector {
 public:
  FaultInjector() = default;
  FaultInjector(std::vector<FaultRule> rules, uint64_t seed);

  // Called once per request addressed to this device.
  FaultDecision Next();
  // Replies after which a connection closes; 0 = never.
  uint32_t CloseAfter() const { return closeAfter_; }
  const std::vector<FaultRule>& Rules() const { return rules_; }
  // How often each kind was applied.
  std::array<uint64_t, kFaultKinds> applied{};
  void CountClose() { ++applied[static_cast<size_t>(FaultKind::CloseAfter)]; }

 private:
  std::vector<FaultRule> rules_;
  std::vector<uint64_t> rng_;
  uint64_t requests_ = 0;
  uint32_t closeAfter_ = 0;
};

}  // namespace tessvar::sim
