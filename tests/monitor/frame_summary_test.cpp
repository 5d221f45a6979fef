// The monitor's summaries of hand-written frames, laid out octet by octet from the
// protocols' framings; the CRCs were computed apart from this code base.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/frame_summary.h"

namespace tessvar::monitor {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto kSent = FrameDirection::Sent;
constexpr auto kRecv = FrameDirection::Received;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct Case {
  const char* name;
  FrameProtocol protocol;
  FrameDirection direction;
  Bytes frame;
  FrameClass cls;
  std::vector<std::string> shows;  // every one appears in the summary
};

FrameFormat Ft12Format() {
  FrameFormat f{FrameProtocol::Ft12};
  f.asdu = {1, 1, 2};
  f.linkAddressSize = 1;
  return f;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      // MODBUS RTU
      {"rtu read request", FrameProtocol::ModbusRtu, kSent, {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D},
       FrameClass::kData, {"unit 1", "fn 4 Read Input Registers", "start 0 count 10", "CRC ok"}},
      {"rtu read reply", FrameProtocol::ModbusRtu, kRecv, {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x84},
       FrameClass::kData, {"fn 3 Read Holding Registers", "byte count 2", "CRC ok"}},
      {"rtu exception", FrameProtocol::ModbusRtu, kRecv, {0x01, 0x84, 0x02, 0xC2, 0xC1},
       FrameClass::kException, {"fn 132", "exception 2 Illegal data address", "CRC ok"}},
      {"rtu write request", FrameProtocol::ModbusRtu, kSent,
       {0x01, 0x10, 0x00, 0x20, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02, 0x21, 0xB6},
       FrameClass::kData, {"Write Multiple Registers", "start 32 count 2 byte count 4", "CRC ok"}},
      {"rtu write reply", FrameProtocol::ModbusRtu, kRecv, {0x01, 0x10, 0x00, 0x20, 0x00, 0x02, 0x40, 0x02},
       FrameClass::kData, {"start 32 count 2", "CRC ok"}},
      {"rtu bad crc", FrameProtocol::ModbusRtu, kRecv, {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x85},
       FrameClass::kMalformed, {"CRC bad (0x8579, expected 0x8479)", "[malformed]"}},
      {"rtu byte count lies", FrameProtocol::ModbusRtu, kRecv, {0x01, 0x03, 0x04, 0x00, 0x01, 0x7A, 0x54},
       FrameClass::kMalformed, {"byte count 4 (2 data octets)"}},
      {"rtu too short", FrameProtocol::ModbusRtu, kRecv, {0x01, 0x03}, FrameClass::kMalformed, {"too short for a CRC"}},
      {"rtu empty", FrameProtocol::ModbusRtu, kRecv, {}, FrameClass::kMalformed, {"empty"}},
      // MODBUS ASCII
      {"ascii request", FrameProtocol::ModbusAscii, kSent, Text(":010300000001FB\r\n"), FrameClass::kData,
       {"ASCII unit 1 fn 3", "start 0 count 1", "LRC ok"}},
      {"ascii bad lrc", FrameProtocol::ModbusAscii, kSent, Text(":010300000001FC\r\n"), FrameClass::kMalformed,
       {"LRC bad (0xFC, expected 0xFB)"}},
      {"ascii no crlf", FrameProtocol::ModbusAscii, kRecv, Text(":010300000001FB"), FrameClass::kMalformed,
       {"framing"}},
      {"ascii bad digit", FrameProtocol::ModbusAscii, kRecv, Text(":01030000000GFB\r\n"), FrameClass::kMalformed,
       {"unreadable"}},
      // MODBUS TCP
      {"tcp request", FrameProtocol::ModbusTcp, kSent,
       {0x00, 0x07, 0x00, 0x00, 0x00, 0x06, 0x01, 0x04, 0x00, 0x10, 0x00, 0x0A}, FrameClass::kData,
       {"TCP trans 7 unit 1 fn 4", "start 16 count 10"}},
      {"tcp reply", FrameProtocol::ModbusTcp, kRecv, {0x00, 0x07, 0x00, 0x00, 0x00, 0x05, 0x01, 0x04, 0x02, 0x00, 0x2A},
       FrameClass::kData, {"byte count 2"}},
      {"tcp length lies", FrameProtocol::ModbusTcp, kRecv,
       {0x00, 0x07, 0x00, 0x00, 0x00, 0x09, 0x01, 0x04, 0x02, 0x00, 0x2A}, FrameClass::kMalformed,
       {"length 9 (5 follow)"}},
      {"tcp exception", FrameProtocol::ModbusTcp, kRecv, {0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x04},
       FrameClass::kException, {"exception 4 Server device failure"}},
      {"tcp short head", FrameProtocol::ModbusTcp, kRecv, {0x00, 0x01, 0x00}, FrameClass::kMalformed, {"too short"}},
      // FT1.2
      {"ft12 class 2 request", FrameProtocol::Ft12, kSent, {0x10, 0x5B, 0x01, 0x5C, 0x16}, FrameClass::kControl,
       {"fixed", "PRM=1 FCB=0 FCV=1 fn 11 request user data class 2", "link address 1", "checksum ok"}},
      {"ft12 ack with acd", FrameProtocol::Ft12, kRecv, {0x10, 0x20, 0x01, 0x21, 0x16}, FrameClass::kControl,
       {"PRM=0 ACD=1 DFC=0 fn 0 ACK"}},
      {"ft12 single character", FrameProtocol::Ft12, kRecv, {0xE5}, FrameClass::kControl, {"E5"}},
      {"ft12 user data", FrameProtocol::Ft12, kRecv,
       {0x68, 0x0B, 0x0B, 0x68, 0x08, 0x01, 0x09, 0x01, 0x14, 0x01, 0x01, 0x10, 0x00, 0x40, 0x00, 0x79, 0x16},
       FrameClass::kData,
       {"variable L=11", "fn 8 user data", "type 9 M_ME_NA_1, SQ=0 n=1, cause 20 inrogen", "CA 1",
        "IOA 4097 16384 (0.50000)", "checksum ok"}},
      {"ft12 bad checksum", FrameProtocol::Ft12, kRecv, {0x10, 0x5B, 0x01, 0x5D, 0x16}, FrameClass::kMalformed,
       {"checksum bad (0x5D, expected 0x5C)"}},
      {"ft12 lengths differ", FrameProtocol::Ft12, kRecv, {0x68, 0x0B, 0x0C, 0x68, 0x08, 0x01}, FrameClass::kMalformed,
       {"broken head"}},
      {"ft12 cut short", FrameProtocol::Ft12, kRecv, {0x68, 0x0B, 0x0B, 0x68, 0x08, 0x01, 0x09}, FrameClass::kMalformed,
       {"L=11 but 7 octets"}},
      {"ft12 fixed cut short", FrameProtocol::Ft12, kRecv, {0x10, 0x5B}, FrameClass::kMalformed, {"cut short"}},
      {"ft12 no end octet", FrameProtocol::Ft12, kRecv, {0x10, 0x5B, 0x01, 0x5C, 0x17}, FrameClass::kMalformed,
       {"no end octet"}},
      // APCI and ASDU of IEC 104
      {"startdt act", FrameProtocol::Iec104, kSent, {0x68, 0x04, 0x07, 0x00, 0x00, 0x00}, FrameClass::kControl,
       {"U STARTDT act"}},
      {"testfr con", FrameProtocol::Iec104, kRecv, {0x68, 0x04, 0x83, 0x00, 0x00, 0x00}, FrameClass::kControl,
       {"U TESTFR con"}},
      {"s format", FrameProtocol::Iec104, kSent, {0x68, 0x04, 0x01, 0x00, 0x0A, 0x00}, FrameClass::kControl,
       {"S N(R)=5"}},
      {"interrogation", FrameProtocol::Iec104, kSent,
       {0x68, 0x0E, 0x04, 0x00, 0x06, 0x00, 0x64, 0x01, 0x06, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x14},
       FrameClass::kData, {"I N(S)=2 N(R)=3", "type 100 C_IC_NA_1", "cause 6 act", "CA 1", "IOA 0 QOI=20"}},
      {"negative confirmation", FrameProtocol::Iec104, kRecv,
       {0x68, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01, 0x47, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x14},
       FrameClass::kException, {"cause 7 actcon P/N=1 negative"}},
      {"float with time tag", FrameProtocol::Iec104, kRecv,
       {0x68, 0x19, 0x02, 0x00, 0x02, 0x00, 0x24, 0x01, 0x83, 0x00, 0x05, 0x00, 0x01, 0x10, 0x00,
        0x00, 0x00, 0xC0, 0x3F, 0x10, 0xD2, 0x04, 0x23, 0x94, 0x69, 0x0C, 0x1A},
       FrameClass::kData,
       {"type 36 M_ME_TF_1", "cause 3 spont T=1 test", "CA 5", "I N(S)=1 N(R)=1", "IOA 4097 1.5 q=BL", "2026-12-09 20:35:01.234 SU"}},
      {"sequence of normalised", FrameProtocol::Iec104, kRecv,
       {0x68, 0x11, 0x00, 0x00, 0x00, 0x00, 0x15, 0x82, 0x14, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00,
        0x00, 0xC0, 0xFF, 0x7F},
       FrameClass::kData, {"SQ=1 n=2", "IOA 256 -16384 (-0.50000)", "IOA 257 32767"}},
      {"private sequence", FrameProtocol::Iec104, kRecv,
       {0x68, 0x17, 0x00, 0x00, 0x00, 0x00, 0x8F, 0x82, 0x14, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,
        0x00, 0x10, 0x00, 0x00, 0x20, 0x07, 0xD2, 0x04, 0x23, 0x14},
       FrameClass::kData, {"private sequence", "IOA 1 4096 +0x00", "IOA 2 8192 +0x07", "time 20:35:01.234"}},
      {"integrated total", FrameProtocol::Iec104, kRecv,
       {0x68, 0x12, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x01, 0x25, 0x00, 0x01, 0x00, 0x09, 0x00, 0x00,
        0xE8, 0x03, 0x00, 0x00, 0x23},
       FrameClass::kData, {"type 15 M_IT_NA_1", "cause 37 reqcogen", "IOA 9 1000 seq 3 CY"}},
      {"objects cut short", FrameProtocol::Iec104, kRecv,
       {0x68, 0x10, 0x00, 0x00, 0x00, 0x00, 0x09, 0x03, 0x14, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x40, 0x00},
       FrameClass::kMalformed, {"IOA 1 16384", "cut short [malformed]"}},
      {"asdu header cut short", FrameProtocol::Iec104, kRecv, {0x68, 0x07, 0x00, 0x00, 0x00, 0x00, 0x09},
       FrameClass::kMalformed, {"header cut short"}},
      {"apdu length lies", FrameProtocol::Iec104, kRecv, {0x68, 0x09, 0x07, 0x00, 0x00, 0x00}, FrameClass::kMalformed,
       {"length 9 but 4 follow"}},
      {"apdu bad start", FrameProtocol::Iec104, kRecv, {0x69, 0x04, 0x07, 0x00, 0x00, 0x00}, FrameClass::kMalformed,
       {"without a whole head"}},
      {"unknown u function", FrameProtocol::Iec104, kRecv, {0x68, 0x04, 0xFF, 0x00, 0x00, 0x00}, FrameClass::kMalformed,
       {"unknown function 0xFF"}},
  };
  return cases;
}

