#include "app/krellon_dlg.h"

#include <algorithm>
#include <string>

#include "acquisition/rtc_check.h"
#include "app/control_ids.h"
#include "app/energy_check_dlg.h"
#include "app/file_page.h"
#include "app/main_window_template.h"
#include "app/iec_profile_setting.h"
#include "app/rtc_test_code_setting.h"
#include "app/stored_port.h"
#include "ui/data_exchange.h"
#include "ui/pages/iec_property_page.h"
#include "ui/pages/rs485_page.h"
#include "ui/window_host.h"

namespace tessvar {

namespace {
constexpr std::string_view kEscapeQuestion = "Идет опрос. Остановить его и закрыть окно?";
}  // namespace

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kTroubleRed{204, 0, 0};

// Text controls the exchange copies into string members.
constexpr int kExchangedTexts[] = {idc::kRecordingTime, idc::kRemainingTime, idc::kConverterTime,
                                   idc::kAsduField,     idc::kDelayField,    idc::kComputerTime};

ProtocolKind ProtocolAt(int index) {
  return index >= 0 && index < static_cast<int>(kProtocolTexts.size())
             ? static_cast<ProtocolKind>(index)
             : ProtocolKind::NoProtocol;
}

}  // namespace

// Recomputes a control's colours whenever its contents change, as the window system asks
// for them each time it redraws a control.
class CKrellonDlg::ColourObserver : public DialogObserver {
 public:
  explicit ColourObserver(CKrellonDlg& owner) : owner_(owner) {}
  void ControlChanged(int id) override {
    if (busy_) return;
    busy_ = true;
    owner_.RefreshColor(id);
    busy_ = false;
  }

 private:
  CKrellonDlg& owner_;
  bool busy_ = false;
};

CKrellonDlg::CKrellonDlg(WindowHost& host, Clock& clock, SettingsStore& store, KrellonSeams seams)
    : host_(host),
      runHost_(host),
      clock_(clock),
      store_(store),
      seams_(std::move(seams)),
      dialog_(MainWindowTemplate()) {
  for (const auto& b : ValueFieldBindings()) texts_[b.fieldId];
  for (int id : HiddenValueFields()) texts_[id];
  for (int id : kExchangedTexts) texts_[id];

  runHost_.SetBeforeRepaint([this](Dialog& d) {
    if (&d == &dialog_) RefreshColors();
  });
  runView_ = std::make_unique<DialogRunView>(dialog_, runHost_,
                                             [this](int id) { return TextMember(id); });
  run_ = std::make_unique<CRunControl>(RunContext{
      .view = *runView_,
      .host = runHost_,
      .clock = clock_,
      .settings = settings_,
      .description = description_,
      .marks = marks_,
      .catalogue = catalogue_,
      .collect = [this] { return Collect(); },
      .show = [this] { ShowFields(); },
      .applyProtocolState = [this] { ApplyProtocolState(); },
      .pollPeriodMs = settings_.pollPeriodMs,
      .save = save_,
      .limitTime = limitTime_,
      .recordingTime = texts_[idc::kRecordingTime],
      .makeSerialPort = seams_.makeSerialPort,
      .makeTcpSocket = seams_.makeTcpSocket,
      .makeEngine = seams_.makeEngine,
      .serialPortProblem = seams_.serialPortProblem,
  });
  traffic_ = std::make_unique<monitor::TrafficCapture>(clock_);
  run_->SetExchangeObserver(traffic_.get());
  colourObserver_ = std::make_unique<ColourObserver>(*this);
  dialog_.AddObserver(colourObserver_.get());
  BindHandlers();
}

CKrellonDlg::~CKrellonDlg() {
  OnDestroy();
  dialog_.RemoveObserver(colourObserver_.get());
}

void CKrellonDlg::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (run_->State().m_running) run_->OnStop();
  run_->OnDestroy();
}

std::string* CKrellonDlg::TextMember(int controlId) {
  auto it = texts_.find(controlId);
  return it == texts_.end() ? nullptr : &it->second;
}

