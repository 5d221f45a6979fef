// Command ASDUs, time tags and reply judgement, held against octets written by hand from
// the IEC 60870-5-101/104 ASDU layouts.
#include <gtest/gtest.h>

#include "link/iec_asdu.h"
#include "link_test_util.h"
#include "platform/virtual_clock.h"

namespace tessvar {
namespace {

using test::Bytes;

struct CommandCase {
  const char* name;
  std::vector<uint8_t> built;
  std::vector<uint8_t> expected;
};

TEST(IecAsdu, CommandsAreExactOctets) {
  const WallTime sunday{2026, 3, 1, 0, 13, 45, 7, 250};  // 2026-03-01 is a Sunday
  const std::vector<CommandCase> cases = {
      {"group 3, cause size 2, IOA size 2",
       BuildInterrogation(1, 0, 6, 3, {2, 1, 2}, kIec101Originator),
       Bytes({0x64, 0x01, 0x06, 0x02, 0x01, 0x00, 0x00, 0x17})},
      {"station, deactivation, all sizes 1",
       BuildInterrogation(5, 0x40, 8, 0, {1, 1, 1}, kIec101Originator),
       Bytes({0x64, 0x01, 0x08, 0x05, 0x40, 0x14})},
      {"group 16, 104 sizes", BuildInterrogation(0x0102, 0, 6, 16, kIec104FieldSizes, 0),
       Bytes({0x64, 0x01, 0x06, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00, 0x24})},
      {"group beyond 16 is clamped", BuildInterrogation(1, 0, 6, 40, {1, 1, 1}, 2),
       Bytes({0x64, 0x01, 0x06, 0x01, 0x00, 0x24})},
      {"read, IOA size 3", BuildRead(0x0203, 0x123456, {1, 2, 3}, kIec101Originator),
       Bytes({0x66, 0x01, 0x05, 0x03, 0x02, 0x56, 0x34, 0x12})},
      {"read, IOA 0x0081", BuildRead(1, 0x0081, {2, 1, 2}, kIec101Originator),
       Bytes({0x66, 0x01, 0x05, 0x02, 0x01, 0x81, 0x00})},
      // 7.250 s = 7250 ms = 0x1C52; day 1 | Sunday 7 << 5 = 0xE1; year 26 = 0x1A.
      {"clock sync on a Sunday", BuildClockSyncAt(1, {1, 1, 2}, 2, sunday),
       Bytes({0x67, 0x01, 0x06, 0x01, 0x00, 0x00, 0x52, 0x1C, 0x2D, 0x0D, 0xE1, 0x03, 0x1A})},
      {"delay acquisition, spontaneous, 104",
       BuildDelayAcquisition(7, 3, 0x1234, kIec104FieldSizes, 0),
       Bytes({0x6A, 0x01, 0x03, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x34, 0x12})},
      {"sizes out of range are clamped", BuildRead(1, 0x0A0B0C0D, {0, 9, 9}, 2),
       Bytes({0x66, 0x01, 0x05, 0x01, 0x00, 0x0D, 0x0C, 0x0B})},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected) << c.name;
}

TEST(IecAsdu, Cp56Time2aRoundTripsAndRefusesBadFields) {
  const WallTime t{2031, 12, 31, 3, 23, 59, 59, 999};
  const auto tag = EncodeCp56Time2a(t);
  EXPECT_EQ(std::vector<uint8_t>(tag.begin(), tag.end()),
            Bytes({0x5F, 0xEA, 0x3B, 0x17, 0x7F, 0x0C, 0x1F}));
  const auto back = DecodeCp56Time2a(tag);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->year, 2031);
  EXPECT_EQ(back->dayOfWeek, 3);
  EXPECT_EQ(back->second, 59);
  EXPECT_EQ(back->millisecond, 999);
  EXPECT_FALSE(DecodeCp56Time2a(Bytes({0x60, 0xEA, 0, 0, 1, 1, 0})));  // 60000 ms
  EXPECT_FALSE(DecodeCp56Time2a(Bytes({0, 0, 0, 0, 1, 13, 0})));       // month 13
  EXPECT_FALSE(DecodeCp56Time2a(Bytes({0, 0, 0, 0, 1, 1})));           // short
}

TEST(IecAsdu, ClockSyncWaitsForTheStartOfASecond) {
  VirtualClock clock;  // 2026-01-01 00:00:00.000 UTC, local +3 h
  clock.Advance(1400);  // .400 into second 1
  const auto asdu = BuildClockSync(1, {1, 1, 2}, 2, clock, TimeBase::Gmt);
  EXPECT_EQ(clock.MonotonicMs(), 2000u);
  // 2.000 s, 00:00, 2026-01-01 is a Thursday (4).
  EXPECT_EQ(std::vector<uint8_t>(asdu.begin() + 6, asdu.end()),
            Bytes({0xD0, 0x07, 0x00, 0x00, 0x81, 0x01, 0x1A}));
  clock.Advance(5);  // 2.005: early enough, no wait
  const auto local = BuildClockSync(1, {1, 1, 2}, 2, clock, TimeBase::Local);
  EXPECT_EQ(clock.MonotonicMs(), 2005u);
  EXPECT_EQ(local[9], 3);  // hours in local time
}

TEST(IecAsdu, ReplyJudgement) {
  struct Case { uint8_t type, cause, result; };
  const Case cases[] = {
      {100, 7, 0},    {100, 9, 0},    {100, 10, 0},  {100, 6, 6},   {100, 0x47, 6},
      {100, 44, 44},  {100, 0x6C, 44}, {100, 0x6F, 47}, {100, 46, 46}, {9, 3, 0},
      {9, 0x45, 6},   {103, 0x47, 6}, {103, 7, 0},   {34, 0x6D, 45}, {9, 0xAC, 44},
      {100, 0x87, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(JudgeAsduReply(c.type, c.cause), c.result)
        << int(c.type) << " cause " << int(c.cause);
}

}  // namespace
}  // namespace tessvar
