#include "app/control_ids.h"
#include "app/file_page.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/tcp_listener.h"
#include "platform/tcp_socket.h"
#include "app/main_window_template.h"
#include "tests/app/app_fixture.h"
#include "ui/pages/rs485_page.h"

namespace tessvar::test {
namespace {

struct ProtocolState {
  int index;
  bool modes;  // 1132-1134 and 1127
  bool ip;     // 1144 and 1145
  bool delay;  // 1138
  bool iecTab;
  bool serialTab;
  std::optional<std::string_view> thirdMode;  // nothing: the caption stays as it was
};

const ProtocolState kProtocolStates[] = {
    {0, false, false, false, false, true, std::nullopt},
    {1, false, false, false, false, true, std::nullopt},
    {2, false, true, false, false, false, std::nullopt},
    {3, true, false, true, true, true, "Чтение на канальном уровне"},
    {4, true, true, false, false, false, "Циклический прием данных"},
};

TEST_F(MainWindowTest, EachProtocolSetsItsControls) {
  Open();
  // Every protocol is reached from every other, so no state leaks from the previous one.
  for (const auto& from : kProtocolStates) {
    for (const auto& to : kProtocolStates) {
      SelectProtocol(from.index);
      const std::string before = D().Text(idc::kModeLinkLevel);
      SelectProtocol(to.index);
      SCOPED_TRACE(testing::Message() << from.index << " -> " << to.index);
      for (int id : {idc::kModeGroupPoll, idc::kModeRead102, idc::kModeLinkLevel, idc::kGroupList})
        EXPECT_EQ(D().IsEnabled(id), to.modes) << id;
      EXPECT_EQ(D().IsEnabled(idc::kIpAddress), to.ip);
      EXPECT_EQ(D().IsEnabled(idc::kIpLabel), to.ip);
      EXPECT_EQ(D().IsEnabled(idc::kDelayButton), to.delay);
      EXPECT_EQ(D().IsEnabled(idc::kIecTab), to.iecTab);
      EXPECT_EQ(D().IsEnabled(idc::kSerialTab), to.serialTab);
      EXPECT_EQ(D().Text(idc::kModeLinkLevel), to.thirdMode ? std::string(*to.thirdMode) : before);
      EXPECT_EQ(dlg->Settings().protocol, static_cast<ProtocolKind>(to.index));
    }
  }
}

TEST_F(MainWindowTest, PortListFollowsTheProtocolWithoutChangingThePortText) {
  ports = {"COM3", "COM1"};
  Open();
  SelectProtocol(2);
  EXPECT_EQ(D().Items(idc::kPortList), (std::vector<std::string>{"502"}));
  EXPECT_EQ(D().SelectedText(idc::kPortList), "502");
  EXPECT_EQ(dlg->Settings().portText, "НЕТ");

  dlg->Settings().descriptionTcpPort = 1502;
  SelectProtocol(2);
  EXPECT_EQ(D().Items(idc::kPortList), (std::vector<std::string>{"1502", "502"}));
  EXPECT_EQ(D().Selection(idc::kPortList), 0);
  dlg->Settings().descriptionTcpPort = 502;
  SelectProtocol(2);
  EXPECT_EQ(D().Items(idc::kPortList), (std::vector<std::string>{"502"}));

  SelectProtocol(4);
  EXPECT_EQ(D().Items(idc::kPortList), (std::vector<std::string>{"2404"}));
  D().UserSelect(idc::kPortList, 0);
  EXPECT_EQ(dlg->Settings().portText, "2404") << "the user's choice sets the port text";

  SelectProtocol(3);
  EXPECT_EQ(D().Items(idc::kPortList), (std::vector<std::string>{"COM1", "COM3", "НЕТ"}));
  EXPECT_EQ(D().Selection(idc::kPortList), -1) << "2404 names no serial port";
  D().UserSelect(idc::kPortList, 1);
  SelectProtocol(0);
  EXPECT_EQ(D().SelectedText(idc::kPortList), "COM3");
}

struct AddressCase {
  int protocol;  // -1: none selected
  uint8_t commonAddressSize;
  std::string_view typed;
  std::string_view boxAfter;
  uint16_t used;
};

const AddressCase kAddressCases[] = {
    {1, 1, "300", "44", 44},      {0, 1, "255", "255", 255},   {2, 1, "256", "0", 0},
    {-1, 1, "300", "44", 44},     {4, 1, "300", "300", 300},   {4, 1, "70000", "70000", 4464},
    {3, 2, "300", "300", 300},    {3, 1, "300", "44", 44},     {1, 1, "65541", "5", 5},
    {4, 1, "65535", "65535", 65535},
};

TEST_F(MainWindowTest, DeviceAddressIsCutForTheProtocolWhenTheBoxIsLeft) {
  Open();
  for (const auto& c : kAddressCases) {
    SCOPED_TRACE(testing::Message() << c.protocol << " " << c.typed);
    D().SetSelection(idc::kProtocolList, c.protocol);
    dlg->Settings().iecSizes.commonAddress = c.commonAddressSize;
    EnterAddress(c.typed);
    EXPECT_EQ(D().Text(idc::kDeviceAddress), c.boxAfter);
    EXPECT_EQ(dlg->Settings().deviceAddress, c.used);
  }
}

TEST_F(MainWindowTest, ChoosingAProtocolCutsTheAddressAlreadyTyped) {
  Open();
  SelectProtocol(4);
  EnterAddress("300");
  EXPECT_EQ(dlg->Settings().deviceAddress, 300);
  SelectProtocol(1);
  EXPECT_EQ(D().Text(idc::kDeviceAddress), "44");
  EXPECT_EQ(dlg->Settings().deviceAddress, 44);
}

TEST_F(MainWindowTest, SpinWritesItsPositionIntoTheAddressBox) {
  Open();
  ASSERT_TRUE(D().UserSpin(idc::kDeviceAddressSpin, 17));
  EXPECT_EQ(D().Text(idc::kDeviceAddress), "17");
  D().UserEnter();
  EXPECT_EQ(dlg->Settings().deviceAddress, 17);
}

TEST_F(MainWindowTest, TimeBaseAndRecordingTimeToggle) {
  Open();
  D().UserSelect(idc::kTimeBaseList, D().FindExact(idc::kTimeBaseList, "GMT"));
  EXPECT_EQ(dlg->Settings().timeBase, TimeBase::Gmt);
  D().UserSelect(idc::kTimeBaseList, D().FindExact(idc::kTimeBaseList, "Local"));
  EXPECT_EQ(dlg->Settings().timeBase, TimeBase::Local);

  EXPECT_TRUE(D().State(idc::kRecordingTime).readOnly);
  D().UserClick(idc::kLimitTime);
  EXPECT_FALSE(D().State(idc::kRecordingTime).readOnly);
  EXPECT_TRUE(D().UserType(idc::kRecordingTime, "01 : 00 : 00"));
  D().UserClick(idc::kLimitTime);
  EXPECT_TRUE(D().State(idc::kRecordingTime).readOnly);
  EXPECT_EQ(*dlg->TextMember(idc::kRecordingTime), "01 : 00 : 00");
}

TEST_F(MainWindowTest, AFailedCollectKeepsWhatWasExchangedBeforeTheBadField) {
  Open();
  // 1097 comes before the poll period in the exchange, the device address after it.
  D().UserClick(idc::kSave);
  D().UserType(idc::kPollPeriod, "-5");
  D().UserType(idc::kDeviceAddress, "9");
  EXPECT_FALSE(dlg->Collect());
  EXPECT_EQ(dlg->Settings().deviceAddress, 1);
  EXPECT_EQ(dlg->Settings().pollPeriodMs, 500u);
  D().UserType(idc::kPollPeriod, "600");
  EXPECT_TRUE(dlg->Collect());
  EXPECT_EQ(dlg->Settings().deviceAddress, 9);
}

bool IsBlack(const Dialog& d, int id) {
  return d.State(id).backColor == Rgb{0, 0, 0};
}

TEST_F(MainWindowTest, ValueFieldsAreBlackWhereTheQuantityIsUnavailable) {
  Open();
  for (const auto& b : ValueFieldBindings()) EXPECT_FALSE(IsBlack(D(), b.fieldId)) << b.fieldId;
  dlg->Marks()[8] = 0;   // Iac1 -> 1039
  dlg->Marks()[42] = 0;  // ETA -> 1211
  dlg->Repaint(false);
  EXPECT_TRUE(IsBlack(D(), 1039));
  EXPECT_TRUE(IsBlack(D(), 1211));
  EXPECT_FALSE(IsBlack(D(), 1045));
  dlg->Marks()[8] = 1;
  dlg->Repaint(false);
  EXPECT_FALSE(IsBlack(D(), 1039));
}

TEST_F(MainWindowTest, GroupPollWithdrawsTheOtherGroupsFromTheDisplay) {
  Open();
  auto& desc = dlg->Description();
  desc.entries = {{"Напряжение (Udc1)", "0x000001", "2"}, {"Ток (Idc1)", "0x000002", "2"},
                  {"Частота (f9)", "0x000003", "2"}};
  desc.groupCodes = {20, 23, 21};
  SelectProtocol(3);
  D().UserClick(idc::kModeGroupPoll);
  D().UserSelect(idc::kGroupList, 3);
  EXPECT_TRUE(IsBlack(D(), 1031)) << "group code 20 is withdrawn while group 3 is polled";
  EXPECT_FALSE(IsBlack(D(), 1066));
  EXPECT_EQ(dlg->Marks()[0], 1) << "the stored marks stay";
  D().UserSelect(idc::kGroupList, 0);
  EXPECT_FALSE(IsBlack(D(), 1031));
  D().UserSelect(idc::kGroupList, 3);
  D().UserClick(idc::kModeRead102);
  EXPECT_FALSE(IsBlack(D(), 1031)) << "only group poll withdraws";
}

TEST_F(MainWindowTest, StatusLineIsBlackWhileTheLinkIsFine) {
  Open();
  EXPECT_EQ(D().State(idc::kStatusLine).textColor, (Rgb{0, 0, 0}));
}

// A run on the in-memory serial line with the RTU sample loaded.
class RunningWindowTest : public MainWindowTest {
 protected:
  void StartRun() {
    ports = {"COM1"};
    store.PutString("Software\\Dorvaint", "COM port", "COM1");
    Open();
    host.fileAnswers.push_back(SamplePath("rtu-two-channel.dat"));
    ASSERT_TRUE(D().UserClick(idc::kFileTab));
    dlg->FilePage()->GetDialog().UserFocus(1113);
    ASSERT_EQ(D().SelectedText(idc::kProtocolList), "MODBUS RTU");
    ASSERT_TRUE(D().UserClick(idc::kStart));
    ASSERT_TRUE(dlg->Run().m_running) << host.LastMessageText();
  }
};

TEST_F(RunningWindowTest, TabsOpenNoPageWhileARunIsActive) {
  StartRun();
  const size_t shown = host.ShownPages().size();
  for (int tab : {idc::kFileTab, idc::kSerialTab}) D().FireClick(tab);
  EXPECT_EQ(dlg->FilePage(), nullptr);
  EXPECT_EQ(dlg->SerialPage(), nullptr);
  EXPECT_EQ(host.ShownPages().size(), shown);
  D().UserClick(idc::kStop);
  EXPECT_FALSE(dlg->Run().m_running);
  D().UserClick(idc::kSerialTab);
  EXPECT_NE(dlg->SerialPage(), nullptr);
}

TEST_F(RunningWindowTest, EscapeStopsTheRunBeforeClosing) {
  StartRun();
  EXPECT_FALSE(line->openedNames.empty());
  D().UserEscape();
  EXPECT_TRUE(D().Ended());
  EXPECT_FALSE(dlg->Run().m_running);
  EXPECT_EQ(D().Text(idc::kStatusLine), "Ожидание");
  EXPECT_FALSE(host.HasTimer(D(), 1)) << "the poll timer is killed";
}

TEST_F(RunningWindowTest, DestroyingTheWindowStopsARunStillActive) {
  StartRun();
  dlg->OnDestroy();
  EXPECT_FALSE(dlg->Run().m_running);
  EXPECT_FALSE(host.HasTimer(D(), 1));
}

TEST_F(MainWindowTest, StatusLineIsRedWhileTheConnectionIsAwaited) {
  // A loopback port that was just free: nothing accepts there.
  uint16_t closedPort = 0;
  {
    std::string error;
    auto listener = TcpListener::Bind("127.0.0.1", 0, error);
    ASSERT_NE(listener, nullptr) << error;
    closedPort = listener->Port();
  }
  makeTcpSocket = [] { return MakePosixTcpSocket(); };
  Open();
  host.fileAnswers.push_back(SamplePath("tcp-two-channel.dat"));
  D().UserClick(idc::kFileTab);
  dlg->FilePage()->GetDialog().UserFocus(1113);
  ASSERT_EQ(D().SelectedText(idc::kProtocolList), "MODBUS TCP/IP");
  dlg->Settings().descriptionTcpPort = closedPort;
  dlg->FillPortList();
  ASSERT_TRUE(D().UserSelect(idc::kPortList, D().FindExact(idc::kPortList, std::to_string(closedPort))));

  D().UserClick(idc::kStart);
  ASSERT_TRUE(dlg->Run().m_linkTrouble) << D().Text(idc::kStatusLine);
  host.RunPosted();
  EXPECT_EQ(D().State(idc::kStatusLine).textColor, (Rgb{204, 0, 0}));
  D().UserClick(idc::kStop);
  host.RunPosted();
  EXPECT_EQ(D().Text(idc::kStatusLine), "Ожидание");
  EXPECT_EQ(D().State(idc::kStatusLine).textColor, (Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace tessvar::test

namespace tessvar::test {
namespace {

TEST_F(MainWindowTest, TheWindowMenuReachesTheHiddenServiceChecks) {
  store.PutString("Software\\Dorvaint", "COM port", "ttyS1");
  store.PutString("Software\\Dorvaint", "RTC test code", "QZ");
  ports = {"ttyS1"};
  Open();
  ASSERT_EQ(dlg->SystemMenu().size(), 4u);
  EXPECT_EQ(dlg->SystemMenu()[2].command, idc::kRtcCheckCommand);
  EXPECT_EQ(dlg->SystemMenu()[2].text, "Проверка RTC");
  EXPECT_EQ(dlg->SystemMenu()[3].command, idc::kEnergyCheckCommand);
  EXPECT_EQ(dlg->SystemMenu()[3].text, "Проверка подсчета энергии и кол-ва электричества");
  EXPECT_FALSE(D().State(idc::kRtcCheck).visible);
  EXPECT_FALSE(D().State(idc::kEnergyCheck).visible);

  // A transducer that answers the wake-up burst but not the test-mode request.
  int zeros = 0;
  line->onWrite = [&](std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
      static const uint8_t kAnswer[] = {0x12, 0x34};
      if (b == 0x00 && ++zeros == 3) MemorySerialPort::Deliver(*line, clock, kAnswer, 5, 1);
    }
  };
  D().UserCommand(idc::kRtcCheckCommand);
  // The code of the settings value goes on the wire: 01 76 'Q' 'Z' CRC.
  const std::vector<uint8_t> request = {0x01, 0x76, 0x51, 0x5A, 0x5D, 0xA9};
  ASSERT_GE(line->written.size(), request.size());
  EXPECT_TRUE(std::equal(request.begin(), request.end(), line->written.end() - 6));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Ошибка при запуске режима проверки RTC");
  EXPECT_EQ(host.messages[0].caption, "RTC test");
  EXPECT_EQ(host.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(line->openPorts, 0);

  // The energy check opens its window even when the run cannot start.
  D().UserCommand(idc::kEnergyCheckCommand);
  ASSERT_FALSE(host.ShownPages().empty());
  EXPECT_EQ(host.ShownPages().back()->Template().id, 142);
  EXPECT_EQ(host.LastMessageText(), "Загрузите файл конфигурации");
  EXPECT_EQ(D().Text(idc::kPollPeriod), "200");
}

}  // namespace
}  // namespace tessvar::test
