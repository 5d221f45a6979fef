#include "sim/iec101_faults.h"

#include <charconv>

#include "link/ft12_frames.h"
#include "link/iec_asdu.h"

namespace tessvar::sim {
namespace {

constexpr std::array<std::string_view, kIec101FaultKinds> kNames = {
    "no-reply", "late", "bad-checksum", "bad-start", "bad-end", "short",
    "e5",       "nack", "acd",          "negative", "negative-plain"};

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool NeedsArg(Iec101FaultKind k) {
  return k == Iec101FaultKind::Late || k == Iec101FaultKind::Negative ||
         k == Iec101FaultKind::NegativePlain;
}

}  // namespace

std::string_view Iec101FaultName(Iec101FaultKind kind) {
  return kNames[static_cast<size_t>(kind)];
}

std::optional<Iec101FaultRule> ParseIec101FaultRule(std::string_view text, std::string& error) {
  const size_t colon = text.find(':');
  const std::string_view head = text.substr(0, colon);
  const size_t eq = head.find('=');
  const std::string_view name = head.substr(0, eq);
  Iec101FaultRule rule;
  size_t k = 0;
  while (k < kNames.size() && kNames[k] != name) ++k;
  if (k == kNames.size()) {
    error = "unknown IEC 101 fault \"" + std::string(name) + "\"";
    return std::nullopt;
  }
  rule.kind = static_cast<Iec101FaultKind>(k);
  if (eq != std::string_view::npos) {
    const std::string_view arg = head.substr(eq + 1);
    auto [p, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), rule.arg);
    if (ec != std::errc() || p != arg.data() + arg.size()) {
      error = "\"" + std::string(arg) + "\" is not a number";
      return std::nullopt;
    }
  } else if (NeedsArg(rule.kind)) {
    error = std::string(name) + " needs =ARG";
    return std::nullopt;
  }
  if ((rule.kind == Iec101FaultKind::Negative || rule.kind == Iec101FaultKind::NegativePlain) &&
      (rule.arg < kCauseUnknownType || rule.arg > kCauseUnknownObject)) {
    error = "negative causes are 44..47";
    return std::nullopt;
  }
  // The trigger has the MODBUS faults' grammar; borrow their parser for it.
  const std::string when = colon == std::string_view::npos ? "" : std::string(text.substr(colon));
  const auto borrowed = ParseFaultRule("no-reply" + when, error);
  if (!borrowed) return std::nullopt;
  rule.trigger = borrowed->trigger;
  return rule;
}

std::string Iec101FaultDecision::Describe() const {
  std::string s;
  auto add = [&](bool on, std::string_view what) {
    if (!on) return;
    if (!s.empty()) s += ", ";
    s += what;
  };
  add(noReply, "no reply");
  add(delayMs != 0, "late " + std::to_string(delayMs) + " ms");
  add(badChecksum, "bad checksum");
  add(badStart, "bad start octet");
  add(badEnd, "bad end octet");
  add(shortFrame, "short frame");
  add(singleAck, "E5");
  add(nack, "NACK");
  add(acd, "ACD");
  add(negativeCause != 0, "cause " + std::to_string(negativeCause));
  return s;
}

Iec101FaultInjector::Iec101FaultInjector(std::vector<Iec101FaultRule> rules, uint64_t seed)
    : rules_(std::move(rules)) {
  for (size_t i = 0; i < rules_.size(); ++i) rng_.push_back(seed * 0x100000001B3ull + i);
}

Iec101FaultDecision Iec101FaultInjector::Next() {
  ++requests_;
  Iec101FaultDecision d;
  for (size_t i = 0; i < rules_.size(); ++i) {
    const auto& r = rules_[i];
    bool fire;
    if (r.trigger.mode == FaultTrigger::Mode::Count) {
      fire = requests_ > r.trigger.skip &&
             requests_ <= static_cast<uint64_t>(r.trigger.skip) + r.trigger.count;
    } else {
      fire = static_cast<double>(SplitMix(rng_[i]) >> 11) * 0x1.0p-53 < r.trigger.rate;
    }
    if (!fire) continue;
    ++applied[static_cast<size_t>(r.kind)];
    switch (r.kind) {
      case Iec101FaultKind::NoReply: d.noReply = true; break;
      case Iec101FaultKind::Late: d.delayMs = r.arg; break;
      case Iec101FaultKind::BadChecksum: d.badChecksum = true; break;
      case Iec101FaultKind::BadStart: d.badStart = true; break;
      case Iec101FaultKind::BadEnd: d.badEnd = true; break;
      case Iec101FaultKind::Short: d.shortFrame = true; break;
      case Iec101FaultKind::SingleAck: d.singleAck = true; break;
      case Iec101FaultKind::Nack: d.nack = true; break;
      case Iec101FaultKind::Acd: d.acd = true; break;
      case Iec101FaultKind::Negative:
        d.negativeCause = static_cast<uint8_t>(r.arg | kCauseNegativeBit);
        break;
      case Iec101FaultKind::NegativePlain: d.negativeCause = static_cast<uint8_t>(r.arg); break;
    }
  }
  return d;
}

std::vector<uint8_t> ShapeIec101Frame(std::vector<uint8_t> f, const Iec101FaultDecision& d,
                                      uint8_t addressSize, uint16_t linkAddress) {
  if (d.singleAck) return {kFt12SingleAck};
  if (d.nack) f = BuildFixedFrame(0x01, linkAddress, addressSize);
  if (d.acd && f.size() >= 5) {
    const size_t controlAt = f[0] == kFt12Variable ? 4 : 1;
    if (controlAt < f.size() - 2) {
      f[controlAt] |= kCtrlFcb;  // ACD sits where FCB sits in the primary direction
      f[f.size() - 2] = static_cast<uint8_t>(f[f.size() - 2] + kCtrlFcb);
    }
  }
  if (f.size() >= 5) {
    if (d.badChecksum) f[f.size() - 2] = static_cast<uint8_t>(f[f.size() - 2] + 1);
    if (d.badStart) f[0] = 0x11;
    if (d.badEnd) f.back() = 0x17;
  }
  if (d.shortFrame && f.size() > 3) f.resize(3);
  return f;
}

}  // namespace tessvar::sim
