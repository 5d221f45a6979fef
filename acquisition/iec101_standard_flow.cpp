// The IEC 101 engine against a standard secondary: interrogation at object address 0, class
// 1 polled while the station sets ACD, E5 and NACK to a poll taken as "nothing now", the
// read command sent with SEND/CONFIRM for every object still missing, and a reply that got
// lost asked for once more with the same frame count bit before it counts as a failure.
#include "acquisition/iec101_engine.h"

namespace tessvar {

namespace {
bool Answered(uint8_t r) {
  return r == Ft12Result::kGood || r == Ft12Result::kSingleAck || r == Ft12Result::kNoData;
}
}  // namespace

uint8_t Iec101Engine::ReceiveRepeating(std::vector<uint8_t>& reply) {
  bool acd = false;
  uint8_t r = link_.ReceiveStandard(reply, params_, decoder_, acd);
  if (r == Ft12Result::kNothing && policy_.repeatLostReply && !ctx_.clock.Cancelled() &&
      link_.RepeatLast()) {
    ctx_.clock.Sleep(kCommandReplyWaitMs);
    if (ctx_.clock.Cancelled()) return r;
    r = link_.ReceiveStandard(reply, params_, decoder_, acd);
  }
  if (Answered(r)) class1Pending_ = acd;
  return r;
}

FirstRequestOutcome Iec101Engine::StandardFirstRequest() {
  const uint16_t address = LinkAddress();
  // "Стоп" during a wait: return at once and send nothing more.
  const auto stopped = [this] { return ctx_.clock.Cancelled(); };
  if (!softRestartPending_) {
    const bool answered = link_.RequestLinkStatus(address, params_);
    if (stopped()) return {};
    if (!answered) return {true, std::string(kIecLinkInitFailed)};
    link_.ResetRemoteLink(address, params_);
    if (stopped()) return {};
  }
  softRestartPending_ = false;
  class1Pending_ = false;
  readAddresses_ = mode_ == IecReadMode::Read102 ? AwaitedObjectAddresses(decoder_)
                                                 : std::vector<uint32_t>{};
  readCursor_ = 0;

  const uint8_t cause = mode_ == IecReadMode::GroupPoll ? kCauseActivation : kCauseDeactivation;
  link_.SendConfirmed(address, params_,
                      BuildInterrogation(address, 0, cause, params_.group, params_.Asdu(),
                                         kIec101Originator));
  ctx_.clock.Sleep(kCommandReplyWaitMs);
  if (stopped()) return {};
  std::vector<uint8_t> reply;
  const uint8_t first = ReceiveRepeating(reply);
  if (stopped()) return {};
  // The confirmation itself comes as class 1 data; here only the link acknowledgement.
  if (first != Ft12Result::kGood && first != Ft12Result::kSingleAck) {
    return {true, std::string(kIecNotConfirmed)};
  }
  decoder_.asduCounter = mode_ == IecReadMode::GroupPoll ? 1 : 0;
  SendNext();
  return {};
}

void Iec101Engine::StandardSendNext() {
  const uint16_t address = LinkAddress();
  if (class1Pending_) {
    link_.RequestClass1(address, params_);
    return;
  }
  if (mode_ == IecReadMode::Read102) {
    if (const auto object = NextMissingAddress(decoder_, readAddresses_, readCursor_)) {
      link_.SendConfirmed(address, params_,
                          BuildRead(address, *object, params_.Asdu(), kIec101Originator));
      return;
    }
  }
  link_.RequestClass2(address, params_);
}

CollectOutcome Iec101Engine::StandardCollect(std::vector<uint8_t>& reply) {
  CollectOutcome out;
  link_.SetHandle(&ctx_.serial);
  const std::vector<bool> awaited = decoder_.awaited;
  uint8_t r = ReceiveRepeating(reply);
  // E5 or a NACK to a poll: the station has nothing now.
  if (r == Ft12Result::kSingleAck || r == Ft12Result::kNoData) r = Ft12Result::kGood;
  out.result = static_cast<LinkResult>(r);
  replyHadImage_ = out.result == LinkResult::kGood && !reply.empty();
  if (replyHadImage_) handedAwaited_ = awaited;
  lastResult_ = out.result;
  if (mode_ == IecReadMode::Read102) decoder_.asduCounter = 0;
  out.showConverterTime = decoder_.lastType != kCIcNa1;
  return out;
}

}  // namespace tessvar
