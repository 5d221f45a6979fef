#include "link/iec_delay.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessvar::test {
namespace {

const IecFieldLayout kNarrow{1, 1, 1, 2};  // link address 1, cause 1, common address 1, IOA 2
const IecFieldLayout kWide{2, 2, 2, 3};

TEST(IecDelayTest, ReplyLengthAndValueOffsetFollowTheFieldSizes) {
  EXPECT_EQ(DelayReplyLength(kNarrow), 16u);  // 12 + 2 x 1 + 2 with a one-octet cause
  EXPECT_EQ(DelayValueOffset(kNarrow), 12u);  // 2 + 2 x 1 + 8
  EXPECT_EQ(DelayReplyLength(kWide), 20u);
  EXPECT_EQ(DelayValueOffset(kWide), 16u);
  EXPECT_EQ(DelayReplyLength({1, 2, 1, 2}), 17u);  // the two-octet cause counts too
}

TEST(IecDelayTest, Acknowledgements) {
  struct Case {
    const char* name;
    IecFieldLayout layout;
    std::vector<uint8_t> octets;
    bool ack;
  };
  const Case cases[] = {
      {"single character", kNarrow, {0xE5}, true},
      {"fixed frame, one-octet address", kNarrow, {0x10, 0x00, 0x01, 0x01, 0x16}, true},
      {"fixed frame, two-octet address", kWide, {0x10, 0x00, 0x01, 0x00, 0x01, 0x16}, true},
      {"ACD set", kNarrow, {0x10, 0x20, 0x01, 0x21, 0x16}, true},
      {"negative acknowledgement", kNarrow, {0x10, 0x01, 0x01, 0x02, 0x16}, false},
      {"from a primary station", kNarrow, {0x10, 0x40, 0x01, 0x41, 0x16}, false},
      {"bad checksum", kNarrow, {0x10, 0x00, 0x01, 0x02, 0x16}, false},
      {"length of the other address size", kWide, {0x10, 0x00, 0x01, 0x01, 0x16}, false},
      {"no stop octet", kNarrow, {0x10, 0x00, 0x01, 0x01, 0x17}, false},
      {"another single character", kNarrow, {0xA2}, false},
      {"nothing", kNarrow, {}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsDelayAcknowledgement(c.octets, c.layout), c.ack) << c.name;
}

TEST(IecDelayTest, ReturnedTimeFromASoundFrameOnly) {
  // 68 L L 68, control 08, address, type 106, VSQ 1, cause 7, common address, IOA 0,
  // CP16Time2a low first, checksum, 16.
  const std::vector<uint8_t> narrow = {0x68, 0x0A, 0x0A, 0x68, 0x08, 0x01, 0x6A, 0x01,
                                       0x07, 0x01, 0x00, 0x00, 0xFC, 0xE9, 0x61, 0x16};
  const std::vector<uint8_t> wide = {0x68, 0x0E, 0x0E, 0x68, 0x08, 0x01, 0x00, 0x6A, 0x01, 0x07,
                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xB0, 0x04, 0x30, 0x16};
  EXPECT_EQ(DelayReplyTime(narrow, kNarrow), 59900);
  EXPECT_EQ(DelayReplyTime(wide, kWide), 1200);
  EXPECT_EQ(DelayReplyTime(narrow, kWide), std::nullopt);  // 16 octets where 20 are due
  struct Damage {
    const char* name;
    size_t at;
    uint8_t value;
  };
  const Damage damages[] = {{"start", 0, 0x10},   {"second start", 3, 0x10}, {"length", 1, 0x0B},
                            {"checksum", 14, 0x62}, {"value", 12, 0xFD},     {"stop", 15, 0x17}};
  for (const Damage& d : damages) {
    std::vector<uint8_t> f = narrow;
    f[d.at] = d.value;
    EXPECT_EQ(DelayReplyTime(f, kNarrow), std::nullopt) << d.name;
  }
  std::vector<uint8_t> longer = narrow;
  longer.push_back(0xE5);
  EXPECT_EQ(DelayReplyTime(longer, kNarrow), std::nullopt);
  EXPECT_EQ(DelayReplyTime(std::span(narrow).first(15), kNarrow), std::nullopt);
}

TEST(IecDelayTest, DelayArithmetic) {
  struct Case {
    uint16_t tFirst, v;
    std::optional<uint16_t> delay;
  };
  EXPECT_EQ(HalfRoundTripMs(1200, 59900), 650u);  // the reply came in the next minute
  EXPECT_EQ(HalfRoundTripMs(29900, 30000), 29950u);  // v ahead of tFirst: about 30 s
  const Case cases[] = {
      {1200, 59900, std::nullopt},  // 650 ms: longer than the reply wait allows
      {60, 59800, 130},             // across the minute
      {30300, 30000, 150},
      {30000, 30000, 0},    // a fast link: 0 ms is a delay
      {30001, 30000, 0},
      {31000, 30000, 500},  // the longest wait
      {31002, 30000, std::nullopt},
      {29900, 30000, std::nullopt},  // v ahead of the reply: about 30 s, never a delay
      {5000, 0, std::nullopt},       // no time returned
  };
  for (const Case& c : cases) EXPECT_EQ(DelayFromTimes(c.tFirst, c.v), c.delay) << c.tFirst << " " << c.v;
}

}  // namespace
}  // namespace tessvar::test
