#include "link/modbus_frames.h"

#include <gtest/gtest.h>

#include <cctype>

#include "link/link_result.h"
#include "tests/link/link_test_util.h"

namespace tessvar {
namespace {

using test::AsciiFrame;
using test::Bytes;
using test::Text;
using test::WithCrc;

TEST(ModbusRequests, ReadTwoRegistersOnEachFraming) {
  const auto quantity = ReadInputRegistersData(2);
  EXPECT_EQ(BuildRtuRequest(1, 4, 0, quantity), Bytes({0x01, 0x04, 0, 0, 0, 2, 0x71, 0xCB}));
  EXPECT_EQ(BuildAsciiRequest(1, 4, 0, quantity), Text(":010400000002F9\r\n"));
  EXPECT_EQ(BuildTcpRequest(0, 1, 4, 0, quantity),
            Bytes({0, 0, 0, 0, 0, 6, 0x01, 0x04, 0, 0, 0, 2}));
}

TEST(ModbusRequests, WriteRegistersCarriesCountAndBigEndianValues) {
  const uint16_t values[] = {0x1234, 0xABCD};
  EXPECT_EQ(WriteRegistersData(values), Bytes({0, 2, 4, 0x12, 0x34, 0xAB, 0xCD}));
  EXPECT_EQ(BuildTcpRequest(0x0102, 7, 16, 0x0010, WriteRegistersData(values)),
            Bytes({1, 2, 0, 0, 0, 11, 7, 16, 0, 0x10, 0, 2, 4, 0x12, 0x34, 0xAB, 0xCD}));
  // The ASCII text is upper-case hexadecimal throughout.
  EXPECT_EQ(BuildAsciiRequest(0x0A, 16, 0xBEEF, WriteRegistersData(values)),
            AsciiFrame(Bytes({0x0A, 16, 0xBE, 0xEF, 0, 2, 4, 0x12, 0x34, 0xAB, 0xCD})));
}

TEST(ModbusRequests, RtcTestFunctionSendsNoStartAddress) {
  EXPECT_EQ(BuildRtuRequest(1, 118, 0xFFFF, Bytes({0x55})), WithCrc(Bytes({1, 118, 0x55})));
}

struct ReplyCase {
  const char* name;
  std::vector<uint8_t> frame;
  ModbusExpectation expect;
  uint8_t result;  // the status number, written from the table of codes
  std::vector<uint8_t> reply;
};

const ModbusExpectation kTwoRegisters{4, 2};

std::vector<ReplyCase> RtuCases() {
  return {
      {"good", WithCrc(Bytes({1, 4, 4, 0, 10, 0, 11})), kTwoRegisters, 0,
       Bytes({1, 4, 0, 10, 0, 11})},
      {"other address is handed on", WithCrc(Bytes({9, 4, 4, 0, 10, 0, 11})), kTwoRegisters, 0,
       Bytes({9, 4, 0, 10, 0, 11})},
      {"write echo", WithCrc(Bytes({1, 16, 0, 0x10, 0, 3})), {16, 0}, 0,
       Bytes({1, 16, 0, 0x10, 0, 3})},
      {"exception 2", WithCrc(Bytes({1, 0x84, 2})), kTwoRegisters, 102, Bytes({1, 0x84, 0, 0})},
      {"exception 4", WithCrc(Bytes({1, 0x84, 4})), kTwoRegisters, 104, Bytes({1, 0x84, 0, 0})},
      {"exception 5", WithCrc(Bytes({1, 0x84, 5})), kTwoRegisters, 105, Bytes({1, 0x84, 0, 0})},
      // 100 + 0x9C wraps to 0 in a byte: it must never read as a good reply.
      {"exception 0x9C", WithCrc(Bytes({1, 0x84, 0x9C, 0, 0})), kTwoRegisters, 255,
       Bytes({1, 0x84, 0, 0})},
      {"exception 0", WithCrc(Bytes({1, 0x84, 0})), kTwoRegisters, 255, Bytes({1, 0x84, 0, 0})},
      {"bad crc", Bytes({1, 4, 4, 0, 10, 0, 11, 0x12, 0x34}), kTwoRegisters, 3, {}},
      {"four bytes", Bytes({1, 4, 0xFF, 0xFF}), kTwoRegisters, 4, {}},
      {"nothing", {}, kTwoRegisters, 4, {}},
      {"address and function only", WithCrc(Bytes({1, 4, 0})), {}, 0, Bytes({1, 4})},
      {"count beyond frame", WithCrc(Bytes({1, 4, 0xFF, 0, 1})), {}, 4, Bytes({1, 4})},
      {"count not twice the quantity", WithCrc(Bytes({1, 4, 2, 0, 10})), kTwoRegisters, 4,
       Bytes({1, 4})},
      {"surplus after count ignored", WithCrc(Bytes({1, 4, 2, 0, 10, 0xEE})), {4, 1}, 0,
       Bytes({1, 4, 0, 10})},
      {"garbage before frame", [] {
         auto f = WithCrc(Bytes({1, 4, 2, 0, 10}));
         f.insert(f.begin(), 0x00);
         return f;
       }(), {4, 1}, 3, {}},
      {"two frames run together", [] {
         auto f = WithCrc(Bytes({1, 4, 2, 0, 10}));
         auto g = f;
         f.insert(f.end(), g.begin(), g.end());
         return f;
       }(), {4, 1}, 3, {}},
  };
}

TEST(ModbusReplies, RtuTable) {
  for (const ReplyCase& c : RtuCases()) {
    std::vector<uint8_t> reply{0xAA};
    EXPECT_EQ(ToByte(ParseRtuReply(c.frame, reply, c.expect)), c.result) << c.name;
    if (c.result != 3 && c.result != 4) {
      EXPECT_EQ(reply, c.reply) << c.name;
    }
  }
}

TEST(ModbusReplies, AsciiTable) {
  const auto good = AsciiFrame(Bytes({1, 4, 4, 0, 10, 0, 11}));
  std::vector<uint8_t> noLf(good.begin(), good.end() - 1);  // CR LF becomes CR CR
  noLf.push_back('\r');
  auto spaced = good;
  spaced.insert(spaced.begin(), ' ');
  auto lower = AsciiFrame(Bytes({1, 4, 2, 0, 0xAB}));
  for (auto& ch : lower) ch = static_cast<uint8_t>(std::tolower(ch));
  auto badLrc = good;
  badLrc[badLrc.size() - 3] = badLrc[badLrc.size() - 3] == '0' ? '1' : '0';
  auto odd = good;
  odd.insert(odd.begin() + 3, '0');
  const std::vector<ReplyCase> cases = {
      {"good", good, kTwoRegisters, 0, Bytes({1, 4, 0, 10, 0, 11})},
      {"write echo", AsciiFrame(Bytes({1, 16, 0, 0x10, 0, 3})), {16, 0}, 0,
       Bytes({1, 16, 0, 0x10, 0, 3})},
      {"exception 3", AsciiFrame(Bytes({1, 0x84, 3})), kTwoRegisters, 103, Bytes({1, 0x84, 0, 0})},
      {"exception 0xC8", AsciiFrame(Bytes({1, 0x84, 0xC8})), kTwoRegisters, 255,
       Bytes({1, 0x84, 0, 0})},
      {"ends in CR", noLf, kTwoRegisters, 2, {}},
      {"starts with a space", spaced, kTwoRegisters, 1, {}},
      {"four characters", Text(":01\n"), kTwoRegisters, 4, {}},
      // 5 to 8 characters would otherwise decode address and function from CR LF.
      {"five characters", Text(":01\r\n"), kTwoRegisters, 4, {}},
      {"eight characters", Text(":0104\r\r\n"), kTwoRegisters, 4, {}},
      {"lower-case hex", lower, {4, 1}, 3, {}},
      {"bad lrc", badLrc, kTwoRegisters, 3, {}},
      {"odd hex count", odd, kTwoRegisters, 3, {}},
      {"count beyond frame", AsciiFrame(Bytes({1, 4, 9, 0, 10})), {}, 4, Bytes({1, 4})},
      {"count not twice the quantity", AsciiFrame(Bytes({1, 4, 2, 0, 10})), kTwoRegisters, 4,
       Bytes({1, 4})},
  };
  for (const ReplyCase& c : cases) {
    std::vector<uint8_t> reply{0xAA};
    EXPECT_EQ(ToByte(ParseAsciiReply(c.frame, reply, c.expect)), c.result) << c.name;
    if (c.result != 3 && c.result != 4) {
      EXPECT_EQ(reply, c.reply) << c.name;
    }
  }
}

TEST(ModbusReplies, TcpTable) {
  const std::vector<ReplyCase> cases = {
      {"good", Bytes({0, 1, 0, 0, 0, 7, 1, 4, 4, 0, 10, 0, 11}), kTwoRegisters, 0,
       Bytes({1, 4, 0, 10, 0, 11})},
      {"surplus after the frame dropped", Bytes({0, 1, 0, 0, 0, 5, 1, 4, 2, 0, 10, 9, 9}),
       {4, 1}, 0, Bytes({1, 4, 0, 10})},
      {"exception 1", Bytes({0, 1, 0, 0, 0, 3, 1, 0x84, 1}), kTwoRegisters, 101,
       Bytes({1, 0x84, 0, 0})},
      {"eight bytes", Bytes({0, 1, 0, 0, 0, 2, 1, 4}), kTwoRegisters, 4, {}},
      {"length says more than came", Bytes({0, 1, 0, 0, 0, 7, 1, 4, 4, 0, 10}), kTwoRegisters,
       4, {}},
      {"impossible length", Bytes({0, 1, 0, 0, 0x10, 0, 1, 4, 4, 0, 10, 0, 11}), kTwoRegisters,
       255, {}},
      {"count not twice the quantity", Bytes({0, 1, 0, 0, 0, 7, 1, 4, 4, 0, 10, 0, 11}),
       {4, 3}, 4, Bytes({1, 4})},
      {"count beyond frame", Bytes({0, 1, 0, 0, 0, 5, 1, 4, 8, 0, 10}), {}, 4, Bytes({1, 4})},
  };
  for (const ReplyCase& c : cases) {
    std::vector<uint8_t> reply{0xAA};
    EXPECT_EQ(ToByte(ParseTcpReply(c.frame, reply, c.expect)), c.result) << c.name;
    if (c.result != 255 && !c.reply.empty()) {
      EXPECT_EQ(reply, c.reply) << c.name;
    }
  }
}

TEST(ModbusReplies, MbapLengthNeedsTheWholeHeader) {
  EXPECT_FALSE(MbapFrameLength(Bytes({0, 1, 0, 0, 0})).has_value());
  EXPECT_EQ(MbapFrameLength(Bytes({0, 1, 0, 0, 0, 7})), 13u);
  EXPECT_EQ(MbapFrameLength(Bytes({0, 1, 0, 0, 0, 1})), 0u);
  EXPECT_EQ(MbapFrameLength(Bytes({0, 1, 0, 0, 1, 0})), 0u);
}

TEST(LinkResults, TextsOfTheCodes) {
  EXPECT_EQ(LinkResultText(LinkResult::kGood), "");
  EXPECT_EQ(LinkResultText(LinkResult{3}), "Ошибка контрольной суммы");
  EXPECT_EQ(LinkResultText(LinkResult{4}), "Буфер обмена пуст");
  EXPECT_EQ(LinkResultText(LinkResult{102}), "Адрес данных указанный в запросе не доступен данному подчиненному");
  EXPECT_EQ(LinkResultText(LinkResult{103}),
            "Величина содержащаяся в поле данных запроса является не допустимой величиной для "
            "подчиненного");
  for (int code : {6, 7, 105, 229, 255}) {
    EXPECT_EQ(LinkResultText(static_cast<LinkResult>(code)), "Ошибка") << code;
  }
}

}  // namespace
}  // namespace tessvar