TEST(FrameSummary, HandWrittenFramesOfEveryKind) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    FrameFormat format = c.protocol == FrameProtocol::Ft12 ? Ft12Format() : FrameFormat{c.protocol};
    const FrameSummary s = SummariseFrame(c.frame, c.direction, format);
    EXPECT_EQ(static_cast<int>(s.cls), static_cast<int>(c.cls)) << s.text;
    for (const auto& part : c.shows) EXPECT_NE(s.text.find(part), std::string::npos) << part << " in: " << s.text;
  }
}

// Every prefix of every frame above is summarised without reading past its end (the
// sanitizer builds check the reads) and a cut frame never passes for a whole one.
TEST(FrameSummary, EveryPrefixIsSafeAndNeverLooksWhole) {
  for (const Case& c : Cases()) {
    FrameFormat format = c.protocol == FrameProtocol::Ft12 ? Ft12Format() : FrameFormat{c.protocol};
    for (size_t n = 0; n < c.frame.size(); ++n) {
      SCOPED_TRACE(std::string(c.name) + " cut to " + std::to_string(n));
      const Bytes cut(c.frame.begin(), c.frame.begin() + static_cast<std::ptrdiff_t>(n));
      const FrameSummary s = SummariseFrame(cut, c.direction, format);
      EXPECT_FALSE(s.text.empty());
      if (c.cls != FrameClass::kMalformed) {
        EXPECT_EQ(static_cast<int>(s.cls), static_cast<int>(FrameClass::kMalformed)) << s.text;
      }
    }
  }
}

