#include "acquisition/data_set.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/catalogue.h"

namespace tessvar {
namespace {

PollEntry E(std::string name, uint32_t size = 2) {
  PollEntry e;
  e.slot = FindCatalogueSlot(name);
  e.name = std::move(name);
  e.pollSize = size;
  e.byteSize = size;
  return e;
}

RawValues Decode(const std::vector<PollEntry>& entries, const std::vector<uint8_t>& data,
                 bool physical = false, std::vector<std::string> divisors = {}) {
  RawValues out;
  DecodeOptions o;
  o.physicalUnits = physical;
  o.divisors = divisors;
  DecodeDataSet(entries, data, o, out);
  return out;
}

TEST(DataSetTest, BigEndianSignedAndUnsigned) {
  const auto v = Decode({E("(Udc1)"), E("(f1 )"), E("(Pdc1)")},
                        {0xC5, 0x68, 0xC3, 0x50, 0xFF, 0xFB});
  EXPECT_EQ(v.value[0], -15000);
  EXPECT_EQ(v.value[15], 50000);  // f1 stays unsigned
  EXPECT_EQ(v.value[2], -5);
}

TEST(DataSetTest, CounterSpansTwoEntries) {
  const auto v = Decode({E("(Wdc1)"), E("(Wdc1)"), E("(Qdc1)"), E("(Qdc1)"), E("(ETA)")},
                        {0x00, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFE, 0x03, 0xE8});
  EXPECT_EQ(v.value[3], 65538);
  EXPECT_EQ(v.value[5], -2);
  EXPECT_EQ(v.value[42], 1000);
}

TEST(DataSetTest, EntryWithoutSlotStillTakesItsBytes) {
  // "(f1)" without the blank and a date column find no slot but were polled.
  const auto v = Decode({E("(f1)"), E("Время (tmd)"), E("(Idc1)")},
                        {0x13, 0x88, 0x01, 0x02, 0x00, 0x07});
  EXPECT_EQ(v.value[1], 7);
  EXPECT_EQ(v.value[15], 0);
}

TEST(DataSetTest, ClockColumnsAreNeverScaled) {
  const auto v = Decode({E("(Udc1)"), E("Время (tms)"), E("Время (thm)")},
                        {0x00, 0x64, 0x1C, 0x52, 0x0E, 0x05}, true, {"10", "10", "10"});
  EXPECT_EQ(v.value[0], 10);
  EXPECT_EQ(v.time.milliseconds, 7250);
  EXPECT_EQ(v.time.hour, 14);
  EXPECT_EQ(v.time.minute, 5);
}

TEST(DataSetTest, DivisorScaling) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::vector<std::string> divisors;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {{0x00, 0x64}, {"10"}, 10},
      {{0xFF, 0x9C}, {"10"}, -10},    // -100 / 10: the sign comes first
      {{0xFF, 0xF1}, {"2"}, -8},      // -15 / 2 = -7.5, to even
      {{0x00, 0x64}, {"0"}, 100},     // no division by zero
      {{0x00, 0x64}, {"abc"}, 100},
      {{0x00, 0x64}, {}, 100},        // no divisor text at this position
      {{0x00, 0x64}, {" 0.5"}, 200},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode({E("(Pdc1)")}, c.bytes, true, c.divisors).value[2], c.expected)
        << (c.divisors.empty() ? "" : c.divisors[0]);
  }
  // Raw codes are never divided.
  EXPECT_EQ(Decode({E("(Pdc1)")}, {0x00, 0x64}, false, {"10"}).value[2], 100);
}

TEST(DataSetTest, NegativeCounterIsDividedWithItsSign) {
  const auto v = Decode({E("(W1)"), E("(W1)")}, {0xFF, 0xFF, 0xFF, 0x9C}, true, {"10", "1"});
  EXPECT_EQ(v.value[13], -10);
}

TEST(DataSetTest, DivisorFollowsTheEntryPosition) {
  // The counter consumes two positions, so Idc1 takes the third divisor.
  const auto v = Decode({E("(Wdc1)"), E("(Wdc1)"), E("(Idc1)")},
                        {0, 0, 0, 100, 0, 100}, true, {"10", "1", "4"});
  EXPECT_EQ(v.value[3], 10);
  EXPECT_EQ(v.value[1], 25);
}

TEST(DataSetTest, ShortDataSetNeverReadsPastItsEnd) {
  const std::vector<PollEntry> entries = {E("(Udc1)"), E("(Wdc1)"), E("(Wdc1)"), E("(Idc1)")};
  const std::vector<uint8_t> full = {0x00, 0x05, 0x00, 0x00, 0x01, 0x00, 0x00, 0x09};
  for (size_t n = 0; n <= full.size(); ++n) {
    const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
    const auto v = Decode(entries, cut);
    if (n >= 2) {
      EXPECT_EQ(v.value[0], 5);
    }
    if (n == 3) {
      EXPECT_EQ(v.value[3], 0);  // one byte of the counter: 0x00
    }
    if (n == 5) {
      EXPECT_EQ(v.value[3], 1);
    }
    EXPECT_EQ(v.value[1], n == 8 ? 9 : 0) << n;
  }
}

TEST(DataSetTest, IecClockEntriesCarryNoBytes) {
  RawValues out;
  DecodeOptions o;
  o.iec = true;
  const std::vector<PollEntry> entries = {E("Время (tms)"), E("(Udc1)")};
  const std::vector<uint8_t> data = {0x00, 0x21};
  DecodeDataSet(entries, data, o, out);
  EXPECT_EQ(out.value[0], 0x21);
  EXPECT_EQ(out.time.milliseconds, 0);
}

}  // namespace
}  // namespace tessvar