void CKrellonDlg::BindHandlers() {
  Dialog& d = dialog_;
  d.OnClick(idc::kStart, [this] { run_->OnStart(); });
  d.OnClick(idc::kStop, [this] { run_->OnStop(); });
  d.OnClick(idc::kDisplayMode, [this] { run_->OnDisplayMode(); });
  d.OnClick(idc::kResetFailures, [this] { run_->OnResetFailures(); });
  d.OnClick(idc::kClockSync, [this] { run_->OnClockSync(); });
  d.OnClick(idc::kDelayButton, [this] { run_->OnDelayAcquisition(); });
  d.OnClick(idc::kRtcCheck, [this] { run_->OnRtcCheck(ReadRtcTestCode(store_)); });
  d.OnClick(idc::kEnergyCheck, [this] { OnEnergyCheck(); });
  d.OnTimer([this](int id) { run_->OnTimer(id); });

  d.OnClick(idc::kFileTab, [this] { OnFileTab(); });
  d.OnClick(idc::kSerialTab, [this] { OnSerialTab(); });
  d.OnClick(idc::kIecTab, [this] { OnIecTab(); });
  d.OnClick(idc::kLimitTime, [this] { OnRecordingTimeToggle(); });
  d.OnClick(idc::kDefaultButton, [this] { OnEnter(); });

  d.OnSelChange(idc::kProtocolList, [this] { OnProtocolChange(); });
  d.OnSelChange(idc::kPortList, [this] { OnPortChoice(); });
  d.OnEditChange(idc::kPortList, [this] { OnPortTyped(); });
  d.OnSelChange(idc::kTimeBaseList, [this] { OnTimeBaseChoice(); });
  d.OnKillFocus(idc::kDeviceAddress, [this] { ApplyDeviceAddressRule(); });

  // The group and the mode decide which value fields are drawn black.
  d.OnSelChange(idc::kGroupList, [this] { RefreshColors(); });
  for (int id : {idc::kModeGroupPoll, idc::kModeRead102, idc::kModeLinkLevel})
    d.OnClick(id, [this] { RefreshColors(); });

  d.OnOk([this] { OnEnter(); });
  d.OnCancel([this] {
    // One key must not end a long recording: Escape asks first while a run is going on.
    if (run_->State().m_running && !host_.AskYesNo(kEscapeQuestion, "Tessvar")) return;
    OnCancelOrClose();
  });
  d.OnClose([this] { OnCancelOrClose(); });
  for (int command = idc::kAboutCommand; command < idc::kTrendCommand + 16; ++command)
    d.OnCommand(command, [this, command] { OnSysCommand(command); });
}

void CKrellonDlg::ReadStoredPort() {
  settings_.portText = tessvar::ReadStoredPort(store_, settings_.portText);
  settings_.iecProfile = ReadIecProfile(store_);
}

std::vector<std::string> CKrellonDlg::EnumerateSerialPorts() {
  return seams_.enumerateSerialPorts ? seams_.enumerateSerialPorts() : std::vector<std::string>{};
}

void CKrellonDlg::ConfigureSerial(std::string_view settingsText) {
  if (seams_.configureSerial) seams_.configureSerial(settingsText);
}

// ---------------------------------------------------------------- data exchange

bool CKrellonDlg::Collect() {
  DataExchange dx(dialog_, host_, true);
  DoDataExchange(dx);
  return !dx.Failed();
}

void CKrellonDlg::ShowFields() {
  DataExchange dx(dialog_, host_, false);
  DoDataExchange(dx);
}

void CKrellonDlg::DoDataExchange(DataExchange& dx) {
  // Lists, the spin and the IP control are control objects: a collect reads them into the
  // settings, a show leaves them as they are.
  const bool collect = dx.Collecting();
  for (int id : MainWindowExchangeOrder()) {
    if (dx.Failed()) return;
    if (auto it = texts_.find(id); it != texts_.end()) {
      dx.Text(id, it->second);
      continue;
    }
    switch (id) {
      case idc::kGroupList:
        if (collect) settings_.group.position = std::max(0, dialog_.Selection(id));
        break;
      case idc::kSave:
        dx.Check(id, save_);
        break;
      case idc::kDisplayMode: {
        bool physical = settings_.displayMode == DisplayMode::PhysicalUnits;
        dx.Check(id, physical);
        settings_.displayMode = physical ? DisplayMode::PhysicalUnits : DisplayMode::RawCode;
        break;
      }
      case idc::kPollPeriod:
        dx.Unsigned(id, settings_.pollPeriodMs);
        break;
      case idc::kLimitTime:
        dx.Check(id, limitTime_);
        break;
      case idc::kModeGroupPoll: {
        int mode = static_cast<int>(settings_.iecReadMode);
        dx.Radio(id, mode);
        if (mode >= 0 && mode <= 2) settings_.iecReadMode = static_cast<IecReadMode>(mode);
        break;
      }
      case idc::kProtocolList:
        if (collect) settings_.protocol = ProtocolAt(dialog_.Selection(id));
        break;
      case idc::kDeviceAddress:
        dx.Unsigned(id, deviceAddressField_);
        if (collect && !dx.Failed())
          settings_.deviceAddress = static_cast<uint16_t>(deviceAddressField_ & 0xFFFF);
        break;
      case idc::kIpAddress:
        if (collect) settings_.ipAddress = dialog_.Ipv4(id);
        break;
      case idc::kNominalVoltage1:
      case idc::kNominalVoltage2:
        if (collect && dialog_.Selection(id) >= 0)
          settings_.nominals.channel[id == idc::kNominalVoltage1 ? 0 : 1].voltage =
              dialog_.SelectedText(id);
        break;
      case idc::kNominalCurrent1:
      case idc::kNominalCurrent2:
        if (collect)
          settings_.nominals.channel[id == idc::kNominalCurrent1 ? 0 : 1].current =
              dialog_.Text(id);
        break;
      default:
        break;  // the spin, the port list and the time-base list: nothing to copy
    }
  }
}

