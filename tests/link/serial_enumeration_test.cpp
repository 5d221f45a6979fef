#include "platform/posix/serial_enumeration.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace tessvar {
namespace {

TEST(SerialEnumeration, ListsNamedPseudoTerminalsAndOnlyShortSerialNames) {
  int master = -1;
  int slave = -1;
  char name[64] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string pts = std::string(name).substr(5);
  const std::vector<std::string> extra = {pts, "pts/987654", "null", "pts/0123456789"};
  const auto names = EnumerateSerialDevices(extra);
  EXPECT_NE(std::find(names.begin(), names.end(), pts), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "pts/987654"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "null"), names.end());  // not a terminal
  for (const auto& n : names) EXPECT_LE(n.size(), kMaxPortNameLength) << n;
  close(slave);
  close(master);
}

TEST(SerialEnumeration, PlainFilesWithSerialNamesAreNotPorts) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tessvar-enum-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const char* n : {"ttyUSB0", "ttyACM3", "ttyS0"}) std::ofstream(dir / n) << "x";
  EXPECT_TRUE(EnumerateSerialDevices({}, dir.string()).empty());
  std::filesystem::remove(dir / "ttyUSB0");
  std::filesystem::remove(dir / "ttyACM3");
  std::filesystem::remove(dir / "ttyS0");
  std::filesystem::remove(dir);
}

}  // namespace
}  // namespace tessvar
