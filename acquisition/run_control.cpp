#include "acquisition/run_control.h"

#include <algorithm>

#include "acquisition/run_control_impl.h"
#include "acquisition/run_ids.h"
#include "acquisition/run_texts.h"
#include "model/connection_settings.h"
#include "platform/clock.h"
#include "ui/dialog.h"
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
                    .post = [this](std::function<void()> fn) { ctx.host.Post(std::move(fn)); }} {}

ProtocolKind CRunControl::Impl::Protocol() const {
  const int sel = ctx.dialog.Has(run_ids::kProtocolList)
                      ? ctx.dialog.Selection(run_ids::kProtocolList)
                      : static_cast<int>(ctx.settings.protocol);
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
  Dialog& d = ctx.dialog;
  d.Enable(run_ids::kStart, false);
  d.Enable(run_ids::kStop, true);
  state.m_running = true;
  d.SetReadOnly(run_ids::kPollPeriod, true);
  d.SetReadOnly(run_ids::kRecordingTime, true);
  d.Enable(run_ids::kLimitTime, false);
  d.Enable(run_ids::kSave, false);
  d.SetReadOnly(run_ids::kNominalCurrent1, true);
  d.SetReadOnly(run_ids::kNominalCurrent2, true);
  d.Enable(run_ids::kNominalVoltage1, false);
  d.Enable(run_ids::kNominalVoltage2, false);
  ctx.host.Repaint(d, true);
}

void CRunControl::Impl::UnlockControls() {
  Dialog& d = ctx.dialog;
  d.Enable(run_ids::kDeviceAddress, true);
  d.SetReadOnly(run_ids::kDeviceAddress, false);
  d.Enable(run_ids::kGroupList, true);
  d.Enable(run_ids::kIpAddress, true);
  d.Enable(run_ids::kModeGroupPoll, true);
  d.Enable(run_ids::kModeRead102, true);
  d.Enable(run_ids::kModeLinkLevel, true);
  d.SetReadOnly(run_ids::kPollPeriod, false);
  d.SetReadOnly(run_ids::kRecordingTime, !ctx.limitTime);
  d.Enable(run_ids::kLimitTime, true);
  d.Enable(run_ids::kSave, true);
  if (ctx.settings.displayMode == DisplayMode::PhysicalUnits) {
    d.SetReadOnly(run_ids::kNominalCurrent1, false);
    d.SetReadOnly(run_ids::kNominalCurrent2, false);
    d.Enable(run_ids::kNominalVoltage1, true);
    d.Enable(run_ids::kNominalVoltage2, true);
  }
}

void CRunControl::Impl::ArmPollTimer() {
  ctx.host.SetTimer(ctx.dialog, kPollTimer, std::max(ctx.pollPeriodMs, kMinTimerPeriodMs));
}

std::optional<uint16_t> CRunControl::Impl::ListedTcpPort() const {
  const Dialog& d = ctx.dialog;
  if (!d.Has(run_ids::kPortList) || d.Items(run_ids::kPortList).empty()) return std::nullopt;
  const int64_t port = ParseDecimalText(d.SelectedText(run_ids::kPortList));
  if (port <= 0 || port > kLargestTcpPort) return std::nullopt;
  return static_cast<uint16_t>(port);
}

void CRunControl::Impl::OnStart() {
  Dialog& d = ctx.dialog;
  const bool userStart = !state.m_running;
  ctx.collect();
  ctx.host.KillTimer(d, kPollTimer);

  const auto& n = ctx.settings.nominals.channel;
  kilo1 = ComputeKiloFlags(ParseNominal(n[0].current), ParseNominal(n[0].voltage));
  kilo2 = ComputeKiloFlags(ParseNominal(n[1].current), ParseNominal(n[1].voltage));
  RefreshValues();

  if (ctx.description.entries.empty()) {
    ctx.host.MessageBox(run_texts::kLoadDescription, run_texts::kError);
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
  Dialog& d = ctx.dialog;
  const OpenOutcome opened = link.OpenPort();
  if (!opened.ok) {
    ctx.host.MessageBox(opened.failureText, run_texts::kError);
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

  SetStatus(run_texts::kRequesting);
  state.m_linkTrouble = false;
  d.Enable(run_ids::kProtocolList, false);

  const uint32_t ip = d.Has(run_ids::kIpAddress) ? d.Ipv4(run_ids::kIpAddress) : ctx.settings.ipAddress;
  switch (link.Connect(LinkTarget{.ipv4 = ip, .listedPort = ListedTcpPort()})) {
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
      ctx.host.SetTimer(d, kReconnectTimer, kReconnectPeriodMs);
      return false;
  }
  state.m_running = true;
  return true;
}

// What stays fixed while the run polls: the device and the way it is read.
void CRunControl::Impl::LockRunControls() {
  Dialog& d = ctx.dialog;
  d.Enable(run_ids::kDeviceAddress, false);
  d.SetReadOnly(run_ids::kDeviceAddress, true);
  d.Enable(run_ids::kIpAddress, false);
  d.Enable(run_ids::kGroupList, false);
  d.Enable(run_ids::kModeGroupPoll, false);
  d.Enable(run_ids::kModeRead102, false);
  d.Enable(run_ids::kModeLinkLevel, false);
}

void CRunControl::Impl::OnStop() {
  Dialog& d = ctx.dialog;
  ctx.host.KillTimer(d, kPollTimer);
  ctx.host.KillTimer(d, kReconnectTimer);
  state.m_presenceBuilt = false;
  state.m_linkTrouble = false;
  SetStatus(run_texts::kWaiting);
  CloseLink(LinkClose::kStop);
  d.Enable(run_ids::kProtocolList, true);
  state.m_running = false;
  d.Enable(run_ids::kStart, true);
  d.Enable(run_ids::kStop, false);
  UnlockControls();
  ctx.host.Repaint(d, true);
  ctx.host.KillTimer(d, kRecordTimer);
  file.Close();
  deadlineMs.reset();
  newFileNeeded = false;
  if (ctx.applyProtocolState) ctx.applyProtocolState();
}

void CRunControl::Impl::OnReconnectTimer() {
  ctx.host.KillTimer(ctx.dialog, kReconnectTimer);
  OnStart();
  LinkEngine* link = Engine();
  if (state.m_running && link && link->AwaitsConnection()) {
    ctx.host.KillTimer(ctx.dialog, kReconnectTimer);
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
ServiceOutcome CRunControl::OnRtcCheck(std::string_view testCode) {
  return impl_->OnRtcCheck(testCode);
}
void CRunControl::RefreshValues() { impl_->RefreshValues(); }
std::array<std::string, 4> CRunControl::CounterCodes() const { return impl_->counterCodes; }
ConverterTime CRunControl::DeviceTime() const { return impl_->raw.time; }
const RunState& CRunControl::State() const { return impl_->state; }
void CRunControl::SetDataSetListener(std::function<void()> listener) {
  impl_->dataSetListener = std::move(listener);
}
uint64_t CRunControl::DataSetsPresented() const { return impl_->dataSets; }
std::string CRunControl::RecordFilePath() const {
  return impl_->file.IsOpen() ? impl_->file.Path() : std::string();
}

}  // namespace tessvar