void CKrellonDlg::ShowPollPeriod() {
  dialog_.SetText(idc::kPollPeriod, std::to_string(settings_.pollPeriodMs));
}

// ---------------------------------------------------------------- protocol-dependent state

ProtocolKind CKrellonDlg::SelectedProtocol() const {
  return ProtocolAt(dialog_.Selection(idc::kProtocolList));
}

void CKrellonDlg::ApplyProtocolState() {
  Dialog& d = dialog_;
  const ProtocolKind p = SelectedProtocol();
  settings_.protocol = p;
  d.Enable(idc::kIpAddress, false);
  d.Enable(idc::kIpLabel, false);
  d.Enable(idc::kDelayButton, false);

  auto modes = [&](bool on) {
    for (int id : {idc::kModeGroupPoll, idc::kModeRead102, idc::kModeLinkLevel, idc::kGroupList})
      d.Enable(id, on);
  };
  auto ip = [&](bool on) {
    d.Enable(idc::kIpAddress, on);
    d.Enable(idc::kIpLabel, on);
  };
  switch (p) {
    case ProtocolKind::ModbusAscii:
    case ProtocolKind::ModbusRtu:
      modes(false);
      ip(false);
      d.Enable(idc::kIecTab, false);
      d.Enable(idc::kSerialTab, true);
      break;
    case ProtocolKind::ModbusTcp:
      modes(false);
      ip(true);
      d.Enable(idc::kIecTab, false);
      d.Enable(idc::kSerialTab, false);
      break;
    case ProtocolKind::Iec101:
      modes(true);
      ip(false);
      d.Enable(idc::kDelayButton, true);
      d.Enable(idc::kIecTab, true);
      d.Enable(idc::kSerialTab, true);
      d.SetText(idc::kModeLinkLevel, "Чтение на канальном уровне");
      break;
    case ProtocolKind::Iec104:
      modes(true);
      ip(true);
      d.Enable(idc::kIecTab, false);
      d.Enable(idc::kSerialTab, false);
      d.SetText(idc::kModeLinkLevel, "Циклический прием данных");
      break;
    case ProtocolKind::NoProtocol:
      modes(false);
      break;
  }
}

void CKrellonDlg::FillPortList() {
  Collect();
  Dialog& d = dialog_;
  d.ResetContent(idc::kPortList);
  switch (SelectedProtocol()) {
    case ProtocolKind::ModbusAscii:
    case ProtocolKind::ModbusRtu:
    case ProtocolKind::Iec101: {
      for (const auto& p : serialPorts_) d.AddItem(idc::kPortList, p);
      d.AddItem(idc::kPortList, kNoPort);
      SelectPortText();
      break;
    }
    case ProtocolKind::ModbusTcp:
      d.AddItem(idc::kPortList, "502");
      if (settings_.descriptionTcpPort != 0 && settings_.descriptionTcpPort != 502)
        d.AddItem(idc::kPortList, std::to_string(settings_.descriptionTcpPort));
      d.SetSelection(idc::kPortList, 0);
      break;
    case ProtocolKind::Iec104:
      d.AddItem(idc::kPortList, "2404");
      d.SetSelection(idc::kPortList, 0);
      break;
    case ProtocolKind::NoProtocol:
      break;
  }
}

void CKrellonDlg::ApplyDeviceAddressRule() {
  Collect();
  MaskDeviceAddressBox();
  ShowFields();
}

void CKrellonDlg::StoreIecProfile() { WriteIecProfile(store_, settings_.iecProfile); }

