#include "acquisition/run_control.h"

#include <algorithm>

#include "acquisition/iec_profile_status.h"
#include "acquisition/run_control_impl.h"
#include "acquisition/run_texts.h"
#include "model/connection_settings.h"
#include "platform/clock.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
// Window timers of the platform fire at most every 10 ms; a shorter period would only make
// a busy loop.
constexpr uint32_t kMinTimerPeriodMs = 10;
constexpr uint32_t kReconnectPeriodMs = 5000;
constexpr int kLargestTcpPort = 65535;
}  // namespace

CRunControl::Impl::Impl(RunContext context)
    : ctx(std::move(context)),
      serial(ctx.makeSerialPort ? ctx.makeSerialPort() : nullptr, ctx.clock),
      tcp(ctx.makeTcpSocket ? ctx.makeTcpSocket() : nullptr, ctx.clock),
      engineContext{.clock = ctx.clock,
                    .settings = ctx.settings,
                    .description = ctx.description,
                    .serial = serial,
                    .tcp = tcp,
                    .now = [this] { return Now(); },
                    .requestTick = [this] {
                      ctx.host.Post([this] {
                        if (state.m_running) PollTick();
                      });
                    },
                    .post = [this](std::function<void()> fn) { ctx.host.Post(std::move(fn)); }} {
  // "Стоп" ends a wait of the run at once (the close box always does).
  ctx.view.SetStopEndsWaits();
}

ProtocolKind CRunControl::Impl::Protocol() const {
  const int sel =
      ctx.view.ProtocolSelection().value_or(static_cast<int>(ctx.settings.protocol));
  if (sel < 0 || sel > static_cast<int>(ProtocolKind::Iec104)) return ProtocolKind::NoProtocol;
  return static_cast<ProtocolKind>(sel);
}

LinkEngine* CRunControl::Impl::Engine() {
  const ProtocolKind protocol = Protocol();
  if (engineProtocol != protocol) {
    engine = ctx.makeEngine ? ctx.makeEngine(protocol, engineContext)
                            : MakeLinkEngine(protocol, engineContext);
    engineProtocol = protocol;
  }
  return engine.get();
}

void CRunControl::Impl::CloseLink(LinkClose how) {
  if (LinkEngine* link = Engine()) {
    link->Close(how);
  } else {
    CloseTransports(engineContext, how);
  }
}

void CRunControl::Impl::BuildEntries() {
  entries.clear();
  entries.reserve(ctx.description.entries.size());
  for (const auto& e : ctx.description.entries) {
    PollEntry p;
    p.name = e.name;
    p.address = ParseHexText(e.address);
    p.pollSize = ParseHexText(e.size);
    p.byteSize = static_cast<uint32_t>(ParseDecimalText(e.size)) & 0xFFu;
    p.slot = FindCatalogueSlot(e.name);
    entries.push_back(std::move(p));
  }
}

void CRunControl::Impl::RebuildMarks() {
  for (int i = 0; i < kCatalogueSlots; ++i) ctx.marks[static_cast<size_t>(i)] = 0;
  for (const auto& e : entries) {
    if (e.slot && *e.slot >= 0 && *e.slot < kCatalogueSlots) {
      ctx.marks[static_cast<size_t>(*e.slot)] = 1;
    }
  }
}

void CRunControl::Impl::LockControls() {
  ctx.view.ShowRunning(true);
  state.m_running = true;
  ctx.view.LockRunSettings(true, false);
  ctx.view.LockNominals(true);
  ShowFailureCount();
  ctx.view.Repaint();
}

void CRunControl::Impl::UnlockControls() {
  ctx.view.LockDevice(false);
  ctx.view.LockRunSettings(false, ctx.limitTime);
  if (ctx.settings.displayMode == DisplayMode::PhysicalUnits) ctx.view.LockNominals(false);
}

void CRunControl::Impl::ArmPollTimer() {
  ctx.view.SetTimer(kPollTimer, std::max(ctx.pollPeriodMs, kMinTimerPeriodMs));
}

std::optional<uint16_t> CRunControl::Impl::ListedTcpPort() const {
  const std::optional<std::string> listed = ctx.view.ListedPortText();
  if (!listed) return std::nullopt;
  const int64_t port = ParseDecimalText(*listed);
  if (port <= 0 || port > kLargestTcpPort) return std::nullopt;
  return static_cast<uint16_t>(port);
}

namespace {
// True when some entry is not a clock entry ("Время"/"Time" in its name).
bool HasDataEntry(const DeviceDescription& description) {
  for (const auto& e : description.entries)
    if (e.name.find("Время") == std::string::npos && e.name.find("Time") == std::string::npos)
      return true;
  return false;
}
}  // namespace

// "Подключение к 127.0.0.1:502…"
std::string CRunControl::Impl::ConnectingText(const LinkTarget& target) const {
  std::string text(run_texts::kConnectingTo);
  for (int shift = 24; shift >= 0; shift -= 8) {
    text += std::to_string((target.ipv4 >> shift) & 0xFFu);
    if (shift > 0) text += '.';
  }
  if (target.listedPort) text += ':' + std::to_string(*target.listedPort);
  return text + "…";
}

