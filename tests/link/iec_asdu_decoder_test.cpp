// The ASDU decoder against hand-written ASDUs of the six monitor types: what lands in the
// value image, which entries count as arrived, which time is kept, and that a short or
// lying ASDU neither crashes nor puts values where they do not belong.
#include <gtest/gtest.h>

#include "link/iec_asdu_decoder.h"
#include "link_test_util.h"

namespace tessvar {
namespace {

using test::Bytes;

DeviceDescription Describe(std::vector<DescriptionEntry> entries,
                           std::vector<uint8_t> groups = {}) {
  DeviceDescription d;
  d.entries = std::move(entries);
  d.groupCodes = std::move(groups);
  return d;
}

// Entries at 0x10, 0x11, 0x12 and 0x81 (sizes 1, 1, 2).
DeviceDescription FourEntries() {
  return Describe({{"Напряжение (Udc1)", "10", "2"},
                   {"Ток (Idc1)", "0x11", "2"},
                   {"Мощность (Pdc1)", "12", "2"},
                   {"Частота (F)", "81", "2"}});
}

std::vector<uint8_t> Image(std::initializer_list<int> v) { return Bytes(v); }

TEST(IecAsduDecoder, FillsImageAndMarks) {
  struct Case {
    const char* name;
    std::vector<uint8_t> asdu;  // cause 1, common address 1, IOA 2 octets
    size_t objects;
    std::vector<uint8_t> image;
    std::vector<uint8_t> marks;
    uint32_t lastAddress;
  };
  const std::vector<Case> cases = {
      {"type 9, SQ = 1 from 0x10",
       Bytes({9, 0x83, 3, 1, 0x10, 0, 0x34, 0x12, 0, 0x78, 0x56, 0, 0xBC, 0x9A, 0}), 3,
       Image({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0, 0}), Bytes({0xFF, 0xFF, 0xFF, 0}), 0x12},
      {"type 9, SQ = 0, IOA 0x0081 and an unknown IOA",
       Bytes({9, 2, 3, 1, 0x81, 0, 0x01, 0x02, 0, 0x99, 0, 0x05, 0x06, 0}), 2,
       Image({0, 0, 0, 0, 0, 0, 0x02, 0x01}), Bytes({0, 0, 0, 0xFF}), 0x99},
      {"type 21, SQ = 1 without quality", Bytes({21, 0x82, 3, 1, 0x11, 0, 0xCD, 0xAB, 0xEF, 0x01}),
       2, Image({0, 0, 0xAB, 0xCD, 0x01, 0xEF, 0, 0}), Bytes({0, 0xFF, 0xFF, 0}), 0x12},
      {"type 35, SQ = 0 with CP56Time2a",
       Bytes({35, 1, 20, 1, 0x12, 0, 0xFF, 0x7F, 0, 1, 2, 3, 4, 5, 6, 7}), 1,
       Image({0, 0, 0, 0, 0x7F, 0xFF, 0, 0}), Bytes({0, 0, 0xFF, 0}), 0x12},
      {"qualifier promises 5 objects, 2 are there",
       Bytes({9, 0x85, 3, 1, 0x10, 0, 0x01, 0x00, 0, 0x02, 0x00, 0, 0x03}), 5,
       Image({0, 1, 0, 2, 0, 0, 0, 0}), Bytes({0xFF, 0xFF, 0, 0}), 0x11},
      {"unknown type changes no value", Bytes({13, 1, 3, 1, 0x10, 0, 1, 2, 3, 4, 0}), 1,
       Image({0, 0, 0, 0, 0, 0, 0, 0}), Bytes({0, 0, 0, 0}), 0x10},
  };
  for (const auto& c : cases) {
    auto d = MakeAsduDecoder(FourEntries(), {1, 1, 2}, IecReadMode::Read102, 0);
    EXPECT_EQ(DecodeAsdu(d, c.asdu), c.objects) << c.name;
    EXPECT_EQ(d.image, c.image) << c.name;
    EXPECT_EQ(d.marks, c.marks) << c.name;
    EXPECT_EQ(d.lastAddress, c.lastAddress) << c.name;
    EXPECT_EQ(d.lastType, c.asdu[0]) << c.name;
    EXPECT_EQ(d.lastCause, c.asdu[2]) << c.name;
    EXPECT_EQ(d.asduCounter, c.asdu[0] == 13 ? 0 : 1) << c.name;
    EXPECT_FALSE(d.complete) << c.name;
  }
}

TEST(IecAsduDecoder, KeepsTheTimeOfTheFirstKnownObject) {
  struct Case {
    const char* name;
    std::vector<uint8_t> asdu;
    ConverterTime time;
  };
  const std::vector<Case> cases = {
      // Unknown 0x20 first, then 0x10 and 0x11 with different times: 0x10's time is kept.
      {"type 34",
       Bytes({34, 3, 3, 1, 0x20, 0, 1, 0, 0, 0x11, 0x11, 1, 1, 1, 1, 1,  //
              0x10, 0, 2, 0, 0, 0x88, 0x13, 30, 0x8C, 9, 12, 26,          //
              0x11, 0, 3, 0, 0, 0x10, 0x27, 31, 13, 9, 12, 26}),
       {5000, 30, 0x8C}},
      {"type 10 keeps minutes, no hours", Bytes({10, 1, 3, 1, 0x12, 0, 1, 0, 0, 0x70, 0x17, 5}),
       {6000, 5, 0}},
      {"type 10 with the invalid bit gives hours 0xFF",
       Bytes({10, 1, 3, 1, 0x12, 0, 1, 0, 0, 0x70, 0x17, 0x85}), {6000, 0x85, 0xFF}},
      {"type 35 keeps no time", Bytes({35, 1, 3, 1, 0x10, 0, 1, 0, 0, 0x10, 0x27, 31, 13, 9, 12, 26}),
       {0, 0, 0}},
  };
  for (const auto& c : cases) {
    auto d = MakeAsduDecoder(FourEntries(), {1, 1, 2}, IecReadMode::Read102, 0);
    DecodeAsdu(d, c.asdu);
    EXPECT_EQ(d.time, c.time) << c.name;
    EXPECT_EQ(d.lastMonitorType, c.asdu[0]) << c.name;
  }
}

TEST(IecAsduDecoder, PrivateSequenceKeepsTimeOnlyWhenComplete) {
  auto d = MakeAsduDecoder(FourEntries(), {1, 1, 2}, IecReadMode::Read102, 0);
  // Three values from 0x10, then the four-octet time: 0x81 is still awaited.
  DecodeAsdu(d, Bytes({143, 0x83, 3, 1, 0x10, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 0x10, 0x27, 7, 8}));
  EXPECT_EQ(d.time, (ConverterTime{}));
  EXPECT_FALSE(d.complete);
  DecodeAsdu(d, Bytes({143, 0x81, 3, 1, 0x81, 0, 4, 0, 0, 0x20, 0x4E, 9, 10}));
  EXPECT_EQ(d.time, (ConverterTime{20000, 9, 10}));
  EXPECT_TRUE(d.complete);
  EXPECT_EQ(d.image, Image({0, 1, 0, 2, 0, 3, 0, 4}));
  EXPECT_EQ(d.asduCounter, 2);
  // SQ = 0 is not the private layout: nothing is stored.
  StartCycle(d);
  DecodeAsdu(d, Bytes({143, 0x01, 3, 1, 0x10, 0, 1, 0, 0, 0x20, 0x4E, 9, 10}));
  EXPECT_EQ(d.image, Image({0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(IecAsduDecoder, CompletesOnlyWhenEveryAwaitedEntryArrivedThisCycle) {
  auto d = MakeAsduDecoder(FourEntries(), {1, 1, 2}, IecReadMode::Read102, 0);
  DecodeAsdu(d, Bytes({9, 0x83, 3, 1, 0x10, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0}));
  EXPECT_FALSE(d.complete);
  DecodeAsdu(d, Bytes({21, 1, 3, 1, 0x81, 0, 4, 0}));
  EXPECT_TRUE(d.complete);
  StartCycle(d);
  EXPECT_FALSE(d.complete);
  EXPECT_EQ(d.image, Image({0, 0, 0, 0, 0, 0, 0, 0}));
  DecodeAsdu(d, Bytes({21, 1, 3, 1, 0x81, 0, 4, 0}));  // last cycle's arrivals do not count
  EXPECT_FALSE(d.complete);
}

TEST(IecAsduDecoder, PresetMarksByModeGroupSizeAndClock) {
  // 0x10 station, 0x11 group 2, 0x12 size 0, clock entry 0x13, 0x15 off the run of
  // consecutive addresses, 0x14 group 3, trailing 0x16.
  const auto desc = Describe({{"Напряжение (Udc1)", "10", "2"},
                              {"Ток (Idc1)", "11", "2"},
                              {"Резерв", "12", "0"},
                              {"Время (tms)", "13", "2"},
                              {"Мощность (Pdc1)", "15", "2"},
                              {"Частота (F)", "14", "2"},
                              {"ETA", "16", "2"}},
                             {20, 22, 20, 20, 20, 23, 20});
  struct Case {
    const char* name;
    IecReadMode mode;
    uint8_t group;
    size_t awaited;
    std::vector<uint8_t> marks;
  };
  const uint8_t F = 0xFF;
  const std::vector<Case> cases = {
      {"read 102", IecReadMode::Read102, 0, SIZE_MAX, Bytes({0, 0, F, F, 0, 0, 0})},
      {"station poll", IecReadMode::GroupPoll, 0, SIZE_MAX, Bytes({0, 0, F, F, 0, 0, 0})},
      {"group 2 poll", IecReadMode::GroupPoll, 2, SIZE_MAX, Bytes({0, 0, F, F, 0, F, 0})},
      {"group 3 poll", IecReadMode::GroupPoll, 3, SIZE_MAX, Bytes({0, F, F, F, 0, 0, 0})},
      // Six non-clock entries: the run 10, 11, 12, 13 (clock), 14 reaches no further.
      {"link-level read", IecReadMode::LinkLevelRead, 0, SIZE_MAX, Bytes({0, 0, F, F, F, 0, F})},
      {"link-level read, 2 awaited", IecReadMode::LinkLevelRead, 0, 2, Bytes({0, 0, F, F, F, F, F})},
  };
  for (const auto& c : cases) {
    auto d = MakeAsduDecoder(desc, {1, 1, 2}, c.mode, c.group, c.awaited);
    EXPECT_EQ(d.marks, c.marks) << c.name;
  }
}

// Every size combination: a type 9 SQ = 0 ASDU with two objects at 0x10 and 0x81.
TEST(IecAsduDecoder, EveryFieldSizeCombination) {
  for (uint8_t cot = 1; cot <= 2; ++cot)
    for (uint8_t ca = 1; ca <= 2; ++ca)
      for (uint8_t ioa = 1; ioa <= 3; ++ioa) {
        std::vector<uint8_t> asdu{9, 2, 3};
        if (cot == 2) asdu.push_back(0xEE);
        asdu.insert(asdu.end(), ca, 0x01);
        auto object = [&](uint8_t address, uint8_t lo, uint8_t hi) {
          asdu.push_back(address);
          asdu.insert(asdu.end(), ioa - 1u, 0);
          asdu.insert(asdu.end(), {lo, hi, 0});
        };
        object(0x10, 0x22, 0x11);
        object(0x81, 0x44, 0x33);
        auto d = MakeAsduDecoder(FourEntries(), {cot, ca, ioa}, IecReadMode::Read102, 0);
        const std::string what = "sizes " + std::to_string(cot) + std::to_string(ca) +
                                 std::to_string(ioa);
        EXPECT_EQ(DecodeAsdu(d, asdu), 2u) << what;
        EXPECT_EQ(d.image, Image({0x11, 0x22, 0, 0, 0, 0, 0x33, 0x44})) << what;
        EXPECT_EQ(d.lastAddress, 0x81u) << what;
        // Every shorter prefix is read safely; one too short for the header changes nothing.
        for (size_t len = 0; len < asdu.size(); ++len) {
          auto p = MakeAsduDecoder(FourEntries(), {cot, ca, ioa}, IecReadMode::Read102, 0);
          DecodeAsdu(p, std::span(asdu).first(len));
          if (len < 2u + cot + ca + ioa) {
            EXPECT_EQ(p.lastType, 0) << what << " len " << len;
          }
        }
      }
}

}  // namespace
}  // namespace tessvar
