// Why a serial port will not open, said with the path and the reason, on real files,
// folders, devices and pseudo-terminals; and the by-id names the port list offers.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/posix/posix_serial_port.h"
#include "platform/posix/pty.h"
#include "platform/posix/serial_port_check.h"

namespace tessvar {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("tessvar-port-check-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(SerialPortProblem, NamesThePathAndTheReason) {
  TempDir dir;
  std::ofstream(dir / "file.txt") << "not a port";
  fs::create_directory(dir / "folder");
  std::string error;
  auto pty = PseudoTerminal::Open(dir / "pty", error);
  ASSERT_TRUE(pty) << error;

  struct Case {
    std::string port;
    std::vector<std::string> said;  // every part must be in the sentence; none: it opens
  };
  const Case cases[] = {
      {dir / "missing", {"Нет такого порта", dir / "missing"}},
      {dir / "file.txt", {dir / "file.txt", "обычный файл"}},
      {dir / "folder", {dir / "folder", "папка"}},
      {"/dev/null", {"/dev/null", "не терминал"}},
      {"null", {"/dev/null", "не терминал"}},  // a short name is looked up under /dev
      {pty->SlaveName(), {}},
      {dir / "pty", {}},  // through a link
      {"", {"Не указан порт"}},
  };
  for (const Case& c : cases) {
    const std::string text = SerialPortProblem(c.port);
    if (c.said.empty()) {
      EXPECT_EQ(text, "") << c.port;
      continue;
    }
    for (const std::string& part : c.said)
      EXPECT_TRUE(Contains(text, part)) << c.port << ": " << text;
  }
}

TEST(SerialPortProblem, APortAnotherProgramHoldsIsBusy) {
  std::string error;
  auto pty = PseudoTerminal::Open({}, error);
  ASSERT_TRUE(pty) << error;
  auto holder = MakePosixSerialPort();
  ASSERT_TRUE(holder->Open(pty->SlaveName()));
  const std::string text = SerialPortProblem(pty->SlaveName());
  EXPECT_TRUE(Contains(text, "занят")) << text;
  EXPECT_TRUE(Contains(text, pty->SlaveName())) << text;
  holder->Close();
  EXPECT_EQ(SerialPortProblem(pty->SlaveName()), "");
}

// The errors an open can end with, as the user reads them (a permission error cannot be
// made for real when the tests run with every privilege).
TEST(SerialPortProblem, OpenErrorsReadAsSentences) {
  struct Case {
    int error;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {EACCES, {"Нет доступа к /dev/ttyUSB0", "Permission denied", "группу dialout"}},
      {EPERM, {"Нет доступа к /dev/ttyUSB0", "группу dialout"}},
      {EBUSY, {"/dev/ttyUSB0", "занят"}},
      {ENOENT, {"Нет такого порта: /dev/ttyUSB0"}},
      {ENXIO, {"Нет такого порта: /dev/ttyUSB0"}},
      {EIO, {"Не могу открыть /dev/ttyUSB0"}},
  };
  for (const Case& c : cases) {
    const std::string text = OpenErrorText("/dev/ttyUSB0", c.error, "dialout");
    for (const std::string& part : c.said)
      EXPECT_TRUE(Contains(text, part)) << c.error << ": " << text;
  }
  EXPECT_TRUE(Contains(OpenErrorText("/dev/ttyACM0", EACCES, "uucp"), "группу uucp"));
}

TEST(SerialByIdPaths, ListsOnlyLinksToCharacterDevicesSorted) {
  TempDir dir;
  std::string error;
  auto a = PseudoTerminal::Open({}, error);
  auto b = PseudoTerminal::Open({}, error);
  ASSERT_TRUE(a && b) << error;
  fs::create_directory(dir / "by-id");
  fs::create_symlink(b->SlaveName(), dir / "by-id/usb-FTDI_B-if00-port0");
  fs::create_symlink(a->SlaveName(), dir / "by-id/usb-FTDI_A-if00-port0");
  std::ofstream(dir / "plain") << "x";
  fs::create_symlink(dir / "plain", dir / "by-id/usb-file");
  fs::create_symlink(dir / "gone", dir / "by-id/usb-dangling");

  const auto paths = SerialByIdPaths(dir / "by-id");
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], dir / "by-id/usb-FTDI_A-if00-port0");
  EXPECT_EQ(paths[1], dir / "by-id/usb-FTDI_B-if00-port0");
  EXPECT_TRUE(SerialByIdPaths(dir / "no-such-dir").empty());
}

}  // namespace
}  // namespace tessvar