void CRunControl::Impl::OnStart() {
  const bool userStart = !state.m_running;
  ctx.collect();
  if (observer) observer->OnRunStart(ctx.settings, userStart);
  ctx.view.KillTimer(kPollTimer);

  const auto& n = ctx.settings.nominals.channel;
  kilo1 = ComputeKiloFlags(ParseNominal(n[0].current), ParseNominal(n[0].voltage));
  kilo2 = ComputeKiloFlags(ParseNominal(n[1].current), ParseNominal(n[1].voltage));
  RefreshValues();

  if (ctx.description.entries.empty()) {
    ctx.host.MessageBox(run_texts::kLoadDescription, run_texts::kError);
    return;
  }
  if (!HasDataEntry(ctx.description)) {
    // Nothing but clock entries: there is no entry that ends a data set, nothing to poll.
    ctx.host.MessageBox(run_texts::kNoDataEntries, run_texts::kError);
    if (!userStart) OnStop();
    return;
  }
  if (ctx.save && userStart) ChooseRecordFile();
  if (userStart) recordingAllowed = ctx.save;

  LinkEngine* link = Engine();
  CloseLink(LinkClose::kRestart);
  accumulation.clear();
  BuildEntries();
  if (!state.m_presenceBuilt) {
    RebuildMarks();
    if (link) link->RestrictAvailability(entries, ctx.marks);
    state.m_presenceBuilt = true;
  }
  if (link == nullptr) {
    // No engine for this protocol in this build: refuse clearly instead of starting a run
    // that polls nothing.
    SetStatus(run_texts::kIecNotAvailable);
    ctx.host.MessageBox(run_texts::kIecNotAvailable, run_texts::kError);
    if (!userStart) OnStop();
    return;
  }
  block = SelectNextBlock(entries, 0);

  if (ctx.description.fileName.empty()) {
    ctx.host.MessageBox(run_texts::kNeedDescription, run_texts::kOops);
    return;
  }
  if (!OpenAndConnect(*link, userStart)) return;

  // The first reply of the run is shown with the time of this request, as every later one is.
  computerTimeText = ComputerTimeText(Now());
  const FirstRequestOutcome first = link->SendFirstRequest(block);
  if (ctx.clock.Cancelled()) return;
  if (first.stop && !userStart) return RetryLinkStart(first.message);
  if (first.stop) OnStop();
  if (!first.message.empty()) ctx.host.MessageBox(first.message, run_texts::kError);

  if (state.m_running) {
    if (link->WantsPollTimer()) ArmPollTimer();
    LockRunControls();
  }
  ctx.show();
}

// Opens the port, locks the window for the run and connects; false when the start ends here.
bool CRunControl::Impl::OpenAndConnect(LinkEngine& link, bool userStart) {
  const OpenOutcome opened = link.OpenPort();
  if (!opened.ok && !userStart && opened.deviceMissing) {
    AwaitSerialDevice(opened.failureText);
    return false;
  }
  if (!opened.ok) {
    std::string text = opened.failureText;
    // Say why the port the user chose will not open (missing, no permission, busy, …).
    if (opened.deviceMissing && ctx.serialPortProblem) {
      const std::string why = ctx.serialPortProblem(ctx.settings.portText);
      if (!why.empty()) text = why;
    }
    ctx.host.MessageBox(text, run_texts::kError);
    if (!userStart) OnStop();
    return false;
  }

  LockControls();
  if (ctx.limitTime) {
    if (!StartRecordPeriod(userStart)) {
      ctx.host.MessageBox(run_texts::kBadTimeFormat, run_texts::kError);
      OnStop();
      return false;
    }
  }
  if (!state.m_softRestart) link.DrainStale();
  state.m_softRestart = false;
  block = SelectNextBlock(entries, 0);
  newFileNeeded = true;

  const std::string starting = RunStartStatusText(ctx.settings);
  SetStatus(starting);
  state.m_linkTrouble = false;
  ctx.view.LockProtocol(true);

  const uint32_t ip = ctx.view.Ipv4Address().value_or(ctx.settings.ipAddress);
  const LinkTarget target{.ipv4 = ip, .listedPort = ListedTcpPort()};
  // A connection that takes a moment is said to be under way (a serial link never waits).
  const std::string connecting = ConnectingText(target);
  ArmLongWaitStatus(0, connecting);
  const ConnectOutcome connected = link.Connect(target);
  DisarmLongWaitStatus();
  if (ctx.clock.Cancelled()) return false;  // "Стоп" during the attempt: the stop comes next
  if (ctx.view.StatusText() == connecting) SetStatus(starting);
  switch (connected) {
    case ConnectOutcome::kConnected:
      break;
    case ConnectOutcome::kCannotCreate:
      ctx.host.MessageBox(run_texts::kNotResponding, run_texts::kError);
      OnStop();
      return false;
    case ConnectOutcome::kRetryLater:
      state.m_running = true;
      SetStatus(run_texts::kReconnecting);
      state.m_linkTrouble = true;
      ++state.m_failureCount;
      ShowFailureCount();
      ctx.view.SetTimer(kReconnectTimer, kReconnectPeriodMs);
      return false;
  }
  state.m_running = true;
  return true;
}

