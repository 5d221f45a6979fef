#include "app/file_page.h"
#include "tests/app/app_fixture.h"
#include "ui/pages/iec_property_page.h"
#include "ui/pages/rs485_page.h"

namespace tessvar::test {
namespace {

struct MinimumCase {
  size_t entries;
  uint32_t baud;
  bool ascii;
  uint32_t expected;
};

// (n + 11) * 10000 / b, doubled (twice for ASCII), down to 50 ms, plus 100 ms.
const MinimumCase kMinimumCases[] = {
    {3, 9600, false, 100},   {40, 9600, true, 300},    {60, 9600, true, 350},
    {0, 9600, false, 100},   {0, 19200, false, 100},   {0, 38400, false, 100},
    {0, 56000, false, 100},  {0, 64000, false, 100},   {100, 9600, false, 300},
    {100, 19200, false, 200}, {100, 38400, false, 150}, {100, 56000, false, 100},
    {100, 64000, false, 100}, {255, 9600, true, 1200},  {255, 64000, true, 250},
};

TEST(MinimumPollPeriod, ForEveryBaudRateOfThePage) {
  for (const auto& c : kMinimumCases) {
    SCOPED_TRACE(testing::Message() << c.entries << " @ " << c.baud << (c.ascii ? " ascii" : ""));
    EXPECT_EQ(MinimumPollPeriod(c.entries, c.baud, c.ascii), c.expected);
  }
  EXPECT_EQ(MinimumPollPeriod(5, 0, false), 0u) << "no rate, no division";
}

class SerialPageTest : public MainWindowTest {
 protected:
  Dialog& OpenPage() {
    Open();
    SelectProtocol(1);
    EXPECT_TRUE(D().UserClick(idc::kSerialTab));
    EXPECT_NE(dlg->SerialPage(), nullptr);
    return dlg->SerialPage()->GetDialog();
  }
  void WithEntries(size_t n) {
    dlg->Description().entries.assign(n, DescriptionEntry{"x", "0x000001", "2"});
  }
};

TEST_F(SerialPageTest, StartSelectsTheCurrentSettingsAndIsPlacedOverTheWindow) {
  ports = {"COM2", "COM1"};
  Dialog& page = OpenPage();
  EXPECT_EQ(page.Items(1087), (std::vector<std::string>{"ЧЕТ", "НЕЧЕТ", "НЕТ"}));
  EXPECT_EQ(page.Items(1088), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(page.Items(1089),
            (std::vector<std::string>{"9600", "19200", "38400", "56000", "64000"}));
  EXPECT_EQ(page.Items(1023), (std::vector<std::string>{"COM2", "COM1", "НЕТ"}));
  EXPECT_FALSE(page.State(1023).visible);
  EXPECT_EQ(page.SelectedText(1087), "НЕТ");
  EXPECT_EQ(page.SelectedText(1088), "2");
  EXPECT_EQ(page.SelectedText(1089), "9600");
  EXPECT_EQ(page.SelectedText(1023), "НЕТ");
  EXPECT_EQ(page.Text(1191), "Четность");
  EXPECT_EQ(page.Text(1193), "бит/с");
  const ScreenRect main = host.WindowRect(D());
  const ScreenRect r = host.WindowRect(page);
  EXPECT_EQ(r.left - main.left, 100);
  EXPECT_EQ(r.top - main.top, 60);
}

TEST_F(SerialPageTest, WithoutPortsTheHiddenListKeepsItsTemplateItems) {
  Dialog& page = OpenPage();
  EXPECT_EQ(page.Items(1023).size(), 9u);
  EXPECT_EQ(page.Items(1023).front(), "COM1");
}

TEST_F(SerialPageTest, ABaudRateTheListLacksLeavesItWithoutSelection) {
  Open();
  dlg->Settings().serial.baudRate = "1200";
  SelectProtocol(1);
  D().UserClick(idc::kSerialTab);
  EXPECT_EQ(dlg->SerialPage()->GetDialog().Selection(1089), -1);
  EXPECT_EQ(dlg->Settings().serial.baudRate, "1200");
}

TEST_F(SerialPageTest, ChangesAreStoredAndSentOnlyWhenAPortIsChosen) {
  Dialog& page = OpenPage();
  configured.clear();
  page.UserSelect(1087, 0);
  EXPECT_EQ(dlg->Settings().serial.parity, "ЧЕТ");
  EXPECT_TRUE(configured.empty()) << "no port chosen: nothing reaches the line";

  dlg->Settings().portText = "COM1";
  page.UserSelect(1088, 0);
  EXPECT_EQ(dlg->Settings().serial.stopBits, "1");
  ASSERT_EQ(configured.size(), 1u);
  EXPECT_EQ(configured[0], "9600,ЧЕТ,7,1");
  dlg->Settings().portText = "NO";
  page.UserSelect(1087, 1);
  EXPECT_EQ(configured.size(), 1u);
  EXPECT_EQ(dlg->Settings().serial.dataBits, "7") << "the page leaves the data bits alone";
}

TEST_F(SerialPageTest, ABaudRateRaisesThePollPeriodAndAlwaysRewritesItsBox) {
  Dialog& page = OpenPage();
  WithEntries(60);
  D().SetSelection(idc::kProtocolList, 0);  // MODBUS ASCII
  dlg->Settings().pollPeriodMs = 250;
  page.UserSelect(1089, 0);
  EXPECT_EQ(dlg->Settings().minPollPeriodMs, 350u);
  EXPECT_EQ(dlg->Settings().pollPeriodMs, 350u);
  EXPECT_EQ(D().Text(idc::kPollPeriod), "350");

  dlg->Settings().pollPeriodMs = 1000;
  D().SetText(idc::kPollPeriod, "typed");
  page.UserSelect(1089, 0);
  EXPECT_EQ(dlg->Settings().pollPeriodMs, 1000u);
  EXPECT_EQ(D().Text(idc::kPollPeriod), "1000");

  D().SetSelection(idc::kProtocolList, 1);
  page.UserSelect(1089, 4);
  EXPECT_EQ(dlg->Settings().serial.baudRate, "64000");
  EXPECT_EQ(dlg->Settings().minPollPeriodMs, 100u);
}

TEST_F(SerialPageTest, FocusWithinThePageKeepsItAControlOfTheWindowClosesIt) {
  Dialog& page = OpenPage();
  page.UserFocus(1087);
  page.UserFocus(1089);
  EXPECT_FALSE(page.Ended());
  page.UserFocus(-1);  // another application: the page stays
  EXPECT_FALSE(page.Ended());
  page.UserFocus(1087);
  D().UserFocus(idc::kStart);
  page.UserFocus(-1);
  EXPECT_TRUE(page.Ended());
  EXPECT_EQ(dlg->SerialPage(), nullptr);
}

TEST_F(SerialPageTest, ATabClickReplacesAnOpenPageOfItsKind) {
  Dialog& first = OpenPage();
  D().UserClick(idc::kSerialTab);
  EXPECT_TRUE(first.Ended());
  EXPECT_FALSE(dlg->SerialPage()->GetDialog().Ended());
}

class IecPageTest : public MainWindowTest {
 protected:
  Dialog& OpenPage() {
    Open();
    SelectProtocol(3);
    EXPECT_TRUE(D().UserClick(idc::kIecTab));
    EXPECT_NE(dlg->IecPage(), nullptr);
    return dlg->IecPage()->GetDialog();
  }
};

TEST_F(IecPageTest, StartShowsTheSizesWithTheirLabels) {
  Dialog& page = OpenPage();
  EXPECT_EQ(page.SelectedText(1120), "1");
  EXPECT_EQ(page.SelectedText(1121), "2");
  EXPECT_EQ(page.SelectedText(1122), "1");
  EXPECT_EQ(page.Text(1194), "Размер поля     \"Адрес ASDU\"");
  EXPECT_EQ(page.Text(1195), "Размер поля \"Адрес объекта информации\"");
  EXPECT_EQ(page.Text(1196), "Размер поля \"Причина передачи\"");
  EXPECT_EQ(page.Text(1124), "16");
  EXPECT_EQ(page.Text(1119), "1");
  const ScreenRect main = host.WindowRect(D());
  EXPECT_EQ(host.WindowRect(page).left - main.left, 180);
}

TEST_F(IecPageTest, SizesAreTakenOverAndTheAddressCutWhenTheFocusLeaves) {
  Dialog& page = OpenPage();
  dlg->Settings().iecSizes.commonAddress = 2;
  page.SetSelection(1120, 1);
  EnterAddress("300");
  EXPECT_EQ(dlg->Settings().deviceAddress, 300);

  page.UserFocus(1120);
  page.UserSelect(1120, 0);
  page.UserSelect(1121, 2);
  page.UserFocus(1122);  // within the page: taken over, page stays
  EXPECT_FALSE(page.Ended());
  EXPECT_EQ(dlg->Settings().iecSizes.commonAddress, 1);
  EXPECT_EQ(dlg->Settings().iecSizes.objectAddress, 3);
  EXPECT_EQ(dlg->Settings().deviceAddress, 44);
  EXPECT_EQ(D().Text(idc::kDeviceAddress), "44");

  D().UserFocus(idc::kDeviceAddress);
  page.UserFocus(-1);
  EXPECT_TRUE(page.Ended());
  EXPECT_EQ(dlg->IecPage(), nullptr);
}

TEST_F(IecPageTest, LeavingUntouchedWritesTheSameSizesBack) {
  Dialog& page = OpenPage();
  const IecFieldSizes before = dlg->Settings().iecSizes;
  page.UserFocus(1121);
  D().UserFocus(idc::kStart);
  page.UserFocus(-1);
  EXPECT_TRUE(page.Ended());
  EXPECT_EQ(dlg->Settings().iecSizes, before);
}

TEST_F(IecPageTest, ASizeTheListLacksStopsTheTakeOverThere) {
  Open();
  dlg->Settings().iecSizes.objectAddress = 4;
  dlg->Settings().iecSizes.fixedFrame = 9;
  SelectProtocol(3);
  D().UserClick(idc::kIecTab);
  Dialog& page = dlg->IecPage()->GetDialog();
  EXPECT_EQ(page.Selection(1121), -1);
  dlg->Settings().iecSizes.fixedFrame = 20;
  page.UserSelect(1120, 1);
  page.UserFocus(1120);
  D().UserFocus(idc::kStart);
  page.UserFocus(-1);
  EXPECT_FALSE(page.Ended()) << "the page stays for a choice";
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kSizeNotChosen);
  EXPECT_EQ(dlg->Settings().iecSizes.commonAddress, 2) << "taken before the bad list";
  EXPECT_EQ(dlg->Settings().iecSizes.objectAddress, 4);
  EXPECT_EQ(dlg->Settings().iecSizes.fixedFrame, 20) << "not taken after it";
}

TEST_F(IecPageTest, TheStationProfileIsPickedStoredAndShownAtTheNextStart) {
  Dialog& page = OpenPage();
  EXPECT_EQ(page.Text(1197), "Профиль станции");
  ASSERT_EQ(page.Items(1125).size(), 2u);
  EXPECT_EQ(page.Items(1125)[0], "Преобразователь");
  EXPECT_EQ(page.SelectedText(1125), "Преобразователь") << "the default";
  const int writesAtStart = store.writes;  // the port value written at the first start

  page.UserFocus(1125);
  ASSERT_TRUE(page.UserSelect(1125, 1));
  EXPECT_EQ(dlg->Settings().iecProfile, IecProfile::Standard);
  EXPECT_EQ(store.writes, writesAtStart + 1);
  page.UserSelect(1125, 1);
  EXPECT_EQ(store.writes, writesAtStart + 1) << "the same profile again writes nothing";
  page.UserFocus(1120);
  EXPECT_FALSE(page.Ended()) << "the choice is one of the page's controls";

  // The next start finds the standard profile and the page shows it.
  dlg.reset();
  Dialog& again = OpenPage();
  EXPECT_EQ(dlg->Settings().iecProfile, IecProfile::Standard);
  EXPECT_EQ(again.SelectedText(1125), "Стандарт МЭК");
}

TEST_F(MainWindowTest, FilePageShowsTheNameAndClosesWithoutLoadingElsewhere) {
  Open();
  dlg->Description().fileName = "old.dat";
  ASSERT_TRUE(D().UserClick(idc::kFileTab));
  Dialog& page = dlg->FilePage()->GetDialog();
  EXPECT_EQ(page.Text(1109), "old.dat");
  EXPECT_EQ(page.Text(1113), "Открыть");
  EXPECT_EQ(page.Focus(), 1109);
  const ScreenRect main = host.WindowRect(D());
  EXPECT_EQ(host.WindowRect(page).left - main.left, 10);
  D().UserFocus(idc::kPollPeriod);
  page.UserFocus(-1);
  EXPECT_TRUE(page.Ended());
  EXPECT_TRUE(host.fileDialogs.empty()) << "no load without the button";
}

}  // namespace
}  // namespace tessvar::test
