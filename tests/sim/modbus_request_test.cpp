#include "link/modbus_request.h"

#include <gtest/gtest.h>

#include <string>

#include "link/modbus_checksum.h"

namespace tessvar {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int b : list) out.push_back(static_cast<uint8_t>(b));
  return out;
}

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

TEST(ModbusRequest, RtuReadInputRegistersIsTakenWhenComplete) {
  const auto frame = Bytes({0x01, 0x04, 0x00, 0x00, 0x00, 0x02, 0x71, 0xCB});
  for (size_t cut = 0; cut < frame.size(); ++cut) {
    auto r = ParseRtuRequest(std::span(frame).first(cut), false);
    EXPECT_EQ(r.status, RequestStatus::Incomplete) << cut;
    EXPECT_EQ(r.consumed, 0u);
  }
  auto r = ParseRtuRequest(frame, false);
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.consumed, 8u);
  EXPECT_EQ(r.request.unit, 1);
  EXPECT_EQ(r.request.function, 4);
  EXPECT_EQ(r.request.start, 0);
  EXPECT_EQ(r.request.quantity, 2);
  EXPECT_EQ(r.request.exception, 0);
}

TEST(ModbusRequest, RtuDamagedOrCutFramesAreDropped) {
  auto frame = Bytes({0x01, 0x04, 0x00, 0x00, 0x00, 0x02, 0x71, 0xCA});
  auto r = ParseRtuRequest(frame, false);
  EXPECT_EQ(r.status, RequestStatus::BadChecksum);
  EXPECT_EQ(r.consumed, frame.size());
  // Cut short by a silence: nothing to answer.
  r = ParseRtuRequest(std::span(frame).first(5), true);
  EXPECT_EQ(r.status, RequestStatus::Malformed);
  EXPECT_EQ(r.consumed, 5u);
}

TEST(ModbusRequest, RtuUnknownFunctionWaitsForSilenceThenAsksForException1) {
  auto frame = FrameRtu(1, Bytes({0x41, 0x01, 0x02}));
  EXPECT_EQ(ParseRtuRequest(frame, false).status, RequestStatus::Incomplete);
  auto r = ParseRtuRequest(frame, true);
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.request.function, 0x41);
  EXPECT_EQ(r.request.exception, modbus_exception::kIllegalFunction);
}

TEST(ModbusRequest, RtcTestFunctionCarriesTwoCodeOctets) {
  // 01 76 'T' 'V' CRC: complete as soon as its six octets are there, no silence needed.
  const auto frame = Bytes({0x01, 0x76, 0x54, 0x56, 0x5E, 0xFC});
  auto r = ParseRtuRequest(frame, false);
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.consumed, 6u);
  EXPECT_EQ(r.request.exception, 0);
  EXPECT_EQ(r.request.data, Bytes({0x54, 0x56}));
  EXPECT_EQ(ParseRtuRequest(std::span(frame).first(5), false).status, RequestStatus::Incomplete);
  // Any other length is refused as a bad value.
  EXPECT_EQ(ParseRequestPdu(Bytes({0x76, 0x54})).exception, modbus_exception::kIllegalDataValue);
  EXPECT_EQ(ParseRequestPdu(Bytes({0x76, 1, 2, 3})).exception, modbus_exception::kIllegalDataValue);
  EXPECT_EQ(FrameRtu(1, BuildRtcTestReplyPdu(Bytes({0x54, 0x56}))),
            Bytes({0x01, 0x76, 0x02, 0x54, 0x56, 0x1C, 0xB6}));
}

TEST(ModbusRequest, RtcTestFunctionInAscii) {
  // ':' 01 76 'T' 'V' LRC CR LF, LRC = -(01 + 76 + 54 + 56) = DF; the echo carries a count.
  const std::string text = ":01765456DF\r\n";
  const auto r = ParseAsciiRequest(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.request.function, 0x76);
  EXPECT_EQ(r.request.exception, 0);
  EXPECT_EQ(r.request.data, Bytes({0x54, 0x56}));
  const auto reply = FrameAscii(1, BuildRtcTestReplyPdu(Bytes({0x54, 0x56})));
  EXPECT_EQ(std::string(reply.begin(), reply.end()), ":0176025456DD\r\n");
}

TEST(ModbusRequest, QuantityAndByteCountRules) {
  struct Case {
    std::vector<uint8_t> pdu;
    uint8_t exception;
  };
  const Case cases[] = {
      {Bytes({4, 0, 0, 0, 125}), 0},
      {Bytes({4, 0, 0, 0, 126}), 3},
      {Bytes({4, 0, 0, 0, 0}), 3},
      {Bytes({3, 0x12, 0x34, 0, 1}), 0},
      {Bytes({16, 1, 0, 0, 1, 2, 0xAB, 0xCD}), 0},
      {Bytes({16, 1, 0, 0, 2, 2, 0xAB, 0xCD}), 3},           // byte count too small
      {Bytes({16, 1, 0, 0, 3, 7, 1, 2, 3, 4, 5, 6, 7}), 0},  // trailing clock byte
      {Bytes({16, 1, 0, 0, 3, 8, 1, 2, 3, 4, 5, 6, 7, 8}), 3},
      {Bytes({16, 1, 0, 0, 0, 0}), 3},
      {Bytes({16, 1, 0, 0, 124, 248}), 3},
      {Bytes({0x84, 0, 0, 0, 1}), 1},
      {Bytes({0x2B, 0x0E, 1, 0}), 1},
  };
  for (const auto& c : cases) {
    auto frame = FrameTcp(7, 1, c.pdu);
    auto r = ParseTcpRequest(frame);
    ASSERT_EQ(r.status, RequestStatus::Complete);
    EXPECT_EQ(r.request.exception, c.exception) << int(c.pdu[0]) << " " << c.pdu.size();
    EXPECT_EQ(r.request.transaction, 7);
  }
}