void CKrellonDlg::MaskDeviceAddressBox() {
  if (auto typed = ParseUnsignedField(dialog_.Text(idc::kDeviceAddress)))
    deviceAddressField_ = *typed;
  const ProtocolKind p = SelectedProtocol();
  const uint8_t caSize = settings_.iecSizes.commonAddress;
  settings_.deviceAddress = MaskDeviceAddress(deviceAddressField_, p, caSize);
  // Only the cut to 8 bits is written back: a МЭК-104 box keeps what was typed.
  const bool eightBits = p != ProtocolKind::Iec104 && !(p == ProtocolKind::Iec101 && caSize != 1);
  if (eightBits) {
    deviceAddressField_ = settings_.deviceAddress;
    dialog_.SetText(idc::kDeviceAddress, std::to_string(deviceAddressField_));
  }
}

void CKrellonDlg::SetDeviceAddressBox(uint32_t address) {
  deviceAddressField_ = address;
  dialog_.SetText(idc::kDeviceAddress, std::to_string(address));
  dialog_.SetSpinPos(idc::kDeviceAddressSpin, static_cast<int>(address));
}

// ---------------------------------------------------------------- handlers

void CKrellonDlg::OnProtocolChange() {
  ApplyDeviceAddressRule();
  ApplyProtocolState();
  FillPortList();
}

void CKrellonDlg::OnPortChoice() { settings_.portText = dialog_.SelectedText(idc::kPortList); }

void CKrellonDlg::OnTimeBaseChoice() {
  Collect();
  settings_.timeBase = dialog_.SelectedText(idc::kTimeBaseList).find("GMT") != std::string::npos
                           ? TimeBase::Gmt
                           : TimeBase::Local;
}

void CKrellonDlg::OnRecordingTimeToggle() {
  Collect();
  dialog_.SetReadOnly(idc::kRecordingTime, !limitTime_);
  ShowFields();
}

void CKrellonDlg::OnEnter() {
  // Enter never closes the window: a focused push button is pressed, anything else commits
  // the typed values. A refused value stays in its field for correction.
  const int focus = dialog_.Focus();
  if (focus >= 0 && focus != idc::kDefaultButton) {
    const ControlKind kind = dialog_.State(focus).tmpl->kind;
    if (kind == ControlKind::PushButton || kind == ControlKind::DefaultPushButton) {
      dialog_.UserClick(focus);
      return;
    }
  }
  if (Collect()) ShowFields();
}

void CKrellonDlg::OnCancelOrClose() {
  // However the window is closed, the run ends first, so the link is released and the
  // recording file is complete.
  run_->OnStop();
  dialog_.EndDialog(2);
}

void CKrellonDlg::OnSysCommand(int command) {
  switch (command & ~0xF) {
    case idc::kRtcCheckCommand:
      dialog_.FireClick(idc::kRtcCheck);
      return;
    case idc::kEnergyCheckCommand:
      dialog_.FireClick(idc::kEnergyCheck);
      return;
    case idc::kTrafficCommand:
      if (seams_.openTrafficMonitor) seams_.openTrafficMonitor();
      return;
    case idc::kTrendCommand:
      if (seams_.openTrend) seams_.openTrend();
      return;
    case idc::kAboutCommand:
      break;
    default:
      return;
  }
  if (about_ && !about_->Ended()) return;  // one About box at a time
  about_ = std::make_unique<Dialog>(AboutTemplate());
  Dialog* box = about_.get();
  box->OnClick(1, [box] { box->EndDialog(1); });
  host_.ShowModeless(*box, dialog_);
}

// ---------------------------------------------------------------- pages

void CKrellonDlg::ReleaseClosedPages() {
  closedFilePage_.reset();
  closedSerialPage_.reset();
  closedIecPage_.reset();
}

bool CKrellonDlg::IsRegisteredPage(PageKind kind, const Dialog& page) const {
  switch (kind) {
    case PageKind::File:
      return filePage_ && &filePage_->GetDialog() == &page;
    case PageKind::Serial:
      return serialPage_ && &serialPage_->GetDialog() == &page;
    case PageKind::Iec:
      return iecPage_ && &iecPage_->GetDialog() == &page;
  }
  return false;
}

void CKrellonDlg::UnregisterPage(PageKind kind, const Dialog& page) {
  if (!IsRegisteredPage(kind, page)) return;
  switch (kind) {
    case PageKind::File:
      closedFilePage_ = std::move(filePage_);
      break;
    case PageKind::Serial:
      closedSerialPage_ = std::move(serialPage_);
      break;
    case PageKind::Iec:
      closedIecPage_ = std::move(iecPage_);
      break;
  }
}

