// A port typed into the "Порт" list (a /dev/serial/by-id name, a pty, any path) is what the
// run opens; it serves the session only: the stored port is read at start-up, written only
// when missing, and never holds more than nine characters.
#include <gtest/gtest.h>

#include "app/file_page.h"
#include "tests/app/app_fixture.h"

namespace tessvar::test {
namespace {

constexpr std::string_view kKey = "Software\\Dorvaint";
constexpr std::string_view kValue = "COM port";
const std::string kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K4XQ2-if00-port0";

std::string StoredText(MemorySettingsStore& store) {
  const auto& d = store.keys[std::string(kKey)][std::string(kValue)].data;
  return {d.begin(), std::find(d.begin(), d.end(), uint8_t{0})};
}

struct TypedCase {
  const char* name;
  std::optional<std::string> stored;  // nothing: a first start
  std::string typed;
  std::string opened;       // the name the run opens
  std::string storedAfter;  // in Windows-1251 bytes
  int writes;               // to the store, start-up included
};

class TypedPort : public MainWindowTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(TypedPort, IsOpenedAndNeverStored) {
  const TypedCase& c = GetParam();
  ports = {"ttyS0", "ttyUSB0", kById};
  if (c.stored) store.PutString(kKey, kValue, *c.stored);
  Open();
  host.fileAnswers.push_back(SamplePath("rtu-two-channel.dat"));
  ASSERT_TRUE(D().UserClick(idc::kFileTab));
  dlg->FilePage()->GetDialog().UserFocus(1113);
  ASSERT_TRUE(D().UserType(idc::kPortList, c.typed));
  ASSERT_TRUE(D().UserClick(idc::kStart));
  ASSERT_TRUE(dlg->Run().m_running) << host.LastMessageText();
  ASSERT_FALSE(line->openedNames.empty());
  EXPECT_EQ(line->openedNames.back(), c.opened) << c.name;
  D().UserClick(idc::kStop);

  EXPECT_EQ(StoredText(store), c.storedAfter) << c.name;
  EXPECT_EQ(store.writes, c.writes) << c.name;
  // The next start-up preselects the stored port again, not the typed one.
  dlg.reset();
  Open();
  EXPECT_EQ(D().Text(idc::kPortList), c.stored && c.stored->size() <= 9 ? *c.stored : "НЕТ")
      << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, TypedPort,
    ::testing::Values(
        TypedCase{"LongPathOverAStoredPort", "ttyUSB0", kById, kById, "ttyUSB0", 0},
        TypedCase{"LongPathOnAFirstStart", std::nullopt, kById, kById, "\xCD\xC5\xD2", 1},
        TypedCase{"PtyWithBlanks", "ttyS0", "  pts/3 ", "pts/3", "ttyS0", 0},
        TypedCase{"TooLongStoredIsReplacedNotByTheTyped", "/dev/ttyUSB10", "/dev/ttyUSB10",
                  "/dev/ttyUSB10", "\xCD\xC5\xD2", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// "Старт" on a port that will not open says why, naming the path; "НЕТ" names no port.
TEST_F(MainWindowTest, StartOnAPortThatWillNotOpenSaysWhy) {
  struct Case {
    std::string typed;
    std::string problem;  // what the platform tells about the port
    std::string shown;
  };
  const std::string denied = "Нет доступа к /dev/ttyUSB3: Permission denied. Добавьте "
                             "пользователя в группу dialout (и войдите в систему заново).";
  const Case cases[] = {
      {"/dev/ttyUSB3", denied, denied},
      {"/dev/ttyUSB3", "", "Не могу открыть /dev/ttyUSB3"},
      {"НЕТ", "asked for no port", "Не выбран COM порт"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> asked;
    serialPortProblem = [&](std::string_view port) {
      asked.emplace_back(port);
      return c.problem;
    };
    line->refuseOpen = true;
    Open();
    host.messages.clear();
    host.fileAnswers.push_back(SamplePath("rtu-two-channel.dat"));
    ASSERT_TRUE(D().UserClick(idc::kFileTab));
    dlg->FilePage()->GetDialog().UserFocus(1113);
    ASSERT_TRUE(D().UserType(idc::kPortList, c.typed));
    ASSERT_TRUE(D().UserClick(idc::kStart));
    EXPECT_FALSE(dlg->Run().m_running);
    ASSERT_EQ(host.messages.size(), 1u) << c.typed;
    EXPECT_EQ(host.messages[0].text, c.shown);
    EXPECT_EQ(asked.size(), c.typed == "НЕТ" ? 0u : 1u);
    dlg.reset();
  }
}

TEST_F(MainWindowTest, TypingAListedNameChoosesItAndAByIdNameIsListed) {
  ports = {"ttyS0", "ttyUSB0", kById};
  Open();
  EXPECT_NE(D().FindExact(idc::kPortList, kById), -1);
  ASSERT_TRUE(D().UserType(idc::kPortList, "ttyUSB0"));
  EXPECT_EQ(D().SelectedText(idc::kPortList), "ttyUSB0");
  ASSERT_TRUE(D().UserType(idc::kPortList, "/dev/ttyUSB"));
  EXPECT_EQ(D().Selection(idc::kPortList), -1);
  EXPECT_EQ(dlg->Settings().portText, "/dev/ttyUSB");
  // Another protocol and back: the typed port is still shown and used.
  SelectProtocol(2);  // MODBUS TCP/IP: a typed number is the TCP port, not the serial one
  ASSERT_TRUE(D().UserType(idc::kPortList, "1502"));
  EXPECT_EQ(dlg->Settings().portText, "/dev/ttyUSB");
  SelectProtocol(1);
  EXPECT_EQ(D().Text(idc::kPortList), "/dev/ttyUSB");
  EXPECT_EQ(dlg->Settings().portText, "/dev/ttyUSB");
  // Choosing from the list again replaces the typed text.
  D().UserSelect(idc::kPortList, D().FindExact(idc::kPortList, "ttyS0"));
  EXPECT_EQ(D().Text(idc::kPortList), "ttyS0");
  EXPECT_EQ(dlg->Settings().portText, "ttyS0");
}

}  // namespace
}  // namespace tessvar::test
