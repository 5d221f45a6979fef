// CIec101Link over an in-memory line: the frames it writes, the frame-count bit across
// initialisation and lost replies, and what a reply does to the decoder and the result.
#include "link/iec101_link.h"

#include <gtest/gtest.h>

#include "link_test_util.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"

namespace tessvar {
namespace {

using test::Bytes;

std::vector<uint8_t> Variable(std::vector<uint8_t> body) {  // control, address 5, ASDU
  return BuildVariableFrame(body[0], body[1], 1, std::span(body).subspan(2));
}

struct Iec101Fixture : ::testing::Test {
  VirtualClock clock;
  std::shared_ptr<MemorySerialPort::Line> wire = std::make_shared<MemorySerialPort::Line>();
  CSerialLine line{std::make_unique<MemorySerialPort>(clock, wire), clock};
  CIec101Link link;
  Iec101LinkParams params;  // address 1 octet, IOA 2, COT 1
  AsduDecoder decoder;

  void SetUp() override {
    ASSERT_TRUE(line.Open("ttyS0"));
    link.SetHandle(&line);
    DeviceDescription d;
    d.entries = {{"Напряжение (Udc1)", "10", "2"}, {"Ток (Idc1)", "11", "2"}};
    decoder = MakeAsduDecoder(d, params.Asdu(), IecReadMode::Read102, 0);
  }
  void Answer(const std::vector<uint8_t>& bytes) {
    MemorySerialPort::Deliver(*wire, clock, bytes, 5, 1);
  }
  std::vector<uint8_t> TakeWritten() { return std::exchange(wire->written, {}); }
};

TEST_F(Iec101Fixture, LinkStatusJudgement) {
  struct Case {
    const char* name;
    std::vector<uint8_t> answer;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"status of link", Bytes({0x10, 0x0B, 0x05, 0x10, 0x16}), true},
      {"status of link, bad sum still counts", Bytes({0x10, 0x0B, 0x05, 0x00, 0x16}), true},
      {"no data is not status", Bytes({0x10, 0x09, 0x05, 0x0E, 0x16}), false},
      {"single ack", Bytes({0xE5}), true},
      {"two acks", Bytes({0xE5, 0xE5}), false},
      {"nothing", {}, false},
  };
  for (const auto& c : cases) {
    if (!c.answer.empty()) Answer(c.answer);
    EXPECT_EQ(link.RequestLinkStatus(5, params), c.ok) << c.name;
    EXPECT_EQ(TakeWritten(), Bytes({0x10, 0x49, 0x05, 0x4E, 0x16})) << c.name;
    clock.Advance(1000);
  }
}

TEST_F(Iec101Fixture, FrameCountBitAfterResetAndLostReplies) {
  Answer(Bytes({0x10, 0x0B, 0x05, 0x10, 0x16}));  // the status answer, not an ack
  EXPECT_FALSE(link.ResetRemoteLink(5, params));
  EXPECT_EQ(TakeWritten(), Bytes({0x10, 0x40, 0x05, 0x45, 0x16}));
  link.RequestClass2(5, params);
  EXPECT_EQ(TakeWritten(), Bytes({0x10, 0x7B, 0x05, 0x80, 0x16}));
  link.RequestClass2(5, params);  // the previous reply was never collected: FCB flips anyway
  EXPECT_EQ(TakeWritten(), Bytes({0x10, 0x5B, 0x05, 0x60, 0x16}));
  const auto asdu = BuildInterrogation(5, 0, 6, 0, params.Asdu(), kIec101Originator);
  link.SendConfirmed(5, params, asdu);
  EXPECT_EQ(TakeWritten(), Bytes({0x68, 0x09, 0x09, 0x68, 0x73, 0x05, 0x64, 0x01, 0x06, 0x05,
                                  0x00, 0x00, 0x14, 0xFC, 0x16}));
  const auto read = BuildRead(5, 0x10, params.Asdu(), kIec101Originator);
  link.SendRequestRespond(5, params, read);
  EXPECT_EQ(TakeWritten(), Bytes({0x68, 0x08, 0x08, 0x68, 0x5B, 0x05, 0x66, 0x01, 0x05, 0x05,
                                  0x10, 0x00, 0xE1, 0x16}));
  Answer(Bytes({0xE5}));
  EXPECT_TRUE(link.ResetRemoteLink(5, params));
  EXPECT_TRUE(link.FrameCountToggle());
}

TEST_F(Iec101Fixture, ReceiveFrameResultsAndHandOver) {
  struct Case {
    const char* name;
    std::vector<uint8_t> answer;
    uint8_t result;
    std::vector<uint8_t> reply;
  };
  const std::vector<Case> cases = {
      {"activation confirmation", Variable({0x08, 5, 0x64, 1, 0x07, 5, 0, 0, 0x14}), 0, {}},
      {"deactivation confirmation", Variable({0x08, 5, 0x64, 1, 0x09, 5, 0, 0, 0x14}), 0, {}},
      {"negative activation confirmation", Variable({0x08, 5, 0x64, 1, 0x47, 5, 0, 0, 0x14}), 6, {}},
      {"interrogation answered with activation", Variable({0x08, 5, 0x64, 1, 0x06, 5, 0, 0, 0x14}),
       6, {}},
      {"unknown type with P/N", Variable({0x08, 5, 0x64, 1, 0x6C, 5, 0, 0, 0x14}), 44, {}},
      {"unknown address without P/N", Variable({0x08, 5, 0x66, 1, 0x2F, 5, 0x10, 0}), 47, {}},
      {"values with P/N are never good",
       Variable({0x08, 5, 0x09, 0x82, 0x45, 5, 0x10, 0, 1, 0, 0, 2, 0, 0}), 6, {}},
      {"a full data set", Variable({0x08, 5, 0x09, 0x82, 0x05, 5, 0x10, 0, 1, 0, 0, 2, 0, 0}), 0,
       Bytes({0, 0, 0, 1, 0, 2})},
      {"user data too short for an ASDU", Variable({0x08, 5, 0x09, 0x01, 0x05}), 255, {}},
      {"ACD set: not decoded",
       BuildVariableFrame(0x28, 5, 1, Bytes({0x09, 0x82, 0x05, 5, 0x10, 0, 1, 0, 0, 2, 0, 0})),
       255, {}},
  };
  for (const auto& c : cases) {
    StartCycle(decoder);
    Answer(c.answer);
    std::vector<uint8_t> reply{9, 9};
    EXPECT_EQ(link.ReceiveFrame(reply, params, decoder), c.result) << c.name;
    EXPECT_EQ(reply, c.reply) << c.name;
    if (c.answer[4] == 0x28) {
      EXPECT_EQ(decoder.marks, Bytes({0, 0})) << c.name;
    }
  }
}

TEST_F(Iec101Fixture, DataSetSpreadOverTwoReplies) {
  std::vector<uint8_t> reply;
  Answer(Variable({0x08, 5, 0x15, 0x01, 0x05, 5, 0x11, 0, 0x22, 0x11}));
  EXPECT_EQ(link.ReceiveFrame(reply, params, decoder), 0);
  EXPECT_TRUE(reply.empty());
  Answer(Variable({0x08, 5, 0x15, 0x01, 0x05, 5, 0x10, 0, 0x44, 0x33}));
  EXPECT_EQ(link.ReceiveFrame(reply, params, decoder), 0);
  EXPECT_EQ(reply, Bytes({0, 0, 0x33, 0x44, 0x11, 0x22}));
  EXPECT_EQ(decoder.marks, Bytes({0, 0}));  // a new cycle awaits both again
}

}  // namespace
}  // namespace tessvar
