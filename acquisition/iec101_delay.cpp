// The delay acquisition of the IEC 101 engine: C_CD_NA_1 with the computer's UTC time, the
// station's reply timed on arrival, half the round trip as the one-way delay, and the
// measured delay sent back to the station.
#include <array>

#include "acquisition/iec101_engine.h"
#include "link/iec_delay.h"
#include "link/serial_line.h"

namespace tessvar {

namespace {

constexpr std::string_view kDelayLinkStatusFailed = "Ошибка инициализации канала";
constexpr std::string_view kDelayResetFailed = "Сбой при определении задержки передачи";
constexpr uint32_t kMinuteMs = 60000;

uint16_t MsInMinute(const WallTime& t) { return static_cast<uint16_t>(t.second * 1000 + t.millisecond); }

uint32_t MsSince(uint16_t start, uint16_t now) {
  return now >= start ? uint32_t{now} - start : uint32_t{now} + kMinuteMs - start;
}

IecFieldLayout LayoutOf(const Iec101LinkParams& p) {
  const AsduFieldSizes s = p.Asdu();
  return {p.addressSize, s.cause, s.commonAddress, s.objectAddress};
}

// The type and first cause octet of the ASDU in a variable frame of the layout.
std::pair<uint8_t, uint8_t> TypeAndCause(std::span<const uint8_t> frame, const IecFieldLayout& f) {
  const size_t at = 5 + size_t{f.linkAddress};
  return {frame[at], frame[at + 2]};
}

}  // namespace

DelayOutcome Iec101Engine::AcquireDelay() {
  using Then = DelayOutcome::Then;
  if (!ctx_.serial.IsOpen()) return {Then::kNothing, {}, SerialOpenFailureText(ctx_.settings.portText)};
  link_.SetHandle(&ctx_.serial);
  DrainStale();
  const uint16_t address = LinkAddress();
  if (!link_.RequestLinkStatus(address, params_)) return {Then::kNothing, {}, std::string(kDelayLinkStatusFailed)};
  if (!link_.ResetRemoteLink(address, params_)) return {Then::kNothing, {}, std::string(kDelayResetFailed)};
  refusal_.reset();
  const auto delay = MeasureDelay();
  if (ctx_.clock.Cancelled()) return {};  // stopped: no verdict, no restart
  if (delay) return {Then::kRestart, delay, {}};
  if (refusal_) return {Then::kStopAndRestart, {}, std::string(IecRefusalText(*refusal_))};
  // No usable reply: what the station says to a class 2 poll names the reason.
  link_.RequestClass2(address, params_);
  ctx_.clock.Sleep(kCommandReplyWaitMs);
  if (ctx_.clock.Cancelled()) return {};
  std::vector<uint8_t> reply;
  const auto second = static_cast<LinkResult>(link_.ReceiveFrame(reply, params_, decoder_));
  return {Then::kStopAndRestart, {}, std::string(IecRefusalText(second))};
}

std::optional<uint16_t> Iec101Engine::MeasureDelay() {
  Clock& clock = ctx_.clock;
  const uint16_t address = LinkAddress();
  const IecFieldLayout layout = LayoutOf(params_);
  clock.Yield();
  const uint64_t sentAt = clock.MonotonicMs();
  const uint16_t t0 = MsInMinute(clock.UtcNow());
  link_.SendConfirmed(address, params_,
                      BuildDelayAcquisition(address, kCauseActivation, t0, params_.Asdu(),
                                            kIec101Originator));
  clock.Sleep(kCommandReplyWaitMs);
  if (clock.Cancelled()) return std::nullopt;
  std::array<uint8_t, 256> buffer{};
  size_t n = ctx_.serial.ReadAvailable(buffer);
  if (!IsDelayAcknowledgement(std::span(buffer.data(), n), layout)) return std::nullopt;

  link_.RequestClass2(address, params_);
  ctx_.serial.WaitTransmitted();
  const size_t expected = DelayReplyLength(layout);
  std::vector<uint8_t> gathered;
  std::optional<uint16_t> tFirst;
  uint64_t firstAt = 0;
  const uint16_t tStart = MsInMinute(clock.UtcNow());
  while (gathered.size() < expected) {
    n = ctx_.serial.ReadAvailable(buffer);
    gathered.insert(gathered.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    const uint16_t now = MsInMinute(clock.UtcNow());
    // A reply that comes after the wait belongs to no measurement.
    if (MsSince(tStart, now) > kDelayReplyWaitMs) return std::nullopt;
    if (!tFirst && !gathered.empty()) {
      tFirst = now;
      firstAt = clock.MonotonicMs();
    }
    if (gathered.size() < expected) clock.Sleep(1);
    if (clock.Cancelled()) return std::nullopt;
  }
  const auto v = DelayReplyTime(gathered, layout);
  if (!v || !tFirst) return std::nullopt;
  const auto [type, cause] = TypeAndCause(gathered, layout);
  if (type != kCCdNa1 || CauseBits(cause) != kCauseActivationCon || IsNegative(cause)) {
    // A refusal in the reply is a refusal, not a time to measure by.
    refusal_ = static_cast<LinkResult>(JudgeAsduReply(type, cause));
    if (*refusal_ == LinkResult::kGood) refusal_ = LinkResult::kNotConfirmed;
    return std::nullopt;
  }
  // One way can never take longer than the whole exchange took; a longer result comes from
  // a time of another minute (about 30 s) and is no measurement.
  return DelayFromTimes(*tFirst, *v, static_cast<uint32_t>(firstAt - sentAt));
}

bool Iec101Engine::SendDelay(uint16_t delayMs) {
  if (!ctx_.serial.IsOpen()) return false;
  link_.SetHandle(&ctx_.serial);
  const uint16_t address = LinkAddress();
  const IecFieldLayout layout = LayoutOf(params_);
  link_.SendConfirmed(address, params_,
                      BuildDelayAcquisition(address, kCauseSpontaneous, delayMs, params_.Asdu(),
                                            kIec101Originator));
  ctx_.serial.WaitTransmitted();
  ctx_.clock.Sleep(kCommandReplyWaitMs);
  std::array<uint8_t, 256> buffer{};
  const size_t n = ctx_.serial.ReadAvailable(buffer);
  const auto echoed = DelayReplyTime(std::span(buffer.data(), n), layout);
  return echoed && *echoed == delayMs;
}

}  // namespace tessvar
