// The APCI: exact octets of the APDUs the client sends, and the walk over received batches
// of any segmentation.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/iec104_apci.h"

namespace tessvar::iec104 {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Iec104Apci, BuildsTheApdusOfTheClient) {
  struct Case {
    const char* name;
    Bytes built;
    Bytes expected;
  };
  const Case cases[] = {
      {"STARTDT act", BuildUFormat(kStartDtAct), {0x68, 0x04, 0x07, 0x00, 0x00, 0x00}},
      {"STOPDT act", BuildUFormat(kStopDtAct), {0x68, 0x04, 0x13, 0x00, 0x00, 0x00}},
      {"S after 8", BuildSFormat(16), {0x68, 0x04, 0x01, 0x00, 0x10, 0x00}},
      {"S high octet", BuildSFormat(0x1234), {0x68, 0x04, 0x01, 0x00, 0x34, 0x12}},
      {"TESTFR con keeps the rest", BuildUConfirmation(Bytes{0x68, 0x04, 0x43, 0x01, 0x02, 0x03}, kTestFrCon),
       {0x68, 0x04, 0x83, 0x01, 0x02, 0x03}},
      {"STARTDT con", BuildUConfirmation(Bytes{0x68, 0x04, 0x07, 0x00, 0x00, 0x00}, kStartDtCon),
       {0x68, 0x04, 0x0B, 0x00, 0x00, 0x00}},
      {"STOPDT con", BuildUConfirmation(Bytes{0x68, 0x04, 0x13, 0x00, 0x00, 0x00}, kStopDtCon),
       {0x68, 0x04, 0x23, 0x00, 0x00, 0x00}},
      {"I with N(S) 2 N(R) 0x102", BuildIFormat(2, 0x0102, Bytes{0x64, 0x01}),
       {0x68, 0x06, 0x02, 0x00, 0x02, 0x01, 0x64, 0x01}},
      {"I numbers wrap into 15 bits", BuildIFormat(0xFFFE, 0xFFFE, Bytes{0xAA}),
       {0x68, 0x05, 0xFE, 0xFF, 0xFE, 0xFF, 0xAA}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected) << c.name;
}

TEST(Iec104Apci, RefusesAnAsduThatDoesNotFitTheLengthOctet) {
  EXPECT_TRUE(BuildIFormat(0, 0, Bytes(249, 1)).size() == 255);
  EXPECT_TRUE(BuildIFormat(0, 0, Bytes(250, 1)).empty());
  EXPECT_TRUE(BuildIFormat(0, 0, Bytes{}).empty());
}

TEST(Iec104Apci, TellsTheFormatsApart) {
  struct Case {
    uint8_t c1;
    ApduFormat format;
  };
  const Case cases[] = {{0x00, ApduFormat::I}, {0x02, ApduFormat::I}, {0xFE, ApduFormat::I},
                        {0x01, ApduFormat::S}, {0x07, ApduFormat::U}, {0x83, ApduFormat::U},
                        {0x23, ApduFormat::U}, {0x05, ApduFormat::S}};
  for (const auto& c : cases) EXPECT_EQ(FormatOf(c.c1), c.format) << int(c.c1);
}

// Three APDUs back to back: an I-format, an S-format and a TESTFR act.
Bytes ThreeApdus() {
  return {0x68, 0x07, 0x00, 0x00, 0x02, 0x00, 0x09, 0x01, 0x03,  //
          0x68, 0x04, 0x01, 0x00, 0x04, 0x00,                    //
          0x68, 0x04, 0x43, 0x00, 0x00, 0x00};
}

std::vector<Bytes> Walk(ApduStream& s) {
  std::vector<Bytes> out;
  std::span<const uint8_t> apdu;
  while (s.Next(apdu) == ApduStream::Status::Apdu) out.emplace_back(apdu.begin(), apdu.end());
  return out;
}

TEST(Iec104Apci, KeepsAPartialApduForTheNextBatchAtEverySplit) {
  const Bytes all = ThreeApdus();
  for (size_t cut = 0; cut <= all.size(); ++cut) {
    for (size_t cut2 = cut; cut2 <= all.size(); cut2 += 3) {
      ApduStream s;
      std::vector<Bytes> got;
      const size_t bounds[] = {0, cut, cut2, all.size()};
      for (int k = 0; k < 3; ++k) {
        std::span<const uint8_t> part(all.data() + bounds[k], bounds[k + 1] - bounds[k]);
        ASSERT_EQ(s.Append(part), part.size());
        for (auto& a : Walk(s)) got.push_back(a);
      }
      ASSERT_EQ(got.size(), 3u) << cut << "," << cut2;
      EXPECT_EQ(got[0], Bytes(all.begin(), all.begin() + 9));
      EXPECT_EQ(got[2], Bytes(all.end() - 6, all.end()));
      EXPECT_EQ(s.Buffered(), 0u);
    }
  }
}

TEST(Iec104Apci, RefusesABadStartOrLength) {
  struct Case {
    const char* name;
    Bytes bytes;
    ApduStream::Status status;
  };
  const Case cases[] = {
      {"garbage first", {0x00, 0x68, 0x04, 0x07, 0x00, 0x00, 0x00}, ApduStream::Status::BadStart},
      {"length 3", {0x68, 0x03, 0x07, 0x00, 0x00}, ApduStream::Status::BadLength},
      {"length 0", {0x68, 0x00}, ApduStream::Status::BadLength},
      {"length 254", {0x68, 0xFE}, ApduStream::Status::BadLength},
      {"only the start", {0x68}, ApduStream::Status::NeedMore},
      {"length runs past the batch", {0x68, 0x10, 0x00, 0x00}, ApduStream::Status::NeedMore},
  };
  for (const auto& c : cases) {
    ApduStream s;
    s.Append(c.bytes);
    std::span<const uint8_t> apdu;
    EXPECT_EQ(s.Next(apdu), c.status) << c.name;
  }
  // Garbage after a good APDU is found after it, not before.
  ApduStream s;
  Bytes b = {0x68, 0x04, 0x01, 0x00, 0x00, 0x00, 0x55};
  s.Append(b);
  std::span<const uint8_t> apdu;
  EXPECT_EQ(s.Next(apdu), ApduStream::Status::Apdu);
  EXPECT_EQ(s.Next(apdu), ApduStream::Status::BadStart);
}

TEST(Iec104Apci, TakesOnlyWhatFitsTheBufferAndLosesNothing) {
  // 2000 S-format APDUs (12000 octets) offered at once: taken in parts of at most 5000.
  Bytes burst;
  for (uint16_t k = 0; k < 2000; ++k) {
    const auto s = BuildSFormat(static_cast<uint16_t>(2 * k));
    burst.insert(burst.end(), s.begin(), s.end());
  }
  ApduStream s;
  std::span<const uint8_t> rest(burst);
  uint16_t expected = 0;
  int rounds = 0;
  while (!rest.empty() && rounds++ < 10) {
    const size_t taken = s.Append(rest);
    EXPECT_LE(taken, kReceiveBufferSize);
    EXPECT_LE(s.Buffered(), kReceiveBufferSize);
    rest = rest.subspan(taken);
    for (const auto& apdu : Walk(s)) {
      EXPECT_EQ(ReceiveSequenceOf(apdu), expected);
      expected = static_cast<uint16_t>(expected + 2);
    }
  }
  EXPECT_TRUE(rest.empty());
  EXPECT_EQ(expected, 4000);
}

TEST(Iec104Apci, ReadsSequenceNumbersAndTheAsdu) {
  const Bytes i = {0x68, 0x07, 0x0A, 0x01, 0x04, 0x00, 0x09, 0x01, 0x03};
  EXPECT_EQ(SendSequenceOf(i), 0x010A);
  EXPECT_EQ(ReceiveSequenceOf(i), 4);
  EXPECT_EQ(AsduOf(i).size(), 3u);
  EXPECT_TRUE(AsduOf(BuildSFormat(2)).empty());
  EXPECT_TRUE(AsduOf(Bytes{0x68, 0x04}).empty());
  EXPECT_EQ(SendSequenceOf(Bytes{0x68}), 0);
}

}  // namespace
}  // namespace tessvar::iec104