TEST(ModbusRequest, WriteMultipleCarriesItsData) {
  auto frame = FrameRtu(1, Bytes({0x10, 0x01, 0x00, 0x00, 0x03, 0x07, 0xDA, 0xC5, 0x0C, 0x22, 0x1A, 0x07, 0xE6}));
  auto r = ParseRtuRequest(frame, false);
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.request.start, 0x100);
  EXPECT_EQ(r.request.quantity, 3);
  EXPECT_EQ(r.request.byteCount, 7);
  EXPECT_EQ(r.request.data, Bytes({0xDA, 0xC5, 0x0C, 0x22, 0x1A, 0x07, 0xE6}));
  EXPECT_EQ(r.consumed, frame.size());
}

TEST(ModbusRequest, AsciiFrames) {
  auto r = ParseAsciiRequest(Text(":010400000002F9\r\n"));
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.request.quantity, 2);
  EXPECT_EQ(r.consumed, 17u);

  EXPECT_EQ(ParseAsciiRequest(Text(":010400000002F9\r")).status, RequestStatus::Incomplete);
  EXPECT_EQ(ParseAsciiRequest(Text(":010400000002F8\r\n")).status, RequestStatus::BadChecksum);
  EXPECT_EQ(ParseAsciiRequest(Text(":0104000G0002F9\r\n")).status, RequestStatus::Malformed);
  EXPECT_EQ(ParseAsciiRequest(Text(":010400000002F9\n")).status, RequestStatus::Malformed);

  // Noise before the colon is skipped; a second colon restarts the frame.
  r = ParseAsciiRequest(Text("xy:0104"));
  EXPECT_EQ(r.status, RequestStatus::Malformed);
  EXPECT_EQ(r.consumed, 2u);
  r = ParseAsciiRequest(Text(":0104:010400000002F9\r\n"));
  EXPECT_EQ(r.status, RequestStatus::Malformed);
  EXPECT_EQ(r.consumed, 5u);
}

TEST(ModbusRequest, TcpHeaderIsCheckedBeforeUse) {
  EXPECT_EQ(ParseTcpRequest(Bytes({0, 1, 0, 0, 0, 6, 1, 4, 0, 0, 0})).status, RequestStatus::Incomplete);
  auto r = ParseTcpRequest(Bytes({0, 1, 0, 5, 0, 6, 1, 4, 0, 0, 0, 2}));
  EXPECT_EQ(r.status, RequestStatus::Malformed);  // protocol id 5
  r = ParseTcpRequest(Bytes({0, 1, 0, 0, 0x10, 0, 1, 4, 0, 0, 0, 2}));
  EXPECT_EQ(r.status, RequestStatus::Malformed);  // length 4096
  r = ParseTcpRequest(Bytes({0, 1, 0, 0, 0, 1, 1}));
  EXPECT_EQ(r.status, RequestStatus::Malformed);  // no function code
  // Two requests back to back: the first is taken alone.
  auto two = Bytes({0, 1, 0, 0, 0, 6, 1, 4, 0, 0, 0, 2, 0, 2, 0, 0, 0, 6, 1, 4, 0, 0, 0, 3});
  r = ParseTcpRequest(two);
  ASSERT_EQ(r.status, RequestStatus::Complete);
  EXPECT_EQ(r.consumed, 12u);
  EXPECT_EQ(r.request.quantity, 2);
}

TEST(ModbusRequest, ReplyFrames) {
  const uint16_t values[] = {0x1234, 0x0001};
  EXPECT_EQ(FrameRtu(1, BuildReadRegistersPdu(4, values)),
            [] {
              auto f = Bytes({1, 4, 4, 0x12, 0x34, 0x00, 0x01});
              uint16_t crc = ModbusCrc16(f);
              f.push_back(crc & 0xFF);
              f.push_back(crc >> 8);
              return f;
            }());
  EXPECT_EQ(FrameRtu(1, BuildExceptionPdu(4, 2)), Bytes({0x01, 0x84, 0x02, 0xC2, 0xC1}));
  EXPECT_EQ(FrameAscii(1, Bytes({4, 0, 0, 0, 2})), Text(":010400000002F9\r\n"));
  EXPECT_EQ(FrameTcp(0x0102, 1, BuildWriteMultipleReplyPdu(0x100, 3)),
            Bytes({1, 2, 0, 0, 0, 6, 1, 0x10, 1, 0, 0, 3}));
}

}  // namespace
}  // namespace tessvar