// A restart found the serial device gone (an unplugged adapter, a closed pty): the run goes
// on waiting for it as for a lost TCP peer, trying again on the reconnection timer. Each
// failed attempt counts once; "Стоп" ends the waiting.
void CRunControl::Impl::AwaitSerialDevice(std::string_view failureText) {
  AwaitRestart(run_texts::kReconnecting, failureText, kReconnectPeriodMs);
}

// What stays fixed while the run polls: the device and the way it is read.
void CRunControl::Impl::LockRunControls() {
  ctx.view.LockDevice(true);
}

void CRunControl::Impl::OnStop() {
  ctx.view.KillTimer(kPollTimer);
  ctx.view.KillTimer(kReconnectTimer);
  state.m_presenceBuilt = false;
  state.m_linkTrouble = false;
  SetStatus(run_texts::kWaiting);
  CloseLink(LinkClose::kStop);
  ctx.view.LockProtocol(false);
  state.m_running = false;
  ShowFailureCount();
  ctx.view.ShowRunning(false);
  UnlockControls();
  ctx.view.Repaint();
  ctx.view.KillTimer(kRecordTimer);
  file.Close();
  deadlineMs.reset();
  newFileNeeded = false;
  if (ctx.applyProtocolState) ctx.applyProtocolState();
}

void CRunControl::Impl::OnReconnectTimer() {
  ctx.view.KillTimer(kReconnectTimer);
  OnStart();
  LinkEngine* link = Engine();
  if (state.m_running && link && link->AwaitsConnection() && !ctx.clock.Cancelled()) {
    ctx.view.KillTimer(kReconnectTimer);
    OnStart();
  }
  if (file.IsOpen()) newFileNeeded = false;
}

void CRunControl::Impl::OnTimer(int id) {
  switch (id) {
    case kPollTimer:
      if (state.m_running) PollTick();
      break;
    case kRecordTimer:
      OnRecordTimerTick();
      break;
    case kReconnectTimer:
      OnReconnectTimer();
      break;
    default:
      break;
  }
}

// --- the public face

CRunControl::CRunControl(RunContext context) : impl_(std::make_unique<Impl>(std::move(context))) {}
CRunControl::~CRunControl() = default;

void CRunControl::OnStart() { impl_->OnStart(); }
void CRunControl::OnStop() { impl_->OnStop(); }
void CRunControl::OnTimer(int timerId) { impl_->OnTimer(timerId); }
void CRunControl::OnDestroy() {
  impl_->CloseLink(LinkClose::kRestart);
  impl_->serial.Close();
  impl_->engine.reset();
  impl_->file.Close();
}
void CRunControl::OnResetFailures() {
  impl_->state.m_failureCount = 0;
  impl_->ShowFailureCount();
  impl_->ctx.show();
}
void CRunControl::OnDisplayMode() { impl_->OnDisplayMode(); }
void CRunControl::OnClockSync() { impl_->OnClockSync(); }
void CRunControl::OnDelayAcquisition() { impl_->OnDelayAcquisition(); }
std::optional<uint16_t> CRunControl::LastDelayMs() const { return impl_->lastDelayMs; }
uint32_t CRunControl::ClockSyncsConfirmed() const {
  return impl_->engine ? impl_->engine->ClockSyncsConfirmed() : 0;
}
ServiceOutcome CRunControl::OnRtcCheck(std::string_view testCode) {
  return impl_->OnRtcCheck(testCode);
}
void CRunControl::RefreshValues() { impl_->RefreshValues(); }
std::array<std::string, 4> CRunControl::CounterCodes() const { return impl_->counterCodes; }
ConverterTime CRunControl::DeviceTime() const { return impl_->raw.time; }
const RunState& CRunControl::State() const { return impl_->state; }
void CRunControl::SetExchangeObserver(ExchangeObserver* observer) {
  impl_->observer = observer;
  impl_->serial.SetFrameTap(observer);
  impl_->tcp.SetFrameTap(observer);
}

void CRunControl::SetDataSetListener(std::function<void()> listener) {
  impl_->dataSetListener = std::move(listener);
}
uint64_t CRunControl::DataSetsPresented() const { return impl_->dataSets; }
std::string CRunControl::RecordFilePath() const {
  return impl_->file.IsOpen() ? impl_->file.Path() : std::string();
}

void CRunControl::Impl::ArmLongWaitStatus(uint32_t afterMs, std::string_view text) {
  ctx.view.ArmLongWaitNotice(ctx.clock.MonotonicMs(), afterMs, [this, t = std::string(text)] {
    SetStatus(t);
    ctx.view.Repaint();
  });
}

void CRunControl::Impl::DisarmLongWaitStatus() {
  ctx.view.DisarmLongWaitNotice();
}

}  // namespace tessvar
