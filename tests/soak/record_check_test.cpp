// The soak's line account must itself catch a lost, a repeated and a foreign line, and read
// the recording's data lines the way the window presented them.
#include <gtest/gtest.h>

#include "tests/soak/record_check.h"

namespace tessvar::soak {
namespace {

TEST(SoakAccount, CatchesEveryKindOfMismatch) {
  struct Case {
    const char* what;
    std::vector<uint64_t> presented, recorded;
    uint64_t matched, lost, duplicated;
  };
  const Case cases[] = {
      {"identical", {1, 2, 3, 4}, {1, 2, 3, 4}, 4, 0, 0},
      {"one lost in the middle", {1, 2, 3, 4}, {1, 2, 4}, 3, 1, 0},
      {"tail lost", {1, 2, 3, 4}, {1, 2}, 2, 2, 0},
      {"one repeated", {1, 2, 3}, {1, 2, 2, 3}, 3, 0, 1},
      {"a line never presented", {1, 2, 3}, {1, 9, 2, 3}, 3, 0, 1},
      {"nothing recorded", {1, 2}, {}, 0, 2, 0},
      {"recorded without a run", {}, {5}, 0, 0, 1},
      {"equal values twice, both recorded", {7, 7, 8}, {7, 7, 8}, 3, 0, 0},
      {"swapped pair", {1, 2, 3}, {2, 1, 3}, 2, 1, 1},
  };
  for (const auto& c : cases) {
    const LineAccount a = Account(c.presented, c.recorded);
    EXPECT_EQ(a.matched, c.matched) << c.what;
    EXPECT_EQ(a.lost, c.lost) << c.what;
    EXPECT_EQ(a.duplicated, c.duplicated) << c.what;
  }
}

TEST(SoakAccount, ReadsTheValueCellsOfEachDataLine) {
  const std::string b16(16, ' ');
  // Header (date, empty line, captions), then two data lines as the recording writes them.
  const std::string file = "09_12_2026 00:00:01\r\n\r\nUdc1, V" + b16 + "\tWdc1\t\r\n" +
                           "00:00:01,3\t220,5" + b16 + "\t17" + b16 + "\t\r\n" +
                           "00:00:02,3\t-1,25" + b16 + "\t18" + b16 + "\t\r\n";
  const auto lines = RecordedSignatures(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "220.5|17");
  EXPECT_EQ(lines[1], "-1.25|18");
  EXPECT_TRUE(RecordedSignatures("09_12_2026 00:00:01\r\n\r\nUdc1\t\r\n").empty());
  EXPECT_NE(SignatureHash("220.5|17"), SignatureHash("220.5|18"));
}

}  // namespace
}  // namespace tessvar::soak
