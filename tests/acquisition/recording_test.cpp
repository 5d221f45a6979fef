#include "acquisition/recording.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tessvar {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(RecordingTest, RecordingTimeTexts) {
  struct Case {
    const char* text;
    std::optional<uint32_t> seconds;
  };
  const Case cases[] = {
      {"00 : 00 : 15", 15},   {"00:00:15", 15},     {"24:00:00", 86400},
      {"00:60:45", 3645},     {"01:02:03", 3723},   {"25:00:00", std::nullopt},
      {"00:61:00", std::nullopt}, {"00:00:61", std::nullopt}, {"00:05", std::nullopt},
      {"::", std::nullopt},   {"", std::nullopt},   {"a:b:c", std::nullopt},
      {"-1:00:00", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRecordingTime(c.text), c.seconds) << c.text;
}

TEST(RecordingTest, RemainingTextRoundsUp) {
  EXPECT_EQ(RemainingText(65000), "00 : 01 : 05");
  EXPECT_EQ(RemainingText(64001), "00 : 01 : 05");
  EXPECT_EQ(RemainingText(0), "00 : 00 : 00");
  EXPECT_EQ(RemainingText(86400000), "24 : 00 : 00");
}

TEST(RecordingTest, PathsOfTheRecordingFiles) {
  EXPECT_EQ(RecordPathFromChoice("/a/b"), "/a/b.txt");
  EXPECT_EQ(RecordPathFromChoice("/a/b.txt"), "/a/b.txt");
  WallTime t;
  t.day = 9;
  t.month = 12;
  t.hour = 0;
  t.minute = 0;
  t.second = 2;
  EXPECT_EQ(RotatedRecordPath("/log/run.txt", t), "/log/run_09_12__00_00_02.txt");
  // Only a trailing ".txt" goes: a folder named "x.txt" keeps its name.
  EXPECT_EQ(RotatedRecordPath("/x.txt/run", t), "/x.txt/run_09_12__00_00_02.txt");
}

TEST(RecordingTest, HeaderAndLineOfTheExample) {
  WallTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 8;
  t.hour = 14;
  t.minute = 5;
  t.second = 9;
  const std::vector<RecordColumn> cols = {{0, "Udc1, В", "12.34"}, {1, "Idc1, A", "0.500"},
                                          {3, "Wdc1, kВт·ч", "1.000"}};
  const std::string b16(16, ' ');
  EXPECT_EQ(RecordHeader(t, cols), "08_12_2026 14:05:09\n\nВремя      \tUdc1, В" + b16 +
                                       "\tIdc1, A" + b16 + "\tWdc1, kВт·ч\t\n");
  t.millisecond = 350;
  EXPECT_EQ(RecordLine(ComputerTimeCell(t), cols, true),
            "14:05:09,3\t12,34" + b16 + "\t0,500" + b16 + "\t1,000" + b16 + "\t\n");
  EXPECT_EQ(RecordLine("x\t", cols, false),
            "x\t12.34" + b16 + "\t0.500" + b16 + "\t1.000" + b16 + "\t\n");
  EXPECT_EQ(RecordLine("x\t", {}, true), "x\t\n");
}

TEST(RecordingTest, ConverterTimeCell) {
  EXPECT_EQ(ConverterTimeCell(14, 5, 19250), "14:05:19,25\t");
  EXPECT_EQ(ConverterTimeCell(14, 5, 7250), "14:05:7,25\t");
  EXPECT_EQ(ConverterTimeCell(23, 59, 59999), "23:59:59,99\t");
}

class RecordingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tessvar_rec_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(RecordingFileTest, WritesWindows1251WithCrLf) {
  RecordingFile f;
  const std::string path = (dir_ / "r.txt").string();
  ASSERT_TRUE(f.Create(path));
  ASSERT_TRUE(f.Write("Время\n"));
  // Flushed at once: another reader sees the line while the file is still open.
  EXPECT_EQ(ReadAll(path), "\xC2\xF0\xE5\xEC\xFF\r\n");
  f.Close();
}

TEST_F(RecordingFileTest, DiskFullIsReportedAndCloses) {
  const auto link = dir_ / "full.txt";
  std::error_code ec;
  std::filesystem::create_symlink("/dev/full", link, ec);
  if (ec || !std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  RecordingFile f;
  ASSERT_TRUE(f.Create(link.string()));
  EXPECT_FALSE(f.Write("line\n"));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(f.Write("more\n"));
}

TEST_F(RecordingFileTest, CreateFailsInAMissingFolder) {
  RecordingFile f;
  EXPECT_FALSE(f.Create((dir_ / "missing" / "r.txt").string()));
  EXPECT_FALSE(f.IsOpen());
}

}  // namespace
}  // namespace tessvar
