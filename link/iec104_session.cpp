#include "link/iec104_session.h"

#include <algorithm>

#include "link/iec_refusal.h"
#include "link/link_result.h"

namespace tessvar::iec104 {
namespace {

// The run's result for a refused command: the four unknown-field causes name themselves,
// any other refusal is a negative confirmation.
LinkResult RefusalResult(uint8_t causeOctet) {
  const uint8_t cause = CauseBits(causeOctet);
  if (cause >= kCauseUnknownType && cause <= kCauseUnknownObject) return static_cast<LinkResult>(cause);
  return LinkResult::kNegativeAck;
}

// Time since `since`; 0 when `since` was taken after `now` (the clock moved on meanwhile).
uint64_t Since(uint64_t now, uint64_t since) { return now > since ? now - since : 0; }

}  // namespace

Iec104Session::Iec104Session(SessionConfig config, AsduDecoder decoder, Clock& clock)
    : config_(std::move(config)), decoder_(std::move(decoder)), clock_(clock) {
  decoder_.sizes = kIec104FieldSizes;
  StartCycle(decoder_);
  NoteAwaited();
  lastActivityMs_ = clock_.MonotonicMs();
}

void Iec104Session::Start() {
  if (ended_ || started_ || startPending_) return;
  Queue(BuildUFormat(kStartDtAct));
  startPending_ = true;
}

void Iec104Session::Queue(std::vector<uint8_t> apdu) {
  if (tap_) tap_->OnFrame(FrameDirection::Sent, clock_.MonotonicMs(), apdu);
  outgoing_.push_back(std::move(apdu));
  lastActivityMs_ = clock_.MonotonicMs();
}

void Iec104Session::SendIFormat(const std::vector<uint8_t>& asdu) {
  auto apdu = BuildIFormat(vs_, vr_, asdu);
  if (apdu.empty()) return;
  Queue(std::move(apdu));
  vs_ = NextSequence(vs_);
}

void Iec104Session::SendInterrogation() {
  SendIFormat(BuildInterrogation(config_.commonAddress, 0, kCauseActivation, config_.group,
                                 kIec104FieldSizes, kIec104Originator));
}

void Iec104Session::SendRead() {
  if (config_.readAddresses.empty()) return;
  readCursor_ %= config_.readAddresses.size();
  const uint32_t address = config_.readAddresses[readCursor_++];
  SendIFormat(BuildRead(config_.commonAddress, address, kIec104FieldSizes, kIec104Originator));
  requestTime_ = config_.timeBase == TimeBase::Gmt ? clock_.UtcNow() : clock_.LocalNow();
}

void Iec104Session::Feed(std::span<const uint8_t> bytes) {
  if (ended_ || bytes.empty()) return;
  lastActivityMs_ = clock_.MonotonicMs();
  while (!bytes.empty() && !ended_) {
    const size_t taken = stream_.Append(bytes);
    bytes = bytes.subspan(taken);
    std::span<const uint8_t> apdu;
    for (;;) {
      const auto status = stream_.Next(apdu);
      if (status == ApduStream::Status::NeedMore) break;
      if (status != ApduStream::Status::Apdu) {
        End(status == ApduStream::Status::BadStart ? LinkResult::kBadStart : LinkResult::kError);
        return;
      }
      HandleApdu(apdu);
      if (ended_) return;
    }
    if (taken == 0) {  // a full buffer without a whole APDU cannot happen: lengths are < 256
      End(LinkResult::kError);
      return;
    }
  }
  AfterBatch();
}

void Iec104Session::HandleApdu(std::span<const uint8_t> apdu) {
  if (tap_) tap_->OnFrame(FrameDirection::Received, clock_.MonotonicMs(), apdu);
  switch (FormatOf(apdu[2])) {
    case ApduFormat::S:
      break;  // the station's acknowledgement of our commands; V(R) stays
    case ApduFormat::U:
      HandleU(apdu);
      break;
    case ApduFormat::I:
      HandleI(apdu);
      if (!stopping_ && !ended_) AcknowledgeIfDue(false);
      break;
  }
}

void Iec104Session::HandleU(std::span<const uint8_t> apdu) {
  switch (apdu[2]) {
    case kStartDtAct:
      Queue(BuildUConfirmation(apdu, kStartDtCon));
      started_ = true;
      startPending_ = false;
      break;
    case kStartDtCon:
      started_ = true;
      startPending_ = false;
      if (config_.mode == IecReadMode::GroupPoll && !stopping_) {
        interrogationDueMs_.reset();
        SendInterrogation();
      }
      break;
    case kStopDtAct:
      // The station ends data transfer: confirm and end the connection; the run restarts.
      Queue(BuildUConfirmation(apdu, kStopDtCon));
      End(LinkResult::kError);
      break;
    case kStopDtCon:
      End(stopping_ ? endResult_ : LinkResult::kError);
      break;
    case kTestFrAct:
      Queue(BuildUConfirmation(apdu, kTestFrCon));
      break;
    default:
      break;  // TESTFR con and unknown functions need nothing
  }
}

void Iec104Session::HandleI(std::span<const uint8_t> apdu) {
  vr_ = NextSequence(vr_);
  if (!unackedSinceMs_) unackedSinceMs_ = clock_.MonotonicMs();
  const auto asdu = AsduOf(apdu);
  DecodeAsdu(decoder_, asdu);
  if (asdu.size() < 3) return;  // too short to carry a type and a cause
  const uint8_t type = asdu[0];
  const uint8_t cause = asdu[2];
  const bool command = type == kCIcNa1 || type == kCRdNa1 || type == kCCsNa1;
  if (type == kCRdNa1 || (command && JudgeAsduReply(type, cause) != 0)) {
    Reject(type, cause);
    return;
  }
  if (type == kCCsNa1 && CauseBits(cause) == kCauseActivationCon) ++clockSyncsConfirmed_;
  if (type == kCIcNa1 && CauseBits(cause) == kCauseActivationCon) {
    requestTime_ = config_.timeBase == TimeBase::Gmt ? clock_.UtcNow() : clock_.LocalNow();
  }
  if (type == kCIcNa1 && CauseBits(cause) == kCauseActivationTerm && !stopping_ &&
      config_.mode == IecReadMode::GroupPoll) {
    interrogationDueMs_ = clock_.MonotonicMs() + config_.pollPeriodMs;
  }
  if (decoder_.complete) CompleteDataSet();
}

void Iec104Session::Reject(uint8_t type, uint8_t cause) {
  if (stopping_) return;
  if (type == kCRdNa1) {
    const uint8_t bits = CauseBits(cause);
    const bool named = bits == kCauseUnknownType || bits == 45 || bits == kCauseUnknownObject;
    endResult_ = named ? static_cast<LinkResult>(bits) : LinkResult::kError;
    events_.push_back({SessionEvent::Kind::Message, nullptr, std::string(LinkResultText(endResult_)),
                       LinkResult::kGood});
  } else {
    endResult_ = RefusalResult(cause);
    // A refused clock synchronisation is said in words: the clock stays as it was.
    if (type == kCCsNa1) {
      events_.push_back({SessionEvent::Kind::Message, nullptr,
                         std::string(IecRefusalText(static_cast<LinkResult>(CauseBits(cause)))),
                         LinkResult::kGood});
    }
  }
  // An orderly end: the run finds the connection over and restarts.
  Queue(BuildUFormat(kStopDtAct));
  stopping_ = true;
  stopDeadlineMs_ = clock_.MonotonicMs() + kStopConfirmWaitMs;
  interrogationDueMs_.reset();
  readWanted_ = false;
}

void Iec104Session::CompleteDataSet() {
  auto snapshot = std::make_shared<DataSetSnapshot>();
  snapshot->image = decoder_.image;
  snapshot->converterTime = decoder_.time;
  snapshot->lastType = decoder_.lastType;
  snapshot->lastMonitorType = decoder_.lastMonitorType;
  snapshot->lastCause = decoder_.lastCause;
  if (config_.mode == IecReadMode::LinkLevelRead) {
    requestTime_ = config_.timeBase == TimeBase::Gmt ? clock_.UtcNow() : clock_.LocalNow();
  }
  snapshot->awaited = awaited_;
  snapshot->requestTime = requestTime_;
  snapshot->sequence = ++dataSets_;
  events_.push_back({SessionEvent::Kind::DataSet, std::move(snapshot), {}, LinkResult::kGood});
  StartCycle(decoder_);
  NoteAwaited();
}

void Iec104Session::AfterBatch() {
  // The read mode asks for the next block after every batch, at most once per poll period.
  if (config_.mode == IecReadMode::Read102 && started_ && !stopping_) {
    readWanted_ = true;
  }
  Step();
}

void Iec104Session::NoteAwaited() {
  awaited_.assign(decoder_.marks.size(), false);
  for (size_t k = 0; k < decoder_.marks.size(); ++k) awaited_[k] = decoder_.marks[k] == kMarkAwaited;
}

uint16_t Iec104Session::Unacknowledged() const {
  return static_cast<uint16_t>(static_cast<uint16_t>(vr_ - lastAcked_) / 2);
}

void Iec104Session::AcknowledgeIfDue(bool delayed) {
  const uint16_t pending = Unacknowledged();
  if (pending == 0) return;
  if (pending >= kAckWindow || delayed) {
    Queue(BuildSFormat(vr_));
    lastAcked_ = vr_;
    unackedSinceMs_.reset();
  }
}

bool Iec104Session::TrySendClockSync(uint64_t now) {
  const WallTime t = config_.timeBase == TimeBase::Gmt ? clock_.UtcNow() : clock_.LocalNow();
  // Aim at the start of a second; once that moment has come, send whatever the sample says
  // (the time sent is the time sampled, so a late wake-up, e.g. behind a batch of data that
  // arrived on the second, costs no accuracy and cannot postpone the command for ever).
  if (t.millisecond > 10 && !clockSyncDueMs_) {
    clockSyncDueMs_ = now + static_cast<uint64_t>(1000 - t.millisecond);
    return false;
  }
  SendIFormat(BuildClockSyncAt(config_.commonAddress, kIec104FieldSizes, kIec104Originator, t));
  clockSyncWanted_ = false;
  clockSyncDueMs_.reset();
  // Data transfer is started again; a group poll then interrogates afresh.
  started_ = false;
  startPending_ = false;
  interrogationDueMs_.reset();
  restartDueMs_ = now + kRestartAfterClockSyncMs;
  return true;
}

void Iec104Session::Step() {
  if (ended_) return;
  const uint64_t now = clock_.MonotonicMs();
  if (unackedSinceMs_ && Since(now, *unackedSinceMs_) >= kAckDelayMs) AcknowledgeIfDue(true);
  if (stopping_) {
    if (stopDeadlineMs_ && now >= *stopDeadlineMs_) End(endResult_);
    return;
  }
  if (restartDueMs_ && now >= *restartDueMs_) {
    restartDueMs_.reset();
    Start();
  }
  if (started_ && clockSyncWanted_ && (!clockSyncDueMs_ || now >= *clockSyncDueMs_)) {
    if (TrySendClockSync(now)) return;
  }
  if (started_ && interrogationDueMs_ && now >= *interrogationDueMs_) {
    interrogationDueMs_.reset();
    SendInterrogation();
  }
  if (started_ && readWanted_ && now >= readAllowedMs_) {
    readWanted_ = false;
    SendRead();
    readAllowedMs_ = now + config_.pollPeriodMs;
  }
  if (Since(now, lastActivityMs_) >= kSilenceLimitMs) End(LinkResult::kNoReply);
}

std::optional<uint64_t> Iec104Session::NextDeadlineMs() const {
  if (ended_) return std::nullopt;
  uint64_t next = lastActivityMs_ + kSilenceLimitMs;
  if (unackedSinceMs_) next = std::min(next, *unackedSinceMs_ + kAckDelayMs);
  if (stopping_) return stopDeadlineMs_ ? std::min(next, *stopDeadlineMs_) : next;
  if (restartDueMs_) next = std::min(next, *restartDueMs_);
  if (started_ && clockSyncWanted_) next = clockSyncDueMs_ ? std::min(next, *clockSyncDueMs_) : 0;
  if (started_ && interrogationDueMs_) next = std::min(next, *interrogationDueMs_);
  if (started_ && readWanted_) next = std::min(next, readAllowedMs_);
  return next;
}

void Iec104Session::PeerClosed() { End(stopping_ ? endResult_ : LinkResult::kError); }

void Iec104Session::ConnectionLost() { End(stopping_ ? endResult_ : LinkResult::kError); }

void Iec104Session::RequestStop() {
  if (ended_ || stopping_) return;
  Queue(BuildUFormat(kStopDtAct));
  stopping_ = true;
  endResult_ = LinkResult::kGood;
  stopDeadlineMs_ = clock_.MonotonicMs() + kStopConfirmWaitMs;
  interrogationDueMs_.reset();
  readWanted_ = false;
  clockSyncWanted_ = false;
}

void Iec104Session::RequestClockSync() {
  if (ended_ || stopping_) return;
  clockSyncWanted_ = true;
  clockSyncDueMs_.reset();
}

void Iec104Session::End(LinkResult result) {
  if (ended_) return;
  ended_ = true;
  endResult_ = result;
  events_.push_back({SessionEvent::Kind::Ended, nullptr, {}, result});
}

std::vector<std::vector<uint8_t>> Iec104Session::TakeOutgoing() {
  std::vector<std::vector<uint8_t>> out;
  out.swap(outgoing_);
  return out;
}

std::vector<SessionEvent> Iec104Session::TakeEvents() {
  std::vector<SessionEvent> out;
  out.swap(events_);
  return out;
}

}  // namespace tessvar::iec104
