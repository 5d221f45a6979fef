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
constexpr uint32_t kSerialSettleMs = 100;
constexpr uint16_t kModbusTcpPort = 502;
}  // namespace

CRunControl::Impl::Impl(RunContext context)
    : ctx(std::move(context)),
      master(ctx.makeSerialPort ? ctx.makeSerialPort() : nullptr, ctx.clock),
      tcp(ctx.makeTcpSocket ? ctx.makeTcpSocket() : nullptr, ctx.clock) {}

ProtocolKind CRunControl::Impl::Protocol() const {
  const int sel = ctx.dialog.Has(run_ids::kProtocolList)
                      ? ctx.dialog.Selection(run_ids::kProtocolList)
                      : static_cast<int>(ctx.settings.protocol);
  if (sel < 0 || sel > 4) return ProtocolKind::NoProtocol;
  return static_cast<ProtocolKind>(sel);
}

bool CRunControl::Impl::SerialProtocol(ProtocolKind p) const {
  return p == ProtocolKind::ModbusAscii || p == ProtocolKind::ModbusRtu ||
         p == ProtocolKind::Iec101;
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

uint16_t CRunControl::Impl::TcpPort() const {
  const Dialog& d = ctx.dialog;
  if (!d.Has(run_ids::kPortList) || d.Items(run_ids::kPortList).empty()) return kModbusTcpPort;
  const int64_t port = ParseDecimalText(d.SelectedText(run_ids::kPortList));
  if (port <= 0 || port > 65535) return kModbusTcpPort;
  return static_cast<uint16_t>(port);
}

std::string CRunControl::Impl::OpenFailureText() const {
  if (ctx.settings.portText == "НЕТ") return std::string(run_texts::kNoComPort);
  if (ctx.settings.portText == "NO") return std::string(run_texts::kNoComPortEn);
  return std::string(run_texts::kCannotOpen) + ctx.settings.portText;
}

void CRunControl::Impl::SendRequest(ProtocolKind p) {
  const auto address = static_cast<uint8_t>(ctx.settings.deviceAddress & 0xFF);
  const auto start = static_cast<uint16_t>(block.start);
  switch (p) {
    case ProtocolKind::ModbusAscii:
      if (master.Serial().IsOpen()) master.SendReadInputRegisters(true, address, start, block.count);
      break;
    case ProtocolKind::ModbusRtu:
      if (master.Serial().IsOpen()) master.SendReadInputRegisters(false, address, start, block.count);
      break;
    case ProtocolKind::ModbusTcp:
      if (tcp.IsOpen()) master.SendReadInputRegisters(false, address, start, block.count, &tcp);
      break;
    default:
      break;
  }
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
  lastAsduType = 0;
  lastCause = 5;
  if (ctx.save && userStart) ChooseRecordFile();
  if (userStart) recordingAllowed = ctx.save;

  const ProtocolKind protocol = Protocol();
  if (tcp.IsOpen()) tcp.Close(false);
  accumulation.clear();
  BuildEntries();
  if (!state.m_presenceBuilt) {
    RebuildMarks();
    state.m_presenceBuilt = true;
  }
  if (protocol == ProtocolKind::Iec101 || protocol == ProtocolKind::Iec104) {
    // The IEC 60870-5 engines are not part of this build; refuse clearly instead of
    // starting a run that polls nothing.
    SetStatus(run_texts::kIecNotAvailable);
    ctx.host.MessageBox(run_texts::kIecNotAvailable, run_texts::kError);
    if (!userStart) OnStop();
    return;
  }
  block = SelectNextBlock(entries, 0);
  state.newData = false;

  if (ctx.description.fileName.empty()) {
    ctx.host.MessageBox(run_texts::kNeedDescription, run_texts::kOops);
    return;
  }

  if (SerialProtocol(protocol)) {
    CSerialLine& line = master.Serial();
    if (!line.IsOpen() && !line.Open(ctx.settings.portText)) {
      ctx.host.MessageBox(OpenFailureText(), run_texts::kError);
      if (!userStart) OnStop();
      return;
    }
    ctx.clock.Sleep(kSerialSettleMs);
    SerialParameters p = ctx.settings.serial;
    p.dataBits.assign(1, protocol == ProtocolKind::ModbusAscii ? '7' : '8');
    line.Configure(BuildSerialSettingsText(p));
  }

  LockControls();
  if (ctx.limitTime) {
    if (!StartRecordPeriod(userStart)) {
      ctx.host.MessageBox(run_texts::kBadTimeFormat, run_texts::kError);
      OnStop();
      return;
    }
  }
  if (!state.m_softRestart && master.Serial().IsOpen()) {
    std::vector<uint8_t> discard;
    master.ReceiveAscii(discard);
  }
  state.m_softRestart = false;
  block = SelectNextBlock(entries, 0);
  newFileNeeded = true;

  SetStatus(run_texts::kRequesting);
  state.m_linkTrouble = false;
  d.Enable(run_ids::kProtocolList, false);

  if (protocol == ProtocolKind::ModbusTcp) {
    if (!tcp.IsOpen()) {
      if (!tcp.Create()) {
        ctx.host.MessageBox(run_texts::kNotResponding, run_texts::kError);
        OnStop();
        return;
      }
      state.m_running = true;
      const uint32_t ip = d.Has(run_ids::kIpAddress) ? d.Ipv4(run_ids::kIpAddress) : ctx.settings.ipAddress;
      if (tcp.ConnectWithTimeout(TcpPeer{ip, TcpPort()}, CTcpLink::kConnectLimitMs) != 0) {
        SetStatus(run_texts::kReconnecting);
        state.m_linkTrouble = true;
        ++state.m_failureCount;
        ShowFailureCount();
        ctx.host.SetTimer(d, kReconnectTimer, kReconnectPeriodMs);
        state.socketOpen = false;
        return;
      }
    }
    state.socketOpen = tcp.IsOpen();
  }
  // The first reply of the run is shown with the time of this request, as every later one is.
  computerTimeText = ComputerTimeText(Now());
  SendRequest(protocol);

  if (state.m_running) {
    ArmPollTimer();
    d.Enable(run_ids::kDeviceAddress, false);
    d.SetReadOnly(run_ids::kDeviceAddress, true);
    d.Enable(run_ids::kIpAddress, false);
    d.Enable(run_ids::kGroupList, false);
    d.Enable(run_ids::kModeGroupPoll, false);
    d.Enable(run_ids::kModeRead102, false);
    d.Enable(run_ids::kModeLinkLevel, false);
  }
  ctx.show();
}

void CRunControl::Impl::OnStop() {
  Dialog& d = ctx.dialog;
  ctx.host.KillTimer(d, kPollTimer);
  ctx.host.KillTimer(d, kReconnectTimer);
  state.m_presenceBuilt = false;
  state.m_linkTrouble = false;
  SetStatus(run_texts::kWaiting);
  master.Serial().Close();
  if (tcp.IsOpen()) tcp.Close(true);
  state.socketOpen = false;
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
  if (state.m_running && Protocol() == ProtocolKind::ModbusTcp && !tcp.IsOpen()) {
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
  impl_->state.m_workerDone = true;
  impl_->tcp.Close(false);
  impl_->master.Serial().Close();
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
