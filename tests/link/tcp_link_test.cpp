// The TCP link against real loopback peers (bounded real waits, no timing asserted) and
// against a scripted socket on the virtual clock.
#include "link/tcp_link.h"

#include <gtest/gtest.h>

#include "link/link_result.h"
#include "link/modbus_master.h"
#include "platform/memory_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "platform/virtual_clock.h"
#include "tests/link/fake_tcp_socket.h"
#include "tests/link/link_test_util.h"
#include "tests/link/loopback_server.h"

namespace tessvar {
namespace {

using test::Bytes;
using test::LoopbackServer;

uint16_t UnusedPort() {
  LoopbackServer probe;
  return probe.Port();  // closed again when probe goes: nobody listens there
}

TEST(TcpLinkLoopback, RefusedConnectFailsAndLeavesNothingOpen) {
  RealClock clock;
  CTcpLink link(MakePosixTcpSocket(), clock);
  const uint16_t port = UnusedPort();
  ASSERT_TRUE(link.Create());
  // A refused non-blocking connect also makes the socket writable; it must not pass.
  EXPECT_EQ(link.ConnectWithTimeout({test::kLoopback, port}, 2000), -1);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(link.Socket().IsValid());
}

TEST(TcpLinkLoopback, BlackHoledPortEndsAtTheLimit) {
  RealClock clock;
  // A listener whose accept queue is full drops further SYNs: the attempt hangs.
  LoopbackServer full(0);
  CTcpLink first(MakePosixTcpSocket(), clock);
  ASSERT_TRUE(first.Create());
  ASSERT_EQ(first.ConnectWithTimeout({test::kLoopback, full.Port()}, 2000), 0);
  CTcpLink second(MakePosixTcpSocket(), clock);
  CTcpLink third(MakePosixTcpSocket(), clock);
  ASSERT_TRUE(second.Create());
  ASSERT_TRUE(third.Create());
  const int a = second.ConnectWithTimeout({test::kLoopback, full.Port()}, 300);
  const int b = third.ConnectWithTimeout({test::kLoopback, full.Port()}, 300);
  EXPECT_EQ(std::min(a, b), -1);  // at least the one beyond the queue found no way in
  EXPECT_EQ(second.IsOpen(), a == 0);
  EXPECT_EQ(third.IsOpen(), b == 0);
}

TEST(TcpLinkLoopback, ModbusReplySplitOverSegmentsIsOneReply) {
  RealClock clock;
  LoopbackServer server;
  std::vector<uint8_t> request;
  server.Serve([&](int fd) {
    request = LoopbackServer::ReadSome(fd, 12);
    const auto reply = Bytes({0, 0, 0, 0, 0, 7, 1, 4, 4, 0x01, 0x02, 0x03, 0x04});
    LoopbackServer::Send(fd, std::span(reply).first(4));
    LoopbackServer::Pause(30);
    LoopbackServer::Send(fd, std::span(reply).subspan(4, 5));
    LoopbackServer::Pause(30);
    LoopbackServer::Send(fd, std::span(reply).subspan(9));
    LoopbackServer::ReadSome(fd, 1);  // until the client goes
  });
  CTcpLink link(MakePosixTcpSocket(), clock);
  CModbusMaster master(std::make_unique<MemorySerialPort>(clock), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({test::kLoopback, server.Port()}), 0);
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  EXPECT_EQ(reply, Bytes({1, 4, 1, 2, 3, 4}));
  link.Close(true);
  server.Join();
  EXPECT_EQ(request, Bytes({0, 0, 0, 0, 0, 6, 1, 4, 0, 0, 0, 2}));
}

TEST(TcpLinkLoopback, PeerClosingMidReplyGivesTooShortThenZeroAtOnce) {
  RealClock clock;
  LoopbackServer server;
  server.Serve([&](int fd) {
    LoopbackServer::ReadSome(fd, 12);
    LoopbackServer::Send(fd, Bytes({0, 0, 0, 0, 0, 7, 1}));
  });
  CTcpLink link(MakePosixTcpSocket(), clock);
  CModbusMaster master(std::make_unique<MemorySerialPort>(clock), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({test::kLoopback, server.Port()}), 0);
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  std::vector<uint8_t> reply;
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kNoReply);
  server.Join();
  std::vector<uint8_t> buffer(CTcpLink::kReceiveBufferSize);
  EXPECT_EQ(link.ReceiveReply(buffer), 0u);  // end of stream: no 5 s wait
  EXPECT_TRUE(link.PeerClosed());
}

TEST(TcpLinkLoopback, DrainAtStopIsBoundedWhenThePeerStaysSilent) {
  RealClock clock;
  LoopbackServer server;
  server.Serve([&](int fd) { LoopbackServer::ReadSome(fd, 1); });
  CTcpLink link(MakePosixTcpSocket(), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({test::kLoopback, server.Port()}), 0);
  link.Close(true);  // returns although the peer neither sends nor closes first
  EXPECT_FALSE(link.IsOpen());
  server.Join();
}

TEST(TcpLinkVirtual, FailedConnectClosesTheSocketAfterTheLimit) {
  VirtualClock clock;
  auto script = std::make_shared<test::FakeTcpSocket::Script>();
  script->connectOk = false;
  CTcpLink link(std::make_unique<test::FakeTcpSocket>(clock, script), clock);
  ASSERT_TRUE(link.Create());
  EXPECT_EQ(link.ConnectWithTimeout({0xC0A80001, 502}), -1);
  EXPECT_EQ(script->lastConnectLimitMs, CTcpLink::kConnectLimitMs);
  EXPECT_EQ(clock.MonotonicMs(), 10000u);
  EXPECT_EQ(script->lastIpv4, 0xC0A80001u);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(script->closes, 1);
}

TEST(TcpLinkVirtual, FrameLargerThanTheBufferIsRefusedNotOverrun) {
  VirtualClock clock;
  auto script = std::make_shared<test::FakeTcpSocket::Script>();
  CTcpLink link(std::make_unique<test::FakeTcpSocket>(clock, script), clock);
  ASSERT_TRUE(link.Create());
  script->segments.push_back({0, std::vector<uint8_t>(6000, 0x11)});
  std::vector<uint8_t> buffer(CTcpLink::kReceiveBufferSize);
  size_t gathered = 0;
  const size_t n = link.ReceiveFrame(
      buffer, [](std::span<const uint8_t>) { return FrameScan{FrameStatus::kNeedMore, 0}; },
      CTcpLink::kReplyLimitMs, &gathered);
  EXPECT_EQ(n, 0u);
  EXPECT_LE(gathered, CTcpLink::kReceiveBufferSize);
}

}  // namespace
}  // namespace tessvar
