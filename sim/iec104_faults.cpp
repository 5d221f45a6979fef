#include "sim/iec104_faults.h"

#include <charconv>

namespace tessvar::sim {
namespace {

struct KindName {
  std::string_view name;
  Iec104FaultKind kind;
  bool needsArg;
};
constexpr KindName kKinds[] = {
    {"close-after", Iec104FaultKind::CloseAfter, true}, {"stopdt", Iec104FaultKind::StopDt, true},
    {"negative", Iec104FaultKind::Negative, false},     {"no-answer", Iec104FaultKind::NoAnswer, false},
    {"burst", Iec104FaultKind::Burst, false},           {"split", Iec104FaultKind::Split, false},
    {"garbage", Iec104FaultKind::Garbage, true},        {"testfr", Iec104FaultKind::TestFr, true},
    {"negative-clock", Iec104FaultKind::NegativeClock, false},
};

bool ParseNumber(std::string_view s, uint32_t& out) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::optional<Iec104Fault> ParseIec104Fault(std::string_view text, std::string& error) {
  Iec104Fault f;
  std::string_view rest = text;
  if (const auto at = rest.find('@'); at != std::string_view::npos) {
    if (!ParseNumber(rest.substr(at + 1), f.connection)) {
      error = "bad connection number in \"" + std::string(text) + "\"";
      return std::nullopt;
    }
    rest = rest.substr(0, at);
  }
  std::string_view arg;
  bool hasArg = false;
  if (const auto eq = rest.find('='); eq != std::string_view::npos) {
    arg = rest.substr(eq + 1);
    rest = rest.substr(0, eq);
    hasArg = true;
  }
  for (const auto& k : kKinds) {
    if (k.name != rest) continue;
    f.kind = k.kind;
    if (k.needsArg && !hasArg) {
      error = "\"" + std::string(k.name) + "\" needs =ARG";
      return std::nullopt;
    }
    if (hasArg && !ParseNumber(arg, f.arg)) {
      error = "bad argument in \"" + std::string(text) + "\"";
      return std::nullopt;
    }
    const bool negative = f.kind == Iec104FaultKind::Negative || f.kind == Iec104FaultKind::NegativeClock;
    if (negative && f.arg != 0 && (f.arg < 44 || f.arg > 47)) {
      error = "negative takes a cause of 44..47";
      return std::nullopt;
    }
    return f;
  }
  error = "unknown IEC 104 fault \"" + std::string(rest) +
          "\" (close-after, stopdt, negative, no-answer, burst, split, garbage, testfr, negative-clock)";
  return std::nullopt;
}

Iec104FaultPlan PlanForConnection(const std::vector<Iec104Fault>& faults, uint32_t connection) {
  Iec104FaultPlan plan;
  for (const auto& f : faults) {
    if (f.connection != 0 && f.connection != connection) continue;
    switch (f.kind) {
      case Iec104FaultKind::CloseAfter: plan.closeAfterMs = f.arg; break;
      case Iec104FaultKind::StopDt: plan.stopDtAfterMs = f.arg; break;
      case Iec104FaultKind::Negative: plan.negativeCause = static_cast<uint8_t>(f.arg); break;
      case Iec104FaultKind::NoAnswer: plan.noAnswer = true; break;
      case Iec104FaultKind::Burst: plan.burst = true; break;
      case Iec104FaultKind::Split: plan.split = true; break;
      case Iec104FaultKind::Garbage: plan.garbageAfterMs = f.arg; break;
      case Iec104FaultKind::TestFr: plan.testFrEveryMs = f.arg; break;
      case Iec104FaultKind::NegativeClock: plan.negativeClockCause = static_cast<uint8_t>(f.arg); break;
    }
  }
  return plan;
}

}  // namespace tessvar::sim