TEST(FrameSummary, TwoOctetLinkAddressAndOriginator) {
  FrameFormat format{FrameProtocol::Ft12};
  format.linkAddressSize = 2;
  format.asdu = {2, 2, 3};
  // C_RD_NA_1 to object 0x000102 of station 0x0203, link address 0x0304, originator 2;
  // the checksum is the octet sum of control to the last ASDU octet.
  const Bytes fixed = {0x68, 0x0C, 0x0C, 0x68, 0x73, 0x04, 0x03, 0x66, 0x01, 0x05, 0x02,
                       0x03, 0x02, 0x02, 0x01, 0x00, 0xF0, 0x16};
  const FrameSummary s = SummariseFrame(fixed, kSent, format);
  EXPECT_NE(s.text.find("link address 772"), std::string::npos) << s.text;
  EXPECT_NE(s.text.find("PRM=1 FCB=1 FCV=1 fn 3"), std::string::npos) << s.text;
  EXPECT_NE(s.text.find("type 102 C_RD_NA_1"), std::string::npos) << s.text;
  EXPECT_NE(s.text.find("orig 2, CA 515 | IOA 258"), std::string::npos) << s.text;
}

TEST(FrameSummary, HexText) {
  EXPECT_EQ(HexText(Bytes{0x01, 0xAB, 0x0F}), "01 AB 0F");
  EXPECT_EQ(HexText(Bytes{}), "");
}

}  // namespace
}  // namespace tessvar::monitor
