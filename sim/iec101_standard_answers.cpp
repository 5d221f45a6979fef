// The simulated 101 station as a standard secondary: commands are confirmed at once (E5, or
// an ACK with ACD when class 1 has something), everything a command brings back travels
// as class 1 data with ACD set while more is queued, and class 2 carries cyclic data.
#include "link/ft12_frames.h"
#include "sim/iec101_station.h"

namespace tessvar::sim {
namespace {

constexpr uint8_t kSecondaryAck = 0x00;
constexpr uint8_t kSecondaryNack = 0x01;
constexpr uint8_t kSecondaryNoData = 0x09;
constexpr uint8_t kSecondaryStatus = 0x0B;
constexpr uint8_t kCausePeriodic = 1;
constexpr uint8_t kClass1Request = 10;
constexpr uint8_t kClass2Request = 11;

}  // namespace

std::vector<uint8_t> Iec101Station::StandardAnswer(uint8_t control,
                                                   std::span<const uint8_t> asdu, bool variable,
                                                   uint64_t nowMs, uint8_t negativeCause) {
  const std::vector<uint8_t> e5{kFt12SingleAck};
  switch (control & 0x0F) {
    case 9:
      return Fixed(kSecondaryStatus | Acd());
    case 0:
      queue_.clear();
      class1_.clear();
      lastFcb_.reset();
      lastAnswer_.clear();
      lastCyclicMs_.reset();
      return e5;
    case 3:
      if (!variable) return Fixed(kSecondaryNack | Acd());
      StandardCommand(asdu, nowMs, negativeCause);
      return class1_.empty() ? e5 : Fixed(kSecondaryAck | Acd());
    case kClass1Request:
      if (variable) return {};
      return Class1Answer(negativeCause);
    case kClass2Request:
      // User data in a request frame is no request of this station: it is not answered.
      if (variable) return {};
      return StandardClass2Answer(nowMs, negativeCause);
    default:
      return Fixed(kSecondaryNack | Acd());
  }
}

void Iec101Station::StandardCommand(std::span<const uint8_t> asdu, uint64_t nowMs,
                                    uint8_t negativeCause) {
  Iec101Command cmd;
  if (!ParseIec101Command(asdu, options_.sizes, cmd)) return;
  auto echo = [&](uint8_t c) { class1_.push_back(EchoAsduWithCause(asdu, c)); };
  if (negativeCause != 0) {
    echo(negativeCause);
    return;
  }
  const uint8_t cause = CauseBits(cmd.cause);
  switch (cmd.type) {
    case kCIcNa1: {
      const uint8_t qoi = cmd.element.empty() ? 0 : cmd.element[0];
      if (cmd.objectAddress != 0) {
        echo(kCauseUnknownObject | kCauseNegativeBit);
      } else if (cause == kCauseDeactivation) {
        echo(kCauseDeactivationCon);
      } else if (cause != kCauseActivation) {
        echo(45 | kCauseNegativeBit);
      } else if (qoi < kCauseGroupBase || qoi > kCauseGroupBase + 16) {
        echo(kCauseActivationCon | kCauseNegativeBit);
      } else {
        echo(kCauseActivationCon);
        const auto group = static_cast<uint8_t>(qoi - kCauseGroupBase);
        const auto entries = SelectIec101Entries(
            description_, group == 0 ? Iec101Selection::Station : Iec101Selection::GroupMembers,
            group);
        for (auto& a : DataAsdus(entries, qoi, nowMs)) class1_.push_back(std::move(a));
        echo(kCauseActivationTerm);
      }
      return;
    }
    case kCRdNa1: {
      std::vector<size_t> one;
      const auto all = SelectIec101Entries(description_, Iec101Selection::Station, 0);
      for (size_t k : all) {
        if (ParseHexAddress(description_.entries[k].address) == cmd.objectAddress) one = {k};
      }
      if (one.empty()) {
        echo(kCauseUnknownObject | kCauseNegativeBit);
        return;
      }
      for (auto& a : DataAsdus(one, kCauseRequest, nowMs)) class1_.push_back(std::move(a));
      return;
    }
    default: {
      // Clock synchronisation, delay acquisition and the refusals as the transducer gives
      // them, but as class 1 data.
      const size_t before = queue_.size();
      TakeCommand(asdu, nowMs, 0);
      while (queue_.size() > before) {
        class1_.push_back(std::move(queue_.back()));
        queue_.pop_back();
      }
    }
  }
}

std::vector<uint8_t> Iec101Station::Class1Answer(uint8_t negativeCause) {
  if (class1_.empty()) return {kFt12SingleAck};
  auto asdu = std::move(class1_.front());
  class1_.pop_front();
  if (negativeCause != 0 && asdu.size() > 2) asdu[2] = negativeCause;
  return BuildVariableFrame(static_cast<uint8_t>(kCtrlRespondData | Acd()), options_.linkAddress,
                            options_.addressSize, asdu);
}

std::vector<uint8_t> Iec101Station::StandardClass2Answer(uint64_t nowMs, uint8_t negativeCause) {
  if (queue_.empty() && (!lastCyclicMs_ || nowMs - *lastCyclicMs_ >= options_.cyclicMs)) {
    QueueData(SelectIec101Entries(description_, Iec101Selection::LinkSequence, 0),
              kCausePeriodic, nowMs);
    lastCyclicMs_ = nowMs;
  }
  if (queue_.empty()) {
    // Nothing now: E5 when class 1 is empty too, else a NACK that carries ACD.
    return class1_.empty() ? std::vector<uint8_t>{kFt12SingleAck}
                           : Fixed(kSecondaryNoData | Acd());
  }
  auto asdu = std::move(queue_.front());
  queue_.pop_front();
  if (negativeCause != 0 && asdu.size() > 2) asdu[2] = negativeCause;
  return BuildVariableFrame(static_cast<uint8_t>(kCtrlRespondData | Acd()), options_.linkAddress,
                            options_.addressSize, asdu);
}

}  // namespace tessvar::sim
