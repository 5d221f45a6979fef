#include "acquisition/iec101_engine.h"

#include <array>

#include "acquisition/run_texts.h"
#include "link/serial_line.h"

namespace tessvar {

namespace {
// A freshly opened adapter needs a moment before it takes its settings.
constexpr uint32_t kSerialSettleMs = 100;
constexpr size_t kDrainRounds = 16;

bool IsDataCause(uint8_t causeOctet) {
  const uint8_t c = CauseBits(causeOctet);
  return c == 1 || c == kCauseSpontaneous || c == kCauseRequest ||
         (c >= kCauseGroupBase && c <= kCauseGroupBase + 16);
}
}  // namespace

std::string_view InterrogationRefusalText(LinkResult second) { return IecRefusalText(second); }

Iec101Engine::Iec101Engine(const EngineContext& context) : ctx_(context) {}

uint16_t Iec101Engine::LinkAddress() const {
  return params_.addressSize == 2 ? ctx_.settings.deviceAddress
                                  : static_cast<uint16_t>(ctx_.settings.deviceAddress & 0xFF);
}

OpenOutcome Iec101Engine::OpenPort() {
  CSerialLine& line = ctx_.serial;
  if (!line.IsOpen() && !line.Open(ctx_.settings.portText)) {
    return SerialOpenFailure(ctx_.settings.portText);
  }
  ctx_.clock.Sleep(kSerialSettleMs);
  if (ctx_.clock.Cancelled()) return {};  // "Стоп" while settling: the stop comes next
  SerialParameters p = ctx_.settings.serial;
  p.dataBits.assign(1, '8');
  line.Configure(BuildSerialSettingsText(p));
  link_.SetHandle(&line);
  mode_ = ctx_.settings.iecReadMode;
  policy_ = StationPolicy(ctx_.settings.iecProfile);
  params_ = MakeIec101LinkParams(ctx_.settings.iecSizes, ctx_.settings.group);
  readList_.reset();
  if (mode_ == IecReadMode::Read102) {
    std::vector<PollEntry> entries;
    for (const auto& e : ctx_.description.entries) {
      PollEntry p2;
      p2.name = e.name;
      p2.address = ParseHexText(e.address);
      p2.pollSize = ParseHexText(e.size);
      entries.push_back(std::move(p2));
    }
    readList_.emplace(BuildReadList(entries));
    if (readList_->Empty()) return {false, std::string(kReadListRefusedText)};
  }
  return {};
}

void Iec101Engine::DrainStale() {
  std::array<uint8_t, 256> discard{};
  for (size_t i = 0; i < kDrainRounds && ctx_.serial.ReadAvailable(discard) > 0; ++i) {
  }
}

bool Iec101Engine::IsOpen() const { return ctx_.serial.IsOpen(); }

FirstRequestOutcome Iec101Engine::SendFirstRequest(const RequestBlock& block) {
  link_.SetHandle(&ctx_.serial);
  // The decoder starts afresh with every run start: a new cycle, nothing received yet.
  const size_t awaited = mode_ == IecReadMode::LinkLevelRead ? block.firstEntry + block.count
                                                             : SIZE_MAX;
  decoder_ = MakeAsduDecoder(ctx_.description, params_.Asdu(), mode_,
                             static_cast<uint8_t>(params_.group), awaited);
  ApplyStationPolicy(policy_, ctx_.description, ctx_.settings, decoder_);
  replyHadImage_ = false;
  if (policy_.standard) return StandardFirstRequest();
  const uint16_t address = LinkAddress();
  // "Стоп" during any of the waits below: return at once, send nothing more (the run stops
  // right after this handler).
  const auto stopped = [this] { return ctx_.clock.Cancelled(); };
  if (!softRestartPending_) {
    const bool answered = link_.RequestLinkStatus(address, params_);
    if (stopped()) return {};
    if (!answered) return {true, std::string(kIecLinkInitFailed)};
    link_.ResetRemoteLink(address, params_);
    if (stopped()) return {};
  }
  softRestartPending_ = false;

  const uint8_t cause = mode_ == IecReadMode::GroupPoll ? kCauseActivation : kCauseDeactivation;
  link_.SendConfirmed(address, params_,
                      BuildInterrogation(address, block.start, cause, params_.group,
                                         params_.Asdu(), kIec101Originator));
  ctx_.clock.Sleep(kCommandReplyWaitMs);
  if (stopped()) return {};
  std::vector<uint8_t> reply;
  const auto first = static_cast<LinkResult>(link_.ReceiveFrame(reply, params_, decoder_));
  if (stopped()) return {};
  if (first != LinkResult::kGood && first != LinkResult::kSingleCharAck) {
    link_.RequestClass2(address, params_);
    ctx_.clock.Sleep(kCommandReplyWaitMs);
    if (stopped()) return {};
    const auto second = static_cast<LinkResult>(link_.ReceiveFrame(reply, params_, decoder_));
    if (stopped()) return {};
    return {true, std::string(InterrogationRefusalText(second))};
  }
  // Nothing decoded since the interrogation went out.
  decoder_.asduCounter = mode_ == IecReadMode::GroupPoll ? 1 : 0;
  SendNext();
  return {};
}

void Iec101Engine::SendNext() {
  if (policy_.standard) return StandardSendNext();
  const uint16_t address = LinkAddress();
  if (mode_ == IecReadMode::Read102 && readList_ && !readList_->Empty()) {
    link_.SendRequestRespond(address, params_,
                             BuildRead(address, readList_->Next(), params_.Asdu(),
                                       kIec101Originator));
  } else {
    link_.RequestClass2(address, params_);
  }
}

CollectOutcome Iec101Engine::Collect(std::vector<uint8_t>& reply) {
  if (policy_.standard) return StandardCollect(reply);
  CollectOutcome out;
  link_.SetHandle(&ctx_.serial);
  // Which entries the image about to be handed over carries: fixed before the decode
  // starts the next cycle.
  const std::vector<bool> awaited = decoder_.awaited;
  out.result = static_cast<LinkResult>(link_.ReceiveFrame(reply, params_, decoder_));
  replyHadImage_ = out.result == LinkResult::kGood && !reply.empty();
  if (replyHadImage_) handedAwaited_ = awaited;
  lastResult_ = out.result;
  if (mode_ == IecReadMode::Read102) decoder_.asduCounter = 0;
  out.showConverterTime = decoder_.lastType != kCIcNa1;
  return out;
}

bool Iec101Engine::ReplyHasData() const {
  return replyHadImage_ && IsDataCause(decoder_.lastCause);
}

AfterRequest Iec101Engine::SendRequest(const RequestBlock&) {
  if (!IsOpen()) return AfterRequest::kContinue;
  if (decoder_.lastType == kCIcNa1 && CauseBits(decoder_.lastCause) == kCauseActivationTerm) {
    // The interrogation has ended: ask again without initialising the link.
    softRestartPending_ = true;
    return AfterRequest::kSoftRestart;
  }
  SendNext();
  return AfterRequest::kContinue;
}

ClockWriteOutcome Iec101Engine::WriteClock(const ClockTarget&) {
  using Then = ClockWriteOutcome::Then;
  // Without the port the run cannot go on: polling stays stopped.
  if (!ctx_.serial.IsOpen()) return {Then::kNothing, SerialOpenFailureText(ctx_.settings.portText)};
  link_.SetHandle(&ctx_.serial);
  DrainStale();
  const uint16_t address = LinkAddress();
  // A fresh link initialisation; a station that answers neither request cannot be set.
  if (!link_.RequestLinkStatus(address, params_) || !link_.ResetRemoteLink(address, params_)) {
    return {Then::kStopAndRestart, std::string(kIecLinkInitFailed)};
  }
  link_.SendConfirmed(address, params_,
                      BuildClockSync(address, params_.Asdu(), kIec101Originator, ctx_.clock,
                                     ctx_.settings.timeBase));
  ctx_.clock.Sleep(kCommandReplyWaitMs);
  if (ctx_.clock.Cancelled()) return {Then::kNothing, {}};  // stopped: no verdict, no restart
  std::vector<uint8_t> reply;
  const auto first = static_cast<LinkResult>(link_.ReceiveFrame(reply, params_, decoder_));
  // The station's confirmation (or its refusal) comes with the class 2 poll.
  decoder_.lastType = 0;
  link_.RequestClass2(address, params_);
  ctx_.clock.Sleep(kCommandReplyWaitMs);
  const auto second = static_cast<LinkResult>(link_.ReceiveFrame(reply, params_, decoder_));
  const bool acknowledged = first == LinkResult::kGood || first == LinkResult::kSingleCharAck;
  // A negative confirmation of the clock command is a refusal even after a good link
  // acknowledgement; reporting success there would leave the clock unset unnoticed.
  const bool refused = decoder_.lastType == kCCsNa1 && second != LinkResult::kGood;
  if (!acknowledged || refused) {
    return {Then::kStopAndRestart, std::string(InterrogationRefusalText(second))};
  }
  return {Then::kRestart, {}};
}

std::string Iec101Engine::AsduFieldText() const {
  return decoder_.lastMonitorType != 0 ? std::to_string(decoder_.lastMonitorType) : " ";
}

bool Iec101Engine::ValuesCameUntimed() const {
  return policy_.Untimed(decoder_.lastMonitorType);
}

std::optional<ConverterTime> Iec101Engine::DecodedConverterTime() const { return decoder_.time; }

void Iec101Engine::RestrictAvailability(std::span<const PollEntry> entries,
                                        AvailabilityMarks& marks) const {
  if (ctx_.settings.iecReadMode == IecReadMode::LinkLevelRead) RestrictToFirstRun(entries, marks);
}

void Iec101Engine::Close(LinkClose how) {
  if (how == LinkClose::kStop) softRestartPending_ = false;
  CloseTransports(ctx_, how);
}

}  // namespace tessvar
