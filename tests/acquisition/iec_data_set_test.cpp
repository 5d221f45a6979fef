// The IEC value image into raw values, and the address lists of the IEC read modes. The
// description mixes a size-0 entry, a slotless entry, a counter over two entries and clock
// entries in the middle, where walking the image by size texts would shift every later value.
#include "acquisition/iec_data_set.h"

#include <gtest/gtest.h>

#include "model/catalogue.h"

namespace tessvar {
namespace {

PollEntry Entry(const char* name, uint32_t address, uint32_t size) {
  PollEntry p;
  p.name = name;
  p.address = address;
  p.pollSize = size;
  p.byteSize = size;
  p.slot = FindCatalogueSlot(name);
  return p;
}

std::vector<PollEntry> Mixed() {
  return {Entry("Напряжение (Udc1)", 0x10, 2), Entry("Резерв", 0x11, 0),
          Entry("Нечто без слота", 0x12, 2),   Entry("Время (tms)", 0x13, 2),
          Entry("Время (thm)", 0x14, 2),       Entry("Ток (Idc1)", 0x15, 1),
          Entry("Энергия (Wdc1)", 0x16, 4),    Entry("Энергия (Wdc1)", 0x17, 4),
          Entry("Частота (f1 )", 0x18, 2)};
}

TEST(IecDataSet, EveryEntryFromItsOwnTwoOctets) {
  const std::vector<uint8_t> image = {0x01, 0x02,  0xAA, 0xAA, 0xBB, 0xBB, 0xCC, 0xCC,
                                      0xDD, 0xDD,  0xFF, 0xFE, 0x00, 0x01, 0x86, 0xA0,
                                      0xC3, 0x50};
  const auto entries = Mixed();
  ASSERT_TRUE(entries[0].slot && entries[5].slot && entries[6].slot && entries[8].slot);
  RawValues raw;
  raw.value[*entries[0].slot] = 77;
  DecodeIecImage(entries, image, {}, {}, raw);
  EXPECT_EQ(raw.value[*entries[0].slot], 0x0102);
  EXPECT_EQ(raw.value[*entries[5].slot], -2);       // Idc1 of size 1 still two octets, signed
  EXPECT_EQ(raw.value[*entries[6].slot], 100000);   // counter 0x000186A0 from entries 6 and 7
  EXPECT_EQ(raw.value[*entries[8].slot], 50000);    // frequency unsigned
  EXPECT_EQ(raw.time, ConverterTime{});             // clock entries give no time here
}

TEST(IecDataSet, EntriesNotAwaitedKeepTheirValues) {
  const auto entries = Mixed();
  RawValues raw;
  raw.value[*entries[0].slot] = 5;
  raw.value[*entries[6].slot] = 6;
  std::vector<bool> awaited(entries.size(), true);
  awaited[0] = false;  // another group
  awaited[7] = false;  // half a counter
  DecodeIecImage(entries, std::vector<uint8_t>(18, 0x11), awaited, {}, raw);
  EXPECT_EQ(raw.value[*entries[0].slot], 5);
  EXPECT_EQ(raw.value[*entries[6].slot], 6);
  EXPECT_EQ(raw.value[*entries[8].slot], 0x1111);
}

TEST(IecDataSet, PhysicalUnitsDivideByTheEntrysDivisor) {
  const auto entries = Mixed();
  const std::vector<std::string> divisors = {"10", "1", "1", "1", "1", "1000", "1", "1", "100"};
  DecodeOptions o;
  o.physicalUnits = true;
  o.divisors = divisors;
  RawValues raw;
  DecodeIecImage(entries, std::vector<uint8_t>{0x00, 0x65, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                0, 0x13, 0x88},
                 {}, o, raw);
  EXPECT_EQ(raw.value[*entries[0].slot], 10);  // 101 / 10
  EXPECT_EQ(raw.value[*entries[8].slot], 50);  // 5000 / 100
}

TEST(IecDataSet, ReadListRunStarts) {
  struct Case {
    const char* name;
    std::vector<PollEntry> entries;
    std::vector<uint32_t> starts;
  };
  const std::vector<Case> cases = {
      {"one run", {Entry("a", 1, 2), Entry("b", 2, 2), Entry("c", 3, 2)}, {1}},
      {"gap and out of order",
       {Entry("a", 1, 2), Entry("b", 2, 2), Entry("c", 8, 2), Entry("d", 3, 2), Entry("e", 9, 2)},
       {1, 8}},
      {"stops at the clock",
       {Entry("a", 1, 2), Entry("Время (tms)", 2, 2), Entry("c", 5, 2)}, {1}},
      {"stops at size 0", {Entry("a", 1, 2), Entry("b", 4, 2), Entry("c", 5, 0), Entry("d", 9, 2)},
       {1, 4}},
      {"clock first: refused", {Entry("Время (tms)", 1, 2), Entry("a", 2, 2)}, {}},
      {"size 0 first: refused", {Entry("a", 1, 0), Entry("b", 2, 2)}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildReadList(c.entries), c.starts) << c.name;
  IecReadCursor cursor({1, 8});
  EXPECT_EQ(cursor.Next(), 1u);
  EXPECT_EQ(cursor.Next(), 8u);
  EXPECT_EQ(cursor.Next(), 1u);
}

TEST(IecDataSet, RestrictToFirstRunClearsBySlot) {
  // Udc1 0x10, Idc1 0x11, Uac1 0x20 (off the run), clock, Pdc1 0x12 (continues the run).
  const std::vector<PollEntry> entries = {Entry("Напряжение (Udc1)", 0x10, 2),
                                          Entry("Ток (Idc1)", 0x11, 2),
                                          Entry("Напряжение (Uac1)", 0x20, 2),
                                          Entry("Время (tms)", 0x30, 2),
                                          Entry("Мощность (Pdc1)", 0x12, 2)};
  AvailabilityMarks marks;
  RestrictToFirstRun(entries, marks);
  EXPECT_TRUE(marks.Available(*entries[0].slot));
  EXPECT_TRUE(marks.Available(*entries[1].slot));
  EXPECT_FALSE(marks.Available(*entries[2].slot));
  EXPECT_TRUE(marks.Available(*entries[4].slot));
  // Position 2 is not touched as a slot index: slot 2 (Pdc1) stays available.
  EXPECT_TRUE(marks.Available(2));
}

}  // namespace
}  // namespace tessvar
