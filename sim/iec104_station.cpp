#include "sim/iec104_station.h"

#include <algorithm>

namespace tessvar::sim {

using namespace tessvar::iec104;

namespace {

constexpr uint8_t kPn = 0x40;
constexpr uint8_t kCauseCyclic = 1;
constexpr uint8_t kCauseRequest = 5;
constexpr uint8_t kCauseActCon = 7;
constexpr uint8_t kCauseActTerm = 10;
constexpr uint8_t kCauseUnknownType = 44;
constexpr uint8_t kCauseUnknownCause = 45;
constexpr uint8_t kCauseUnknownCommonAddress = 46;
constexpr uint8_t kCauseUnknownObject = 47;
constexpr size_t kBurstOctets = 5200;  // above the client's receive buffer
constexpr uint32_t kSplitGapMs = 2;    // between the two segments of a split APDU

}  // namespace

Iec104Station::Iec104Station(Iec104StationOptions options, Iec104FaultPlan faults,
                             Transducer& transducer, const DeviceDescription& description,
                             SimStats& stats, std::function<void(const std::string&)> log)
    : options_(options),
      faults_(faults),
      transducer_(transducer),
      description_(description),
      stats_(stats),
      log_(std::move(log)) {}

void Iec104Station::Log(const std::string& line) const {
  if (log_) log_(line);
}

void Iec104Station::Begin(uint64_t nowMs) {
  if (!beganMs_) beganMs_ = nowMs;
}

void Iec104Station::Close(const std::string& why) {
  if (closing_) return;
  Log("iec104: closing the connection: " + why);
  closing_ = true;
}

void Iec104Station::Receive(std::span<const uint8_t> bytes, uint64_t nowMs) {
  Begin(nowMs);
  if (closing_) return;
  if (options_.trace) Log("iec104 in:  " + HexText(bytes));
  while (!bytes.empty() && !closing_) {
    const size_t taken = in_.Append(bytes);
    bytes = bytes.subspan(taken);
    std::span<const uint8_t> apdu;
    for (;;) {
      const auto status = in_.Next(apdu);
      if (status == ApduStream::Status::NeedMore) break;
      if (status != ApduStream::Status::Apdu) {
        ++stats_.dropped;
        Close("octets that are no APDU");
        return;
      }
      ++stats_.requests;
      if (!faults_.noAnswer) HandleApdu(apdu, nowMs);
    }
    if (taken == 0) break;
  }
  FlushHeld(nowMs);
}

void Iec104Station::HandleApdu(std::span<const uint8_t> apdu, uint64_t nowMs) {
  switch (FormatOf(apdu[2])) {
    case ApduFormat::S:
      Acknowledged(ReceiveSequenceOf(apdu));
      break;
    case ApduFormat::U:
      HandleU(apdu, nowMs);
      break;
    case ApduFormat::I:
      vr_ = NextSequence(vr_);
      Acknowledged(ReceiveSequenceOf(apdu));
      // I-format APDUs before STARTDT are not for a stopped station.
      if (started_) HandleCommand(AsduOf(apdu), nowMs);
      break;
  }
}

void Iec104Station::HandleU(std::span<const uint8_t> apdu, uint64_t nowMs) {
  switch (apdu[2]) {
    case kStartDtAct:
      Emit(BuildUConfirmation(apdu, kStartDtCon), nowMs);
      if (!started_) {
        started_ = true;
        startedMs_ = nowMs;
        nextCyclicMs_ = nowMs + options_.cyclicMs;
        if (faults_.testFrEveryMs) nextTestFrMs_ = nowMs + *faults_.testFrEveryMs;
      }
      break;
    case kStopDtAct:
      started_ = false;
      Emit(BuildUConfirmation(apdu, kStopDtCon), nowMs);
      break;
    case kTestFrAct:
      Emit(BuildUConfirmation(apdu, kTestFrCon), nowMs);
      break;
    case kStopDtCon:
      Close("data transfer stopped");
      break;
    default:
      break;
  }
}

void Iec104Station::Acknowledged(uint16_t nr) {
  // N(R) acknowledges every I-format APDU whose N(S) is below it (modulo 2^15).
  while (!unacked_.empty() &&
         static_cast<uint16_t>(nr - unacked_.front().ns - 2) < 0x8000) {
    unacked_.pop_front();
  }
}

void Iec104Station::HandleCommand(std::span<const uint8_t> asdu, uint64_t nowMs) {
  CommandAsdu c;
  if (!ParseCommandAsdu(asdu, c)) return;
  ++stats_.replies;
  const uint8_t cause = c.cause & 0x3F;
  auto refuse = [&](uint8_t why) { SendAsdu(EchoWithCause(asdu, static_cast<uint8_t>(kPn | why)), nowMs); };
  if (c.commonAddress != options_.commonAddress && c.commonAddress != 0xFFFF) {
    return refuse(kCauseUnknownCommonAddress);
  }
  if (faults_.negativeCause) {
    const uint8_t own = c.type == 102 ? kCauseRequest : kCauseActCon;
    return refuse(*faults_.negativeCause ? *faults_.negativeCause : own);
  }
  switch (c.type) {
    case 100:
      if (cause != 6 || c.element.empty()) return refuse(kCauseUnknownCause);
      if (options_.standard && c.objectAddress != 0) return refuse(kCauseUnknownObject);
      return Interrogate(asdu, c.element[0], nowMs);
    case 102:
      if (cause != kCauseRequest) return refuse(kCauseUnknownCause);
      return Read(asdu, c.objectAddress, nowMs);
    case 103: {
      WallTime t;
      if (cause != 6) return refuse(kCauseUnknownCause);
      if (faults_.negativeClockCause) {
        return refuse(*faults_.negativeClockCause ? *faults_.negativeClockCause : kCauseActCon);
      }
      if (!ReadCp56(c.element, t)) return refuse(kCauseUnknownObject);
      transducer_.ClockOfDevice().Set(t);
      Log("iec104: " + transducer_.ClockOfDevice().SetReport());
      return SendAsdu(EchoWithCause(asdu, kCauseActCon), nowMs);
    }
    default:
      return refuse(kCauseUnknownType);
  }
}

std::vector<IecPoint> Iec104Station::Points(const std::function<bool(size_t)>& wanted, uint64_t nowMs) {
  std::vector<IecPoint> points;
  std::vector<uint16_t> value;
  for (size_t k = 0; k < description_.entries.size(); ++k) {
    const auto& e = description_.entries[k];
    if (ParseDecimalInt(e.size) == 0 || IsTimeColumn(e.name) || !wanted(k)) continue;
    const uint32_t address = ParseHexAddress(e.address);
    if (address > 0xFFFF || transducer_.ReadRegisters(static_cast<uint16_t>(address), 1, value, nowMs) != 0) {
      continue;
    }
    points.push_back({address, value.front()});
  }
  return points;
}

void Iec104Station::Interrogate(std::span<const uint8_t> asdu, uint8_t qualifier, uint64_t nowMs) {
  if (qualifier < 20 || qualifier > 36) return SendAsdu(EchoWithCause(asdu, kPn | kCauseUnknownObject), nowMs);
  SendAsdu(EchoWithCause(asdu, kCauseActCon), nowMs);
  const uint8_t group = static_cast<uint8_t>(qualifier - 20);
  auto points = Points([&](size_t k) {
    const uint8_t code = description_.GroupCode(k);
    return group == 0 || (code == 20 && !options_.standard) || code == qualifier;
  }, nowMs);
  SendData(qualifier, points, nowMs);
  SendAsdu(EchoWithCause(asdu, kCauseActTerm), nowMs);
}

void Iec104Station::Read(std::span<const uint8_t> asdu, uint32_t address, uint64_t nowMs) {
  const auto all = Points([](size_t) { return true; }, nowMs);
  auto first = std::find_if(all.begin(), all.end(), [&](const IecPoint& p) { return p.address == address; });
  if (first == all.end()) return SendAsdu(EchoWithCause(asdu, kPn | kCauseUnknownObject), nowMs);
  std::vector<IecPoint> run;
  for (auto it = first; it != all.end() && it->address == address + run.size(); ++it) {
    run.push_back(*it);
    if (options_.standard) break;  // a standard station answers the one object asked for
  }
  SendData(kCauseRequest, run, nowMs);
}

void Iec104Station::SendData(uint8_t cause, const std::vector<IecPoint>& points, uint64_t nowMs) {
  MonitorFormat f{options_.monitorType, options_.sequence, options_.commonAddress};
  const auto asdus = BuildMonitorAsdus(f, cause, points, transducer_.ClockOfDevice().Now());
  size_t copies = 1;
  if (faults_.burst && !burstSent_ && !asdus.empty()) {
    size_t octets = 0;
    for (const auto& a : asdus) octets += a.size() + kHeadOctets;
    copies = kBurstOctets / std::max<size_t>(octets, 1) + 1;
    burstSent_ = true;
    Log("iec104: sending the data " + std::to_string(copies) + " times in one burst");
  }
  for (size_t c = 0; c < copies; ++c) {
    for (const auto& a : asdus) {
      SendAsdu(a, nowMs);
      ++dataAsdus_;
    }
  }
}

void Iec104Station::SendAsdu(std::vector<uint8_t> asdu, uint64_t nowMs) {
  held_.push_back(std::move(asdu));
  FlushHeld(nowMs);
}

void Iec104Station::FlushHeld(uint64_t nowMs) {
  while (!held_.empty() && unacked_.size() < options_.k && !closing_) {
    Emit(BuildIFormat(vs_, vr_, held_.front()), nowMs);
    unacked_.push_back({vs_, nowMs});
    vs_ = NextSequence(vs_);
    held_.pop_front();
  }
}

void Iec104Station::Emit(std::vector<uint8_t> apdu, uint64_t nowMs) {
  if (apdu.empty()) return;
  if (options_.trace) Log("iec104 out: " + HexText(apdu));
  uint64_t due = nowMs;
  if (!pending_.empty()) due = std::max(due, pending_.back().dueMs);
  if (faults_.split && apdu.size() > 1) {
    const size_t cut = splitOffset_ % (apdu.size() - 1) + 1;
    ++splitOffset_;
    pending_.push_back({due, std::vector<uint8_t>(apdu.begin(), apdu.begin() + static_cast<long>(cut))});
    pending_.push_back({due + kSplitGapMs, std::vector<uint8_t>(apdu.begin() + static_cast<long>(cut), apdu.end())});
    return;
  }
  pending_.push_back({due, std::move(apdu)});
}

void Iec104Station::Tick(uint64_t nowMs) {
  Begin(nowMs);
  if (closing_) return;
  if (faults_.closeAfterMs && nowMs >= *beganMs_ + *faults_.closeAfterMs) return Close("close-after fault");
  if (options_.t1Ms && !unacked_.empty() && nowMs >= unacked_.front().sentMs + options_.t1Ms) {
    return Close("no acknowledgement within t1");
  }
  if (!started_ || faults_.noAnswer) return;
  if (faults_.stopDtAfterMs && !stopDtSent_ && nowMs >= *startedMs_ + *faults_.stopDtAfterMs) {
    stopDtSent_ = true;
    started_ = false;
    Emit(BuildUFormat(kStopDtAct), nowMs);
    return;
  }
  if (faults_.garbageAfterMs && !garbageSent_ && nowMs >= *startedMs_ + *faults_.garbageAfterMs) {
    garbageSent_ = true;
    pending_.push_back({nowMs, {0x55, 0xAA, 0x00, 0x16, 0x10, 0x68}});
  }
  if (faults_.testFrEveryMs && *faults_.testFrEveryMs > 0 && nowMs >= nextTestFrMs_) {
    nextTestFrMs_ = nowMs + *faults_.testFrEveryMs;
    Emit(BuildUFormat(kTestFrAct), nowMs);
  }
  if (options_.cyclicMs && nowMs >= nextCyclicMs_) {
    nextCyclicMs_ = nowMs + options_.cyclicMs;
    SendData(kCauseCyclic, Points([](size_t) { return true; }, nowMs), nowMs);
  }
  FlushHeld(nowMs);
}

std::optional<uint64_t> Iec104Station::NextDeadline() const {
  std::optional<uint64_t> next;
  auto consider = [&](uint64_t t) { next = next ? std::min(*next, t) : t; };
  if (!pending_.empty()) consider(pending_.front().dueMs);
  if (closing_ || !beganMs_) return next;
  if (faults_.closeAfterMs) consider(*beganMs_ + *faults_.closeAfterMs);
  if (options_.t1Ms && !unacked_.empty()) consider(unacked_.front().sentMs + options_.t1Ms);
  if (!started_ || faults_.noAnswer) return next;
  if (faults_.stopDtAfterMs && !stopDtSent_) consider(*startedMs_ + *faults_.stopDtAfterMs);
  if (faults_.garbageAfterMs && !garbageSent_) consider(*startedMs_ + *faults_.garbageAfterMs);
  if (faults_.testFrEveryMs && *faults_.testFrEveryMs > 0) consider(nextTestFrMs_);
  if (options_.cyclicMs) consider(nextCyclicMs_);
  return next;
}

std::vector<uint8_t> Iec104Station::TakeDue(uint64_t nowMs) {
  std::vector<uint8_t> out;
  while (!pending_.empty() && pending_.front().dueMs <= nowMs) {
    out.insert(out.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
    pending_.pop_front();
    // A split APDU's halves leave in separate writes.
    if (faults_.split) break;
  }
  return out;
}

}  // namespace tessvar::sim
