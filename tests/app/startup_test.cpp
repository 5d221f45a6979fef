#include <optional>
#include <set>

#include "app/control_ids.h"
#include "app/krellon_app.h"
#include "app/main_window_template.h"
#include "tests/app/app_fixture.h"

namespace tessvar::test {
namespace {

struct Expected {
  int id;
  std::optional<std::string_view> text;  // caption or field text
  bool enabled;
  bool readOnly = false;
  bool visible = true;
  std::optional<bool> checked = std::nullopt;
  std::optional<std::string_view> selected = std::nullopt;  // list selection text
};

// The window right after initialisation, control by control.
const Expected kStartup[] = {
    {idc::kFileTab, "Файл", true},
    {idc::kSerialTab, "RS-485", false},
    {idc::kIecTab, "МЭК-101", false},
    {idc::kNominalTab, "Номинальные значения", true, false, false},
    {idc::kProtocolList, std::nullopt, true, false, true, std::nullopt, ""},
    {idc::kNominalCurrent1, "75", true},
    {idc::kNominalCurrent2, "75", true},
    {idc::kNominalVoltage1, std::nullopt, true, false, true, std::nullopt, "30"},
    {idc::kNominalVoltage2, std::nullopt, true, false, true, std::nullopt, "30"},
    {idc::kDisplayMode, "Физ. ед", true, false, true, true},
    {idc::kStart, "Старт", true},
    {idc::kStop, "Стоп", false},
    {idc::kSave, "Сохранить", true, false, true, false},
    {idc::kPollPeriod, "500", true, false},
    {idc::kLimitTime, "Время записи", true, false, true, false},
    {idc::kRecordingTime, "00 : 00 : 15", true, true},
    {idc::kRemainingTime, "00 : 00 : 00", true, true},
    {idc::kDelayField, "0", true, true},
    {idc::kTimeBaseList, std::nullopt, true, false, true, std::nullopt, "Local"},
    {idc::kClockSync, "Синхронизация RTC", true},
    {idc::kDelayButton, "Определение запаздывания", false},
    {idc::kDeviceAddress, "1", true, false},
    {idc::kDeviceAddressSpin, std::nullopt, true},
    {idc::kModeGroupPoll, "Опрос группы", false, false, true, false},
    {idc::kModeRead102, "Чтение (102)", false, false, true, false},
    {idc::kModeLinkLevel, "Чтение на канальном уровне", false, false, true, true},
    {idc::kGroupList, std::nullopt, false, false, true, std::nullopt, "Общий"},
    {idc::kIpAddress, std::nullopt, false},
    {idc::kIpLabel, "IP адрес", false},
    {idc::kStatusLine, "Ожидание", true},
    {1031, std::nullopt, true, true},
    {1211, std::nullopt, true, true},
    {idc::kConverterTime, std::nullopt, true, true},
    {idc::kComputerTime, std::nullopt, true, true},
    {idc::kAsduField, std::nullopt, true, true},
    {idc::kDefaultButton, "Default", true, false, false},
    {idc::kFailureCount, "0", true, false, false},
    {idc::kResetFailures, "RST", true, false, false},
    {idc::kRtcCheck, "Проверка RTC", false, false, false},
    {idc::kEnergyCheck, "Проверка подсчета энергии и кол-ва электричества", false, false, false},
    {1005, std::nullopt, true, true, false},
    {1135, std::nullopt, true, true, false},
};

TEST_F(MainWindowTest, StartUpStateIsTheDefaultControlByControl) {
  Open();
  for (const Expected& e : kStartup) {
    SCOPED_TRACE(e.id);
    const ControlState& s = D().State(e.id);
    if (e.text) {
      EXPECT_EQ(s.text, *e.text);
    }
    EXPECT_EQ(s.enabled, e.enabled);
    EXPECT_EQ(s.readOnly, e.readOnly);
    EXPECT_EQ(s.visible, e.visible);
    if (e.checked) {
      EXPECT_EQ(s.checked, *e.checked);
    }
    if (e.selected) {
      EXPECT_EQ(D().SelectedText(e.id), *e.selected);
    }
  }
  EXPECT_EQ(D().Ipv4(idc::kIpAddress), 0xFFFFFFFFu);
  EXPECT_EQ(D().SpinPos(idc::kDeviceAddressSpin), 1);
  EXPECT_EQ(D().State(idc::kDeviceAddressSpin).spinMin, 1);
  EXPECT_EQ(D().State(idc::kDeviceAddressSpin).spinMax, 65535);
  EXPECT_EQ(D().Title(), "Tessvar");
}

TEST_F(MainWindowTest, StartUpListsAndSettingsDefaults) {
  Open();
  const std::vector<std::string> protocols{"MODBUS ASCII", "MODBUS RTU", "MODBUS TCP/IP",
                                           "МЭК-101", "МЭК-104"};
  EXPECT_EQ(D().Items(idc::kProtocolList), protocols);
  ASSERT_EQ(D().Items(idc::kGroupList).size(), 17u);
  EXPECT_EQ(D().Items(idc::kGroupList).front(), "Общий");
  EXPECT_EQ(D().Items(idc::kGroupList).back(), "16");
  EXPECT_EQ(D().Items(idc::kTimeBaseList), (std::vector<std::string>{"GMT", "Local"}));
  EXPECT_EQ(D().Items(idc::kNominalVoltage1),
            (std::vector<std::string>{"30", "75", "150", "300", "500"}));

  const ConnectionSettings& s = dlg->Settings();
  EXPECT_EQ(s.protocol, ProtocolKind::NoProtocol);
  EXPECT_EQ(s.deviceAddress, 1);
  EXPECT_EQ(s.pollPeriodMs, 500u);
  EXPECT_EQ(s.minPollPeriodMs, 150u);
  EXPECT_EQ(s.serial, SerialParameters{});
  EXPECT_EQ(s.iecSizes, IecFieldSizes{});
  EXPECT_EQ(s.timeBase, TimeBase::Local);
  EXPECT_EQ(s.iecReadMode, IecReadMode::LinkLevelRead);
  EXPECT_EQ(s.displayMode, DisplayMode::PhysicalUnits);
  EXPECT_EQ(dlg->Marks(), AvailabilityMarks{});
  // The serial line is given the default parameters.
  ASSERT_FALSE(configured.empty());
  EXPECT_EQ(configured.back(), "9600,НЕТ,7,2");
  // The About item follows a separator in the system menu; the service checks follow it.
  ASSERT_EQ(dlg->SystemMenu().size(), 4u);
  EXPECT_EQ(dlg->SystemMenu()[0].command, 0);
  EXPECT_EQ(dlg->SystemMenu()[1].command, 16);
  EXPECT_EQ(dlg->SystemMenu()[1].text, "&About Tessvar");
}

TEST(MainWindowTemplate, IdsAreUniqueAndEveryBindingNamesAnExistingField) {
  std::set<int> ids;
  for (const auto& c : MainWindowTemplate().controls) {
    if (c.id < 0) continue;
    EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
  }
  EXPECT_EQ(ValueFieldBindings().size(), 35u);
  for (const auto& b : ValueFieldBindings()) {
    EXPECT_TRUE(ids.count(b.labelId)) << b.labelId;
    EXPECT_TRUE(ids.count(b.fieldId)) << b.fieldId;
  }
  for (int id : MainWindowExchangeOrder()) EXPECT_TRUE(ids.count(id)) << id;
  EXPECT_EQ(MainWindowExchangeOrder().size(), 71u);
  // The spin writes into the edit it follows.
  const auto& cs = MainWindowTemplate().controls;
  for (size_t i = 1; i < cs.size(); ++i)
    if (cs[i].id == idc::kDeviceAddressSpin) {
      EXPECT_EQ(cs[i - 1].id, idc::kDeviceAddress);
    }
}

struct PortCase {
  const char* name;
  std::vector<std::string> present;
  std::optional<std::string> stored;  // nothing: a first start
  std::vector<std::string> listed;
  std::string selected;  // "" = no selection
  std::string portText;
};

class StoredPortAtStartUp : public MainWindowTest,
                            public ::testing::WithParamInterface<PortCase> {};

TEST_P(StoredPortAtStartUp, PortListAndSelection) {
  const PortCase& c = GetParam();
  ports = c.present;
  if (c.stored) store.PutString("Software\\Dorvaint", "COM port", *c.stored);
  Open();
  EXPECT_EQ(D().Items(idc::kPortList), c.listed);
  EXPECT_EQ(D().SelectedText(idc::kPortList), c.selected);
  EXPECT_EQ(dlg->Settings().portText, c.portText);
  EXPECT_EQ(store.openKeys, 0) << "the key stays open only during the read";
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, StoredPortAtStartUp,
    ::testing::Values(
        PortCase{"FirstStart", {"COM1", "COM3"}, std::nullopt, {"COM1", "COM3", "НЕТ"}, "НЕТ",
                 "НЕТ"},
        PortCase{"StoredPresent", {"COM3", "COM1"}, "COM3", {"COM1", "COM3", "НЕТ"}, "COM3",
                 "COM3"},
        PortCase{"ExactNotPrefix",
                 {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"},
                 "COM1",
                 {"COM1", "COM10", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                  "НЕТ"},
                 "COM1",
                 "COM1"},
        PortCase{"StoredAbsent", {"COM1"}, "COM7", {"COM1", "НЕТ"}, "", "COM7"},
        PortCase{"NoPortsFound", {}, "COM2", {}, "", "COM2"},
        PortCase{"StoredEmpty", {"COM1"}, "", {"COM1", "НЕТ"}, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ChoosingAnotherPortIsNotStored) {
  ports = {"COM1", "COM3"};
  store.PutString("Software\\Dorvaint", "COM port", "COM3");
  Open();
  SelectProtocol(1);
  D().UserSelect(idc::kPortList, D().FindExact(idc::kPortList, "COM1"));
  EXPECT_EQ(dlg->Settings().portText, "COM1");
  dlg.reset();
  Open();
  EXPECT_EQ(D().SelectedText(idc::kPortList), "COM3");
}

TEST_F(MainWindowTest, EscapeAndCloseBoxBothEndTheWindow) {
  Open();
  D().UserEscape();
  EXPECT_TRUE(D().Ended());
  Open();
  D().UserClose();
  EXPECT_TRUE(D().Ended());
}

TEST_F(MainWindowTest, EnterCommitsTypedValuesAndNeverCloses) {
  Open();
  D().UserFocus(idc::kPollPeriod);
  D().UserType(idc::kPollPeriod, "abc");
  D().UserEnter();
  EXPECT_FALSE(D().Ended());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Enter a positive integer.");
  EXPECT_EQ(D().Focus(), idc::kPollPeriod);
  EXPECT_EQ(D().Text(idc::kPollPeriod), "abc") << "the refused text stays for correction";
  EXPECT_EQ(dlg->Settings().pollPeriodMs, 500u);

  // With a push button focused, Enter presses it instead.
  int pressed = 0;
  D().OnClick(idc::kClockSync, [&] { ++pressed; });
  D().UserFocus(idc::kClockSync);
  D().UserEnter();
  EXPECT_EQ(pressed, 1);
  EXPECT_EQ(host.messages.size(), 1u) << "no collect while a button takes Enter";

  D().UserFocus(idc::kPollPeriod);
  D().UserType(idc::kPollPeriod, " 750 ");
  D().UserEnter();
  EXPECT_EQ(dlg->Settings().pollPeriodMs, 750u);
  EXPECT_EQ(D().Text(idc::kPollPeriod), "750");
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(MainWindowTest, AboutCommandOpensTheAboutBox) {
  Open();
  D().UserCommand(16 | 0x3);  // the low 4 bits are the system's own
  Dialog* about = dlg->AboutBox();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->Title(), "About Tessvar");
  EXPECT_TRUE(about->UserClick(1));
  EXPECT_TRUE(about->Ended());
  D().UserCommand(32);
  EXPECT_TRUE(dlg->AboutBox()->Ended()) << "another command opens nothing";
}

TEST(KrellonApp, InitInstanceRunsTheWindowAndReturnsFalse) {
  VirtualClock clock;
  ScriptedHost host(clock);
  MemorySettingsStore store;
  CKrellonApp app(host, clock, store, KrellonSeams{});
  bool ran = false;
  EXPECT_FALSE(app.InitInstance([&](CKrellonDlg& dlg) {
    ran = true;
    EXPECT_EQ(dlg.GetDialog().Text(idc::kStatusLine), "Ожидание");
    dlg.GetDialog().UserClose();
  }));
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace tessvar::test