void CKrellonDlg::ShowPage(int x, int y, Dialog& page) {
  const ScreenRect main = host_.WindowRect(dialog_);
  host_.ShowModeless(page, dialog_);
  host_.MoveWindow(page, main.left + x, main.top + y);
  dialog_.SetFocus(-1);  // the page has the focus now
}

template <typename Page, typename Owner>
static void ReplacePage(std::unique_ptr<Page>& slot, std::unique_ptr<Page>& closed, Owner& owner,
                        PageKind kind) {
  // One page per slot: an older one still open ends before its successor appears.
  if (slot) {
    slot->GetDialog().EndDialog(2);
    closed = std::move(slot);
  }
  slot = std::make_unique<Page>(owner);
  Dialog& d = slot->GetDialog();
  PageOwner& pages = owner;
  d.OnCancel([&d, &pages, kind] {
    d.EndDialog(2);
    pages.UnregisterPage(kind, d);
  });
}

void CKrellonDlg::OnFileTab() {
  if (run_->State().m_running) return;
  ReleaseClosedPages();
  ReplacePage(filePage_, closedFilePage_, *this, PageKind::File);
  filePage_->OnInitDialog();
  ShowPage(10, 60, filePage_->GetDialog());
}

void CKrellonDlg::OnSerialTab() {
  if (run_->State().m_running) return;
  ReleaseClosedPages();
  ReplacePage(serialPage_, closedSerialPage_, *this, PageKind::Serial);
  serialPage_->OnInitDialog();
  ShowPage(100, 60, serialPage_->GetDialog());
}

void CKrellonDlg::OnIecTab() {
  if (run_->State().m_running) return;
  ReleaseClosedPages();
  ReplacePage(iecPage_, closedIecPage_, *this, PageKind::Iec);
  iecPage_->OnInitDialog();
  ShowPage(180, 60, iecPage_->GetDialog());
}

// ---------------------------------------------------------------- colours

void CKrellonDlg::Repaint(bool erase) { runHost_.Repaint(dialog_, erase); }

void CKrellonDlg::RefreshStatusColor() {
  dialog_.SetColors(idc::kStatusLine, run_->State().m_linkTrouble ? kTroubleRed : kBlack,
                    std::nullopt);
}

bool CKrellonDlg::SlotShown(int slot) const {
  if (!marks_.Available(slot)) return false;
  // While one group is interrogated, the quantities of the other groups are not delivered:
  // they are drawn as unavailable, the stored marks stay as they are.
  const int group = dialog_.Selection(idc::kGroupList);
  if (group < 1 || group > 16 ||
      dialog_.RadioIndex(idc::kModeGroupPoll) != static_cast<int>(IecReadMode::GroupPoll))
    return true;
  for (size_t i = 0; i < description_.entries.size(); ++i) {
    const auto found = FindCatalogueSlot(description_.entries[i].name);
    if (found && *found == slot && description_.GroupCode(i) != 20 + group) return false;
  }
  return true;
}

void CKrellonDlg::RefreshFieldColor(int fieldId, int slot) {
  // Values that did not come with the last exchange are grey until fresh ones arrive.
  constexpr Rgb kStaleGrey{128, 128, 128};
  if (!SlotShown(slot))
    dialog_.SetColors(fieldId, std::nullopt, kBlack);
  else if (run_->State().m_valuesStale)
    dialog_.SetColors(fieldId, kStaleGrey, std::nullopt);
  else
    dialog_.SetColors(fieldId, std::nullopt, std::nullopt);
}

void CKrellonDlg::RefreshColor(int controlId) {
  if (controlId == idc::kStatusLine) {
    RefreshStatusColor();
    // The run may raise or clear its trouble flag just after it writes the status text;
    // the colour is settled again once the current handler has finished, as a paint would.
    if (!statusRefreshPosted_) {
      statusRefreshPosted_ = true;
      host_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        statusRefreshPosted_ = false;
        RefreshStatusColor();
      });
    }
    return;
  }
  for (const auto& b : ValueFieldBindings())
    if (b.fieldId == controlId) RefreshFieldColor(b.fieldId, b.slot);
}

void CKrellonDlg::RefreshColors() {
  RefreshStatusColor();
  for (const auto& b : ValueFieldBindings()) RefreshFieldColor(b.fieldId, b.slot);
}

}  // namespace tessvar
