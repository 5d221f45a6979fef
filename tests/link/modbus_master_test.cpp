#include "link/modbus_master.h"

#include <gtest/gtest.h>

#include "link/link_result.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"
#include "tests/link/fake_tcp_socket.h"
#include "tests/link/link_test_util.h"

namespace tessvar {
namespace {

using test::Bytes;

struct MasterFixture : ::testing::Test {
  VirtualClock clock;
  std::shared_ptr<MemorySerialPort::Line> wire = std::make_shared<MemorySerialPort::Line>();
  CModbusMaster master{std::make_unique<MemorySerialPort>(clock, wire), clock};
  std::shared_ptr<test::FakeTcpSocket::Script> net = std::make_shared<test::FakeTcpSocket::Script>();
  CTcpLink link{std::make_unique<test::FakeTcpSocket>(clock, net), clock};

  void SetUp() override { ASSERT_TRUE(master.Serial().Open("ttyUSB0")); }
  void Answer(std::vector<uint8_t> bytes, uint32_t delayMs = 5) {
    MemorySerialPort::Deliver(*wire, clock, bytes, delayMs, 1);
  }
  void Connect() {
    ASSERT_TRUE(link.Create());
    ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, 502}), 0);
  }
};

TEST_F(MasterFixture, RtuPollRoundTrip) {
  master.SendReadInputRegisters(false, 1, 0, 2);
  EXPECT_EQ(wire->written, Bytes({1, 4, 0, 0, 0, 2, 0x71, 0xCB}));
  Answer(test::WithCrc(Bytes({1, 4, 4, 0x12, 0x34, 0x56, 0x78})));
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply), LinkResult::kGood);
  EXPECT_EQ(reply, Bytes({1, 4, 0x12, 0x34, 0x56, 0x78}));
}

TEST_F(MasterFixture, RtuExceptionPadsTheReply) {
  master.SendReadInputRegisters(false, 1, 0, 2);
  Answer(test::WithCrc(Bytes({1, 0x84, 2})));
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply), LinkResult::kIllegalDataAddress);
  EXPECT_EQ(reply, Bytes({1, 0x84, 0, 0}));
}

TEST_F(MasterFixture, ReplyWithFewerRegistersThanAskedIsTooShort) {
  master.SendReadInputRegisters(false, 1, 0, 3);
  Answer(test::WithCrc(Bytes({1, 4, 4, 0x12, 0x34, 0x56, 0x78})));
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply), LinkResult::kNoReply);
}

TEST_F(MasterFixture, NoAnswerIsCodeFour) {
  master.SendReadInputRegisters(false, 1, 0, 2);
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply), LinkResult::kNoReply);
  EXPECT_EQ(master.ReceiveAscii(reply), LinkResult::kNoReply);
}

TEST_F(MasterFixture, AsciiPollAndClockWrite) {
  master.SendReadInputRegisters(true, 1, 0, 2);
  EXPECT_EQ(wire->written, test::Text(":010400000002F9\r\n"));
  Answer(test::AsciiFrame(Bytes({1, 4, 4, 0, 1, 0, 2})));
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveAscii(reply), LinkResult::kGood);
  EXPECT_EQ(reply, Bytes({1, 4, 0, 1, 0, 2}));

  wire->written.clear();
  const uint16_t values[] = {0x0102, 0x0304};
  master.SendWriteRegisters(true, 1, 0x20, values);
  EXPECT_EQ(wire->written, test::AsciiFrame(Bytes({1, 16, 0, 0x20, 0, 2, 4, 1, 2, 3, 4})));
  Answer(test::AsciiFrame(Bytes({1, 16, 0, 0x20, 0, 2})));
  EXPECT_EQ(master.ReceiveAscii(reply), LinkResult::kGood);
  EXPECT_EQ(reply, Bytes({1, 16, 0, 0x20, 0, 2}));
}

TEST_F(MasterFixture, TcpCounterRisesPerRequestAndSurvivesReconnect) {
  Connect();
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  link.Close(false);
  Connect();
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  ASSERT_EQ(net->sent.size(), 3u);
  EXPECT_EQ(net->sent[0], Bytes({0, 0, 0, 0, 0, 6, 1, 4, 0, 0, 0, 2}));
  EXPECT_EQ(net->sent[1][1], 1);
  EXPECT_EQ(net->sent[2][1], 2);
  EXPECT_TRUE(wire->written.empty());  // nothing went to the serial line
}

TEST_F(MasterFixture, TcpReplySplitOverSegmentsIsGatheredWhole) {
  Connect();
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  net->segments.push_back({clock.MonotonicMs() + 10, Bytes({0, 0, 0})});
  net->segments.push_back({clock.MonotonicMs() + 30, Bytes({0, 0, 7, 1, 4})});
  net->segments.push_back({clock.MonotonicMs() + 60, Bytes({4, 0, 9, 0, 8})});
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  EXPECT_EQ(reply, Bytes({1, 4, 0, 9, 0, 8}));
}

TEST_F(MasterFixture, TcpReplyCutByTheFiveSecondLimitIsTooShort) {
  Connect();
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  const uint64_t start = clock.MonotonicMs();
  net->segments.push_back({start + 10, Bytes({0, 0, 0, 0, 0, 7, 1, 4})});
  net->segments.push_back({start + 6000, Bytes({4, 0, 9, 0, 8})});  // too late
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kNoReply);
  EXPECT_EQ(clock.MonotonicMs() - start, CTcpLink::kReplyLimitMs);
}

TEST_F(MasterFixture, TcpPeerClosingMidReplyIsTooShortAndLaterReceivesReturnAtOnce) {
  Connect();
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  net->segments.push_back({clock.MonotonicMs() + 10, Bytes({0, 0, 0, 0, 0, 7, 1, 4})});
  net->segments.push_back({clock.MonotonicMs() + 20, {}});
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kNoReply);
  EXPECT_TRUE(link.PeerClosed());
  const uint64_t before = clock.MonotonicMs();
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kNoReply);
  EXPECT_EQ(clock.MonotonicMs(), before);
}

}  // namespace
}  // namespace tessvar
