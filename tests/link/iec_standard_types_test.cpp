// The measured-value and counter types of a standard station (11, 13, 15, 36, 37) against
// hand-written ASDUs laid out as IEC 60870-5-101 7.3.1 gives them: scaled values land as
// they are, floats as the entry's code, counter readings fill both halves of a counter.
#include <gtest/gtest.h>

#include "link/ft12_frames.h"
#include "link/iec_asdu_decoder.h"
#include "link_test_util.h"

namespace tessvar {
namespace {

using test::Bytes;

// Udc1 at 0x10, f1 at 0x11, Wdc1 (two entries) at 0x20/0x21, Idc1 at 0x30.
DeviceDescription Entries() {
  DeviceDescription d;
  d.entries = {{"Напряжение (Udc1)", "10", "2"},
               {"Частота (f1 )", "11", "2"},
               {"Энергия (Wdc1)", "20", "2"},
               {"Энергия (Wdc1)", "21", "2"},
               {"Ток (Idc1)", "30", "2"}};
  return d;
}

AsduDecoder StandardDecoder() {
  auto d = MakeAsduDecoder(Entries(), {1, 1, 2}, IecReadMode::Read102, 0);
  d.standardTypes = true;
  d.entries.floatScales = {{500.0, false}, {10.0, true}, {16.0, false}, {16.0, false},
                           {200.0, false}};
  StartCycle(d);
  return d;
}

TEST(IecStandardTypes, ValuesLandInTheImage) {
  struct Case {
    const char* name;
    std::vector<uint8_t> asdu;  // cause 1 octet, common address 1 octet, IOA 2 octets
    std::vector<uint8_t> image;
    std::vector<uint8_t> marks;
  };
  const std::vector<Case> cases = {
      {"11 scaled, SQ = 0, two objects",
       Bytes({11, 2, 20, 1, 0x10, 0, 0x2C, 0x01, 0, 0x30, 0, 0x18, 0xFC, 0}),
       Bytes({0x01, 0x2C, 0, 0, 0, 0, 0, 0, 0xFC, 0x18}), Bytes({0xFF, 0, 0, 0, 0xFF})},
      {"11 scaled, SQ = 1 from 0x10",
       Bytes({11, 0x82, 5, 1, 0x10, 0, 0xFF, 0x7F, 0, 0xF4, 0x01, 0}),
       Bytes({0x7F, 0xFF, 0x01, 0xF4, 0, 0, 0, 0, 0, 0}), Bytes({0xFF, 0xFF, 0, 0, 0})},
      // 15.0 V (0x41700000) x 500 = 7500; 50.0 Hz (0x42480000) x 10 = 500 unsigned.
      {"13 float, SQ = 1", Bytes({13, 0x82, 20, 1, 0x10, 0, 0, 0, 0x70, 0x41, 0, 0, 0, 0x48, 0x42, 0}),
       Bytes({0x1D, 0x4C, 0x01, 0xF4, 0, 0, 0, 0, 0, 0}), Bytes({0xFF, 0xFF, 0, 0, 0})},
      // 100 V x 500 = 50000 held at 32767; -1.5 Hz held at 0 (unsigned).
      {"13 float beyond the code range is held at its end",
       Bytes({13, 2, 3, 1, 0x10, 0, 0, 0, 0xC8, 0x42, 0, 0x11, 0, 0, 0, 0xC0, 0xBF, 0}),
       Bytes({0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes({0xFF, 0xFF, 0, 0, 0})},
      {"13 NaN reads 0", Bytes({13, 1, 3, 1, 0x30, 0, 0, 0, 0xC0, 0x7F, 0}),
       Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes({0, 0, 0, 0, 0xFF})},
      // 1000 Wh x 16 = 16000 = 0x00003E80 across the counter's two entries.
      {"13 float into a counter fills both halves",
       Bytes({13, 1, 20, 1, 0x20, 0, 0, 0, 0x7A, 0x44, 0}),
       Bytes({0, 0, 0, 0, 0, 0, 0x3E, 0x80, 0, 0}), Bytes({0, 0, 0xFF, 0xFF, 0})},
      {"15 counter reading 0x12345678",
       Bytes({15, 1, 37, 1, 0x20, 0, 0x78, 0x56, 0x34, 0x12, 0x05}),
       Bytes({0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0, 0}), Bytes({0, 0, 0xFF, 0xFF, 0})},
      {"15 counter for a 16-bit entry keeps its low half",
       Bytes({15, 1, 37, 1, 0x30, 0, 0x78, 0x56, 0x34, 0x12, 0x05}),
       Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x56, 0x78}), Bytes({0, 0, 0, 0, 0xFF})},
      {"36 float with CP56Time2a", Bytes({36, 1, 3, 1, 0x30, 0, 0, 0, 0xC0, 0x3F, 0,
                                          0x10, 0x27, 5, 0x8C, 9, 12, 26}),
       Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x2C}), Bytes({0, 0, 0, 0, 0xFF})},
      {"36 cut inside its time tag stores nothing",
       Bytes({36, 1, 3, 1, 0x30, 0, 0, 0, 0xC0, 0x3F, 0, 0x10}),
       Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes({0, 0, 0, 0, 0})},
      {"15 promising 3 objects with 1 there",
       Bytes({15, 0x83, 37, 1, 0x20, 0, 1, 0, 0, 0, 0, 2, 0}),
       Bytes({0, 0, 0, 0, 0, 0, 0, 1, 0, 0}), Bytes({0, 0, 0xFF, 0xFF, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = StandardDecoder();
    DecodeAsdu(d, c.asdu);
    EXPECT_EQ(d.image, c.image);
    EXPECT_EQ(d.marks, c.marks);
    EXPECT_EQ(d.lastMonitorType, c.asdu[0]);
  }
}

TEST(IecStandardTypes, TimeTagsOf36And37AreKeptWithoutTheSummerBit) {
  for (uint8_t type : {uint8_t{36}, uint8_t{37}}) {
    SCOPED_TRACE(int{type});
    auto d = StandardDecoder();
    // 10.000 s, minute 5, hour 12 with SU set, 9 Dec 2026.
    DecodeAsdu(d, Bytes({type, 1, 3, 1, 0x30, 0, 0, 0, 0xC0, 0x3F, 0, 0x10, 0x27, 5, 0x8C, 9,
                         12, 26}));
    EXPECT_EQ(d.time.milliseconds, 10000);
    EXPECT_EQ(d.time.minute, 5);
    EXPECT_EQ(d.time.hour, 12);
  }
}

TEST(IecStandardTypes, TheTransducerDecoderLeavesThemUnknown) {
  for (uint8_t type : {uint8_t{11}, uint8_t{13}, uint8_t{15}, uint8_t{36}, uint8_t{37}}) {
    SCOPED_TRACE(int{type});
    auto d = MakeAsduDecoder(Entries(), {1, 1, 2}, IecReadMode::Read102, 0);
    DecodeAsdu(d, Bytes({type, 1, 3, 1, 0x30, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(d.image, std::vector<uint8_t>(10, 0));
    EXPECT_EQ(d.asduCounter, 0);
  }
}

TEST(IecStandardTypes, AGroupPollAwaitsOnlyTheGroupsMembersWhenAsked) {
  DeviceDescription desc = Entries();
  desc.groupCodes = {20, 21, 21, 21, 22};
  for (bool membersOnly : {false, true}) {
    auto d = MakeAsduDecoder(desc, {1, 1, 2}, IecReadMode::GroupPoll, 1);
    d.groupMembersOnly = membersOnly;
    StartCycle(d);
    const std::vector<bool> want = {!membersOnly, true, true, true, false};
    EXPECT_EQ(d.awaited, want) << membersOnly;
  }
}

}  // namespace
}  // namespace tessvar

namespace tessvar {
namespace {

TEST(Ft12StandardReplies, AcdAndTheStandardFunctionsAreJudged) {
  struct Case {
    const char* name;
    std::vector<uint8_t> frame;  // link address 1 octet
    uint8_t result;
    bool acd;
    bool asdu;
  };
  const std::vector<Case> cases = {
      {"E5", test::Bytes({0xE5}), Ft12Result::kSingleAck, false, false},
      {"ACK", test::Bytes({0x10, 0x00, 0x03, 0x03, 0x16}), Ft12Result::kGood, false, false},
      {"ACK with ACD", test::Bytes({0x10, 0x20, 0x03, 0x23, 0x16}), Ft12Result::kGood, true, false},
      {"NACK no data with ACD", test::Bytes({0x10, 0x29, 0x03, 0x2C, 0x16}), Ft12Result::kNoData,
       true, false},
      {"NACK", test::Bytes({0x10, 0x01, 0x03, 0x04, 0x16}), Ft12Result::kBadStart, false, false},
      {"status with DFC", test::Bytes({0x10, 0x1B, 0x03, 0x1E, 0x16}), Ft12Result::kGood, false,
       false},
      // 68 0B 0B 68 | 28 03 | 0B 01 14 03 01 00 2C 01 00 | sum 7C 16
      {"user data with ACD",
       test::Bytes({0x68, 0x0B, 0x0B, 0x68, 0x28, 0x03, 0x0B, 0x01, 0x14, 0x03, 0x01, 0x00, 0x2C,
                    0x01, 0x00, 0x7C, 0x16}),
       Ft12Result::kGood, true, true},
      {"user data from a primary",
       test::Bytes({0x68, 0x0B, 0x0B, 0x68, 0x48, 0x03, 0x0B, 0x01, 0x14, 0x03, 0x01, 0x00, 0x2C,
                    0x01, 0x00, 0x9C, 0x16}),
       Ft12Result::kUnexpected, false, false},
      {"user data with a bad sum",
       test::Bytes({0x68, 0x0B, 0x0B, 0x68, 0x28, 0x03, 0x0B, 0x01, 0x14, 0x03, 0x01, 0x00, 0x2C,
                    0x01, 0x00, 0x7D, 0x16}),
       Ft12Result::kBadChecksum, false, false},
      {"length octets that lie",
       test::Bytes({0x68, 0x20, 0x20, 0x68, 0x28, 0x03, 0x0B, 0x01, 0x14, 0x03, 0x01, 0x00, 0x2C,
                    0x01, 0x00, 0x7C, 0x16}),
       Ft12Result::kBadChecksum, false, false},
      {"nothing", {}, Ft12Result::kNothing, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Ft12Reply r = ParseFt12ReplyStandard(c.frame, 1);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.acd, c.acd);
    EXPECT_EQ(r.hasAsdu, c.asdu);
    if (c.asdu) {
      ASSERT_EQ(r.asdu.size(), 9u);
      EXPECT_EQ(r.asdu[0], kMeNb1);
    }
  }
}

}  // namespace
}  // namespace tessvar

namespace tessvar {
namespace {

TEST(Ft12StandardReplies, TheLastOfWholeFramesBackToBackIsJudged) {
  const auto ack = test::Bytes({0x10, 0x20, 0x03, 0x23, 0x16});
  const auto data = test::Bytes({0x68, 0x0B, 0x0B, 0x68, 0x28, 0x03, 0x0B, 0x01, 0x14, 0x03,
                                 0x01, 0x00, 0x2C, 0x01, 0x00, 0x7C, 0x16});
  auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> octets;
    std::vector<uint8_t> last;
  };
  const std::vector<Case> cases = {
      {"one frame", data, data},
      {"the same answer twice", join({data, data}), data},
      {"E5 then data", join({{0xE5}, data}), data},
      {"ack then E5", join({ack, {0xE5}}), {0xE5}},
      {"a frame and a cut one", join({ack, {0x68, 0x0B, 0x0B}}), join({ack, {0x68, 0x0B, 0x0B}})},
      {"a length octet past the end", join({ack, {0x68, 0xFF, 0xFF, 0x68}}),
       join({ack, {0x68, 0xFF, 0xFF, 0x68}})},
      {"garbage after a frame", join({ack, {0x00}}), join({ack, {0x00}})},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto got = LastFt12Frame(c.octets, 1);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.end()), c.last);
  }
}

}  // namespace
}  // namespace tessvar
