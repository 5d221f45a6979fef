#include "acquisition/iec104_engine.h"

#include "acquisition/iec_station_policy.h"
#include "acquisition/run_texts.h"
#include "link/tcp_link.h"

namespace tessvar {

namespace {

bool IsDataCause(uint8_t causeOctet) {
  const uint8_t c = CauseBits(causeOctet);
  return c == 1 || c == kCauseSpontaneous || c == kCauseRequest ||
         (c >= kCauseGroupBase && c <= kCauseGroupBase + 16);
}

std::vector<PollEntry> EntriesOf(const DeviceDescription& d) {
  std::vector<PollEntry> entries;
  for (const auto& e : d.entries) {
    PollEntry p;
    p.name = e.name;
    p.address = ParseHexText(e.address);
    p.pollSize = ParseHexText(e.size);
    p.byteSize = static_cast<uint32_t>(ParseDecimalText(e.size)) & 0xFFu;
    entries.push_back(std::move(p));
  }
  return entries;
}

}  // namespace

Iec104Engine::Iec104Engine(const EngineContext& context, iec104::ConnectionThreading threading)
    : ctx_(context), threading_(threading) {}

Iec104Engine::~Iec104Engine() { StopWorker(); }

ConnectOutcome Iec104Engine::Connect(const LinkTarget& target) {
  if (ctx_.tcp.IsOpen()) return ConnectOutcome::kConnected;
  if (!ctx_.tcp.Create()) return ConnectOutcome::kCannotCreate;
  // The window always reaches the station on 2404; only the command line names another.
  const TcpPeer peer{target.ipv4, ctx_.settings.iec104Port};
  if (ctx_.tcp.ConnectWithTimeout(peer, CTcpLink::kConnectLimitMs) != 0) return ConnectOutcome::kRetryLater;
  return ConnectOutcome::kConnected;
}

bool Iec104Engine::AwaitsConnection() const { return !ctx_.tcp.IsOpen(); }

FirstRequestOutcome Iec104Engine::SendFirstRequest(const RequestBlock&) {
  StopWorker();
  last_.reset();
  lastTickHadData_ = false;
  if (!ctx_.tcp.IsOpen()) return {};
  const ConnectionSettings& s = ctx_.settings;
  iec104::SessionConfig config;
  config.commonAddress = s.deviceAddress;
  config.mode = s.iecReadMode;
  config.group = static_cast<uint8_t>(s.group.position);
  config.pollPeriodMs = s.pollPeriodMs;
  config.timeBase = s.timeBase;
  AsduDecoder decoder =
      MakeAsduDecoder(ctx_.description, kIec104FieldSizes, config.mode, config.group);
  const IecStationPolicy policy = StationPolicy(s.iecProfile);
  ApplyStationPolicy(policy, ctx_.description, s, decoder);
  if (config.mode == IecReadMode::Read102) {
    // A standard station answers a read with the one object asked for.
    config.readAddresses = policy.readEveryObject ? AwaitedObjectAddresses(decoder)
                                                  : BuildReadList(EntriesOf(ctx_.description));
    if (config.readAddresses.empty()) return {true, std::string(kReadListRefusedText)};
  }
  auto session = std::make_unique<iec104::Iec104Session>(config, std::move(decoder), ctx_.clock);
  session->SetFrameTap(ctx_.tcp.Tap());  // the worker's frames reach the same observer
  // The window hears of a completed image (cyclic mode: a tick at once) and of the end of
  // the connection (every mode: the tick reports it), always on its own thread.
  const bool cyclic = config.mode == IecReadMode::LinkLevelRead;
  auto requestTick = ctx_.requestTick;
  if (!ctx_.post) return {true, std::string(run_texts::kError)};
  worker_ = std::make_unique<iec104::Iec104Worker>(
      std::move(session), ctx_.tcp.Socket(), ctx_.clock,
      ctx_.post,
      [requestTick, cyclic](const iec104::WorkerNotice& n) {
        if (!requestTick) return;
        if (n.kind == iec104::WorkerNotice::Kind::Ended || (cyclic && n.kind == iec104::WorkerNotice::Kind::DataSet)) {
          requestTick();
        }
      },
      threading_);
  worker_->Start();
  return {};
}

bool Iec104Engine::WantsPollTimer() const { return ctx_.settings.iecReadMode != IecReadMode::LinkLevelRead; }

bool Iec104Engine::IsOpen() const { return ctx_.tcp.IsOpen() && worker_ != nullptr; }

CollectOutcome Iec104Engine::Collect(std::vector<uint8_t>& reply) {
  CollectOutcome out;
  lastTickHadData_ = false;
  if (!worker_) return out;
  if (auto set = worker_->TakeDataSet()) {
    last_ = std::move(set);
    lastTickHadData_ = true;
    reply.assign(2, 0);  // the two leading octets of every reply
    reply.insert(reply.end(), last_->image.begin(), last_->image.end());
    out.showConverterTime = true;
    out.showComputerTime = last_->requestTime.has_value();
  }
  if (worker_->Ended() && !lastTickHadData_) {
    // The connection is over: STOPDT or a close by the station, garbage, silence or a
    // refused command. The run restarts with the status text of the cause.
    out.result = worker_->EndResult() == LinkResult::kGood ? LinkResult::kError : worker_->EndResult();
    out.message = worker_->EndMessage();
    return out;
  }
  out.result = LinkResult::kGood;
  return out;
}

bool Iec104Engine::ReplyHasData() const {
  if (!lastTickHadData_ || !last_) return false;
  // An activation termination counts as the interrogation's own data cause.
  const uint8_t cause = CauseBits(last_->lastCause) == kCauseActivationTerm ? kCauseGroupBase : last_->lastCause;
  return IsDataCause(cause);
}

ClockWriteOutcome Iec104Engine::WriteClock(const ClockTarget&) {
  using Then = ClockWriteOutcome::Then;
  // The connection thread sends C_CS_NA_1 at its next pass; polling goes on meanwhile.
  if (worker_ && !worker_->Ended()) worker_->RequestClockSync();
  return {WantsPollTimer() ? Then::kResumePolling : Then::kNothing, {}};
}

uint32_t Iec104Engine::ClockSyncsConfirmed() const {
  return worker_ ? worker_->ClockSyncsConfirmed() : 0;
}

std::string Iec104Engine::AsduFieldText() const {
  return last_ && last_->lastMonitorType != 0 ? std::to_string(last_->lastMonitorType) : " ";
}

bool Iec104Engine::ValuesCameUntimed() const {
  return last_ && StationPolicy(ctx_.settings.iecProfile).Untimed(last_->lastMonitorType);
}

std::optional<ConverterTime> Iec104Engine::DecodedConverterTime() const {
  if (!last_) return std::nullopt;
  return last_->converterTime;
}

std::optional<WallTime> Iec104Engine::RequestTime() const {
  if (!last_) return std::nullopt;
  return last_->requestTime;
}

std::vector<bool> Iec104Engine::AwaitedEntries() const { return last_ ? last_->awaited : std::vector<bool>{}; }

void Iec104Engine::RestrictAvailability(std::span<const PollEntry> entries, AvailabilityMarks& marks) const {
  if (ctx_.settings.iecReadMode == IecReadMode::LinkLevelRead) RestrictToFirstRun(entries, marks);
}

void Iec104Engine::StopWorker() {
  if (!worker_) return;
  worker_->StopAndJoin(ctx_.clock);
  worker_.reset();
}

void Iec104Engine::Close(LinkClose how) {
  // The connection thread ends (STOPDT, bounded wait) before the socket is closed or reused.
  StopWorker();
  if (ctx_.tcp.IsOpen()) ctx_.tcp.Close(false);
  (void)how;
}

}  // namespace tessvar
