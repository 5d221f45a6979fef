#include "sim/iec101_station.h"

#include <cstdio>

#include "link/ft12_frames.h"

namespace tessvar::sim {
namespace {

std::string Hex(std::span<const uint8_t> bytes) {
  std::string s;
  char buf[4];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    s += buf;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

constexpr uint8_t kSecondaryAck = 0x00;
constexpr uint8_t kSecondaryNack = 0x01;
constexpr uint8_t kSecondaryNoData = 0x09;
constexpr uint8_t kSecondaryStatus = 0x0B;
constexpr uint8_t kCausePeriodic = 1;

}  // namespace

Iec101Station::Iec101Station(Iec101StationOptions options, const DeviceDescription& description, Transducer& transducer,
                             Iec101FaultInjector& faults, SimStats& stats,
                             std::function<void(const std::string&)> log)
    : options_(options),
      description_(description),
      transducer_(transducer),
      faults_(faults),
      stats_(stats),
      log_(std::move(log)) {
  options_.addressSize = options_.addressSize == 2 ? 2 : 1;
  options_.sizes.commonAddress = options_.addressSize;
  options_.sizes = Clamped(options_.sizes);
}

void Iec101Station::Log(const std::string& line) const {
  if (log_) log_("iec101: " + line);
}

void Iec101Station::Receive(std::span<const uint8_t> bytes, uint64_t nowMs) {
  if (bytes.empty()) return;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  lastByteMs_ = nowMs;
  Parse(nowMs);
}

void Iec101Station::Tick(uint64_t nowMs) {
  if (!buffer_.empty() && nowMs - lastByteMs_ > options_.partialFrameMs) {
    if (options_.trace) Log("dropped unfinished " + Hex(buffer_));
    buffer_.clear();
    ++stats_.dropped;
  }
}

std::optional<uint64_t> Iec101Station::NextDeadline() const {
  std::optional<uint64_t> next;
  if (!pending_.empty()) next = pending_.front().dueMs;
  if (!buffer_.empty()) {
    const uint64_t drop = lastByteMs_ + options_.partialFrameMs + 1;
    if (!next || drop < *next) next = drop;
  }
  return next;
}

std::vector<uint8_t> Iec101Station::TakeDue(uint64_t nowMs) {
  std::vector<uint8_t> out;
  while (!pending_.empty() && pending_.front().dueMs <= nowMs) {
    out.insert(out.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
    pending_.pop_front();
  }
  return out;
}

void Iec101Station::Parse(uint64_t nowMs) {
  const size_t fixedSize = 4u + options_.addressSize;
  for (int guard = 0; guard < 4096 && !buffer_.empty(); ++guard) {
    if (buffer_[0] != kFt12Fixed && buffer_[0] != kFt12Variable) {
      buffer_.erase(buffer_.begin());
      ++stats_.dropped;
      continue;
    }
    size_t total = fixedSize;
    if (buffer_[0] == kFt12Variable) {
      if (buffer_.size() < 4) return;
      if (buffer_[1] != buffer_[2] || buffer_[3] != kFt12Variable) {
        buffer_.erase(buffer_.begin());
        ++stats_.dropped;
        continue;
      }
      total = buffer_[1] + 6u;
    }
    if (buffer_.size() < total) return;
    const std::vector<uint8_t> frame(buffer_.begin(), buffer_.begin() + static_cast<long>(total));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(total));
    const size_t controlAt = frame[0] == kFt12Variable ? 4 : 1;
    const bool sumOk = total >= controlAt + 3 &&
                       Ft12Checksum(std::span(frame).subspan(controlAt, total - 2 - controlAt)) ==
                           frame[total - 2];
    if (!sumOk || frame.back() != kFt12End) {
      if (options_.trace) Log("dropped damaged " + Hex(frame));
      ++stats_.dropped;
      continue;
    }
    HandleFrame(frame, nowMs);
  }
}

void Iec101Station::HandleFrame(std::span<const uint8_t> frame, uint64_t nowMs) {
  const bool variable = frame[0] == kFt12Variable;
  const size_t controlAt = variable ? 4 : 1;
  const size_t asduAt = controlAt + 1 + options_.addressSize;
  if (frame.size() < asduAt + 2) {
    ++stats_.dropped;
    return;
  }
  const uint8_t control = frame[controlAt];
  uint16_t address = frame[controlAt + 1];
  if (options_.addressSize == 2) address = static_cast<uint16_t>(address | frame[controlAt + 2] << 8);
  if (address != options_.linkAddress || (control & 0x40) == 0) {
    ++stats_.ignored;
    return;
  }
  ++stats_.requests;
  if (options_.trace) Log("<- " + Hex(frame));
  const auto asdu = frame.subspan(asduAt, frame.size() - 2 - asduAt);
  const Iec101FaultDecision decision = faults_.Next();
  const bool fcv = (control & 0x10) != 0;
  const bool fcb = (control & kCtrlFcb) != 0;
  std::vector<uint8_t> answer;
  if (fcv && lastFcb_ && *lastFcb_ == fcb && !lastAnswer_.empty()) {
    answer = lastAnswer_;
    Log("repeated frame-count bit: the last answer again");
  } else {
    answer = Answer(control, asdu, variable, nowMs, decision.negativeCause);
    if (fcv) {
      lastFcb_ = fcb;
      lastAnswer_ = answer;
    }
  }
  if (decision.noReply || answer.empty()) {
    if (decision.noReply) Log("fault: no reply");
    return;
  }
  if (!decision.Describe().empty()) Log("fault: " + decision.Describe());
  answer = ShapeIec101Frame(std::move(answer), decision, options_.addressSize, options_.linkAddress);
  if (options_.trace) Log("-> " + Hex(answer));
  pending_.push_back({nowMs + decision.delayMs + 2ull * options_.lineDelayMs, std::move(answer)});
  ++stats_.replies;
}

std::vector<uint8_t> Iec101Station::Answer(uint8_t control, std::span<const uint8_t> asdu,
                                           bool variable, uint64_t nowMs, uint8_t negativeCause) {
  if (options_.standard) return StandardAnswer(control, asdu, variable, nowMs, negativeCause);
  switch (control & 0x0F) {
    case 9:
      return Fixed(kSecondaryStatus);
    case 0:
      queue_.clear();
      lastFcb_.reset();
      lastAnswer_.clear();
      return Fixed(kSecondaryAck);
    case 3:
      if (!variable) return Fixed(kSecondaryNack);
      TakeCommand(asdu, nowMs, negativeCause);
      return Fixed(kSecondaryAck);
    case 11:
      return variable ? ReadAnswer(asdu, nowMs, negativeCause) : Class2Answer(nowMs, negativeCause);
    default:
      return Fixed(kSecondaryNack);
  }
}

void Iec101Station::TakeCommand(std::span<const uint8_t> asdu, uint64_t nowMs,
                                uint8_t negativeCause) {
  Iec101Command cmd;
  if (!ParseIec101Command(asdu, options_.sizes, cmd)) return;
  const uint8_t cause = CauseBits(cmd.cause);
  auto echo = [&](uint8_t c) { queue_.push_back(EchoAsduWithCause(asdu, c)); };
  if (negativeCause != 0) {
    echo(negativeCause);
    return;
  }
  switch (cmd.type) {
    case kCIcNa1: {
      const uint8_t qoi = cmd.element.empty() ? kCauseGroupBase : cmd.element[0];
      if (cause == kCauseDeactivation) {
        echo(kCauseDeactivationCon);
      } else if (cause != kCauseActivation || qoi < kCauseGroupBase || qoi > kCauseGroupBase + 16) {
        echo(cause != kCauseActivation ? (45 | kCauseNegativeBit) : (kCauseActivationCon | kCauseNegativeBit));
      } else {
        echo(kCauseActivationCon);
        const uint8_t group = static_cast<uint8_t>(qoi - kCauseGroupBase);
        QueueData(SelectIec101Entries(description_, group == 0 ? Iec101Selection::Station
                                                               : Iec101Selection::Group, group),
                  qoi, nowMs);
        echo(kCauseActivationTerm);
      }
      return;
    }
    case kCCsNa1: {
      const auto t = DecodeCp56Time2a(cmd.element);
      if (!t) {
        echo(kCauseActivationCon | kCauseNegativeBit);
        return;
      }
      transducer_.ClockOfDevice().Set(*t);
      Log(transducer_.ClockOfDevice().SetReport());
      echo(kCauseActivationCon);
      return;
    }
    case kCCdNa1: {
      if (cause != kCauseActivation || cmd.element.size() < 2) return;
      // The time is completed when the confirmation leaves (Class2Answer).
      delayTakenMs_ = nowMs;
      queue_.push_back(EchoAsduWithCause(asdu, kCauseActivationCon));
      return;
    }
    default:
      echo(kCauseUnknownType | kCauseNegativeBit);
  }
}

std::vector<uint8_t> Iec101Station::ReadAnswer(std::span<const uint8_t> asdu, uint64_t nowMs,
                                               uint8_t negativeCause) {
  Iec101Command cmd;
  if (!ParseIec101Command(asdu, options_.sizes, cmd)) return Fixed(kSecondaryNack);
  if (cmd.type != kCRdNa1)
    return UserData(EchoAsduWithCause(asdu, kCauseUnknownType | kCauseNegativeBit), 0);
  if (negativeCause != 0) return UserData(EchoAsduWithCause(asdu, negativeCause), 0);
  auto asdus = DataAsdus(SelectIec101Entries(description_, Iec101Selection::RunFrom,
                                             cmd.objectAddress),
                         kCauseRequest, nowMs);
  if (asdus.empty())
    return UserData(EchoAsduWithCause(asdu, kCauseUnknownObject | kCauseNegativeBit), 0);
  for (size_t i = 1; i < asdus.size(); ++i) queue_.push_back(std::move(asdus[i]));
  return UserData(std::move(asdus[0]), 0);
}

std::vector<uint8_t> Iec101Station::Class2Answer(uint64_t nowMs, uint8_t negativeCause) {
  if (queue_.empty())
    QueueData(SelectIec101Entries(description_, Iec101Selection::LinkSequence, 0),
              kCausePeriodic, nowMs);
  if (queue_.empty()) return Fixed(kSecondaryNoData);
  auto asdu = std::move(queue_.front());
  queue_.pop_front();
  if (asdu.size() >= 2 && asdu[0] == kCCdNa1 && delayTakenMs_) {
    // The received time plus the time held, as a station reports its processing.
    const uint32_t received = asdu[asdu.size() - 2] | (asdu[asdu.size() - 1] << 8);
    const uint64_t held = nowMs - *delayTakenMs_ + options_.processingMs;
    const auto tag = EncodeCp16Time2a(static_cast<uint16_t>((received + held) % 60000));
    asdu[asdu.size() - 2] = tag[0];
    asdu[asdu.size() - 1] = tag[1];
    delayTakenMs_.reset();
  }
  return UserData(std::move(asdu), negativeCause);
}

std::vector<std::vector<uint8_t>> Iec101Station::DataAsdus(const std::vector<size_t>& entries,
                                                           uint8_t cause, uint64_t nowMs) {
  std::vector<Iec101Point> points;
  std::vector<uint16_t> value;
  for (size_t k : entries) {
    const uint32_t address = ParseHexAddress(description_.entries[k].address);
    if (address > 0xFFFF) continue;
    if (transducer_.ReadRegisters(static_cast<uint16_t>(address), 1, value, nowMs) == 0)
      points.push_back({address, value[0]});
  }
  Iec101Format f;
  f.type = options_.monitorType;
  f.sequence = options_.sequence;
  f.sizes = options_.sizes;
  f.commonAddress = options_.linkAddress;
  f.maxAsdu = 255u - 1u - options_.addressSize;
  return BuildIec101MonitorAsdus(f, cause, points, transducer_.ClockOfDevice().Now());
}

void Iec101Station::QueueData(const std::vector<size_t>& entries, uint8_t cause, uint64_t nowMs) {
  for (auto& a : DataAsdus(entries, cause, nowMs)) queue_.push_back(std::move(a));
}

std::vector<uint8_t> Iec101Station::UserData(std::vector<uint8_t> asdu, uint8_t negativeCause) const {
  if (negativeCause != 0 && asdu.size() > 2) asdu[2] = negativeCause;
  return BuildVariableFrame(kCtrlRespondData, options_.linkAddress, options_.addressSize, asdu);
}

std::vector<uint8_t> Iec101Station::Fixed(uint8_t control) const {
  return BuildFixedFrame(control, options_.linkAddress, options_.addressSize);
}

}  // namespace tessvar::sim
