#include "sim/fault_injector.h"

#include <charconv>

namespace tessvar::sim {
namespace {

constexpr std::array<std::string_view, kFaultKinds> kNames = {
    "no-reply", "late", "bad-checksum", "wrong-address", "exception",
    "truncate", "overcount", "garbage", "close-after"};

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool ParseU32(std::string_view s, uint32_t& out) {
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

bool ParseDouble(std::string_view s, double& out) {
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

bool NeedsArg(FaultKind k) {
  return k == FaultKind::LateReply || k == FaultKind::Exception || k == FaultKind::Garbage ||
         k == FaultKind::CloseAfter;
}

}  // namespace

std::string_view FaultName(FaultKind kind) { return kNames[static_cast<size_t>(kind)]; }

std::optional<FaultKind> FaultFromName(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return static_cast<FaultKind>(i);
  return std::nullopt;
}

std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string& error) {
  FaultRule rule;
  std::string_view when;
  if (auto colon = text.find(':'); colon != std::string_view::npos) {
    when = text.substr(colon + 1);
    text = text.substr(0, colon);
  }
  std::string_view arg;
  if (auto eq = text.find('='); eq != std::string_view::npos) {
    arg = text.substr(eq + 1);
    text = text.substr(0, eq);
  }
  auto kind = FaultFromName(text);
  if (!kind) {
    error = "unknown fault \"" + std::string(text) + "\"";
    return std::nullopt;
  }
  rule.kind = *kind;
  if (NeedsArg(rule.kind)) {
    if (!ParseU32(arg, rule.arg)) {
      error = "fault " + std::string(text) + " needs a number: " + std::string(text) + "=N";
      return std::nullopt;
    }
    if (rule.kind == FaultKind::Exception && (rule.arg < 1 || rule.arg > 4)) {
      error = "exception code must be 1..4";
      return std::nullopt;
    }
    if (rule.kind == FaultKind::Garbage && rule.arg > 1024) {
      error = "garbage is limited to 1024 bytes";
      return std::nullopt;
    }
  } else if (!arg.empty()) {
    error = "fault " + std::string(text) + " takes no value";
    return std::nullopt;
  }
  if (rule.kind == FaultKind::CloseAfter) {
    if (!when.empty()) {
      error = "close-after takes no trigger";
      return std::nullopt;
    }
    return rule;
  }
  if (when.empty() || when == "always") {
    rule.trigger.mode = FaultTrigger::Mode::Rate;
    rule.trigger.rate = 1.0;
  } else if (when.back() == '%') {
    double pct = 0;
    if (!ParseDouble(when.substr(0, when.size() - 1), pct) || pct < 0 || pct > 100) {
      error = "rate must be 0..100%";
      return std::nullopt;
    }
    rule.trigger.mode = FaultTrigger::Mode::Rate;
    rule.trigger.rate = pct / 100.0;
  } else {
    std::string_view count = when;
    std::string_view skip;
    const auto at = when.find('@');
    if (at != std::string_view::npos) {
      count = when.substr(0, at);
      skip = when.substr(at + 1);
    }
    if (!ParseU32(count, rule.trigger.count) ||
        (at != std::string_view::npos && !ParseU32(skip, rule.trigger.skip))) {
      error = "trigger must be COUNT, COUNT@SKIP, RATE% or always";
      return std::nullopt;
    }
    rule.trigger.mode = FaultTrigger::Mode::Count;
  }
  return rule;
}

std::string FaultDecision::Describe() const {
  std::string s;
  auto add = [&](std::string_view part) {
    if (!s.empty()) s += ',';
    s += part;
  };
  if (noReply) add("no-reply");
  if (delayMs) add("late=" + std::to_string(delayMs));
  if (badChecksum) add("bad-checksum");
  if (wrongAddress) add("wrong-address");
  if (exception) add("exception=" + std::to_string(exception));
  if (truncate) add("truncate");
  if (overcount) add("overcount");
  if (garbage) add("garbage=" + std::to_string(garbage));
  return s;
}

FaultInjector::FaultInjector(std::vector<FaultRule> rules, uint64_t seed) : rules_(std::move(rules)) {
  for (size_t i = 0; i < rules_.size(); ++i) {
    uint64_t state = seed ^ (0xA24BAED4963EE407ull * (i + 1));
    rng_.push_back(SplitMix(state));
    if (rules_[i].kind == FaultKind::CloseAfter) closeAfter_ = rules_[i].arg;
  }
}

FaultDecision FaultInjector::Next() {
  ++requests_;
  FaultDecision d;
  for (size_t i = 0; i < rules_.size(); ++i) {
    const FaultRule& r = rules_[i];
    if (r.kind == FaultKind::CloseAfter) continue;
    bool fire = false;
    if (r.trigger.mode == FaultTrigger::Mode::Count) {
      fire = requests_ > r.trigger.skip && requests_ <= static_cast<uint64_t>(r.trigger.skip) + r.trigger.count;
    } else {
      const double u = static_cast<double>(SplitMix(rng_[i]) >> 11) * 0x1.0p-53;
      fire = u < r.trigger.rate;
    }
    if (!fire) continue;
    ++applied[static_cast<size_t>(r.kind)];
    switch (r.kind) {
      case FaultKind::NoReply: d.noReply = true; break;
      case FaultKind::LateReply: d.delayMs += r.arg; break;
      case FaultKind::BadChecksum: d.badChecksum = true; break;
      case FaultKind::WrongAddress: d.wrongAddress = true; break;
      case FaultKind::Exception: d.exception = static_cast<uint8_t>(r.arg); break;
      case FaultKind::Truncate: d.truncate = true; break;
      case FaultKind::Overcount: d.overcount = true; break;
      case FaultKind::Garbage: d.garbage += r.arg; break;
      case FaultKind::CloseAfter: break;
    }
  }
  return d;
}

}  // namespace tessvar::sim
