// Start-up of the main window: the steps OnInitDialog takes, in their order.
#include <algorithm>
#include <string>

#include "app/control_ids.h"
#include "app/krellon_dlg.h"
#include "app/main_window_template.h"

namespace tessvar {
namespace {
constexpr Rgb kBlack{0, 0, 0};
}  // namespace

// The window is built in a fixed order: lists and captions first, then the defaults of the
// settings, then the values (which read the settings), then the serial ports.
bool CKrellonDlg::OnInitDialog() {
  FillLists();
  ShowConnectionDefaults();
  ShowNominalDefaults();
  ShowPollDefaults();
  SetCaptions();
  ShowModeDefaults();
  run_->RefreshValues();
  ResetDescriptionState();
  ListSerialPorts();
  ResetSerialLine();
  return true;
}

// The template items of the lists, the system menu, the protocol and group lists.
void CKrellonDlg::FillLists() {
  Dialog& d = dialog_;
  for (const auto& list : MainWindowTemplateItems())
    for (std::string_view item : list.items) d.AddItem(list.id, item);

  // 2. The About item of the system menu.
  if (!kAboutMenuText.empty()) {
    systemMenu_.push_back({0, {}});
    systemMenu_.push_back({idc::kAboutCommand, std::string(kAboutMenuText)});
  }
  // The service checks: their buttons stay hidden in the layout, the menu reaches them.
  systemMenu_.push_back({idc::kRtcCheckCommand, std::string(kRtcCheckMenuText)});
  systemMenu_.push_back({idc::kEnergyCheckCommand, std::string(kEnergyCheckMenuText)});
  // The windows that watch a run, where the program has them.
  if (seams_.openTrafficMonitor) systemMenu_.push_back({idc::kTrafficCommand, std::string(kTrafficMenuText)});
  if (seams_.openTrend) systemMenu_.push_back({idc::kTrendCommand, std::string(kTrendMenuText)});
  // The separator under the tab row.
  d.SetLines({{0, 18, 600, 18, kBlack}, {600, 18, 600, 0, kBlack}});

  for (std::string_view p : kProtocolTexts) d.AddItem(idc::kProtocolList, p);
  d.AddItem(idc::kGroupList, "Общий");
  for (int g = 1; g <= 16; ++g) d.AddItem(idc::kGroupList, std::to_string(g));
}

// No address known yet: the broadcast IP, local time, no description port.
void CKrellonDlg::ShowConnectionDefaults() {
  Dialog& d = dialog_;
  d.SetIpv4(idc::kIpAddress, 0xFFFFFFFF);
  settings_.ipAddress = 0xFFFFFFFF;
  settings_.timeBase = TimeBase::Local;
  d.SetSelection(idc::kTimeBaseList, d.FindExact(idc::kTimeBaseList, "Local"));
  settings_.descriptionTcpPort = 0;

  d.SetText(idc::kFailureCount, "0");
}

// Nominal voltage 30 V and current 75 A on both channels.
void CKrellonDlg::ShowNominalDefaults() {
  Dialog& d = dialog_;
  for (int id : {idc::kNominalVoltage1, idc::kNominalVoltage2})
    d.SetSelection(id, d.FindExact(id, "30"));
  d.SetText(idc::kNominalCurrent1, "75");
  d.SetText(idc::kNominalCurrent2, "75");
  settings_.nominals = DcNominals{};
}

// Device address 1, poll period 500 ms (150 ms at the least).
void CKrellonDlg::ShowPollDefaults() {
  Dialog& d = dialog_;
  d.SetSpinRange(idc::kDeviceAddressSpin, 1, 65535);
  d.SetSpinPos(idc::kDeviceAddressSpin, 1);
  deviceAddressField_ = 1;

  settings_.pollPeriodMs = 500;
  settings_.minPollPeriodMs = 150;
}

// The captions of the window in its one language.
void CKrellonDlg::SetCaptions() {
  Dialog& d = dialog_;
  static constexpr std::pair<int, std::string_view> kCaptions[] = {
      {idc::kFileTab, "Файл"},
      {idc::kIecTab, "МЭК-101"},
      {idc::kNominalTab, "Номинальные значения"},
      {1190, "Протокол"},
      {1197, "Номинальный ток, А"},
      {1216, "Номинальный ток, А"},
      {1198, "Номинальное напряжение, В"},
      {1214, "Номинальное напряжение, В"},
      {1199, "Формат данных"},
      {idc::kDisplayMode, "Код"},
      {idc::kStart, "Старт"},
      {idc::kStop, "Стоп"},
      {idc::kSave, "Сохранить"},
      {1204, "Осталось"},
      {1201, "Период опроса, мс"},
      {1202, "Время преобразователя"},
      {1203, "Время компьютера"},
      {idc::kLimitTime, "Время записи"},
      {idc::kDelayButton, "Определение запаздывания"},
      {idc::kClockSync, "Синхронизация RTC"},
      {1207, "Состояние:"},
      {idc::kStatusLine, "Ожидание"},
      {1205, "мс"},
      {1206, "Адрес устройства"},
      {idc::kModeGroupPoll, "Опрос группы"},
      {idc::kModeRead102, "Чтение (102)"},
      {idc::kModeLinkLevel, "Чтение на канальном уровне"},
      {idc::kIpLabel, "IP адрес"},
      {1212, "Счетчик сбоев"},
      {idc::kRtcCheck, "Проверка RTC"},
  };
  for (const auto& [id, text] : kCaptions) d.SetText(id, text);
}

// Physical units, IEC link-level reading, the IP field off until a TCP protocol is chosen.
void CKrellonDlg::ShowModeDefaults() {
  Dialog& d = dialog_;
  d.Enable(idc::kIpAddress, false);
  d.Enable(idc::kIpLabel, false);

  settings_.displayMode = DisplayMode::PhysicalUnits;
  d.SetCheck(idc::kDisplayMode, true);
  d.SetText(idc::kDisplayMode, "Физ. ед");

  settings_.iecReadMode = IecReadMode::LinkLevelRead;
  texts_[idc::kDelayField] = "0";
  texts_[idc::kRecordingTime] = "00 : 00 : 15";
  texts_[idc::kRemainingTime] = "00 : 00 : 00";

  settings_.iecSizes = IecFieldSizes{};
}

// Nothing described yet: no divisors, the general group, no quantity present.
void CKrellonDlg::ResetDescriptionState() {
  Dialog& d = dialog_;
  description_.divisors.clear();
  settings_.group.position = 0;
  d.SetSelection(idc::kGroupList, 0);

  marks_ = AvailabilityMarks{};
  catalogue_.Build();
}

// The serial ports present, "НЕТ" after them, and the stored port selected.
void CKrellonDlg::ListSerialPorts() {
  Dialog& d = dialog_;
  serialPorts_ = EnumerateSerialPorts();
  if (!serialPorts_.empty()) {
    d.ResetContent(idc::kPortList);
    for (const auto& p : serialPorts_) d.AddItem(idc::kPortList, p);
    d.AddItem(idc::kPortList, kNoPort);
  }
  settings_.portText = std::string(kNoPort);
  ReadStoredPort();
  SelectPortText();
}

// The serial line starts from the default parameters; the fields show the members.
void CKrellonDlg::ResetSerialLine() {
  settings_.serial = SerialParameters{};
  ConfigureSerial(BuildSerialSettingsText(settings_.serial));

  settings_.deviceAddress = 1;
  deviceAddressField_ = 1;
  ShowFields();
  RefreshColors();
}

}  // namespace tessvar
