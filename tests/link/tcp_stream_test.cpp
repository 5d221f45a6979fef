// The TCP byte stream keeps what follows a frame for the next receive: replies sent back to
// back, split across segments, or followed by garbage each come out exactly once, whole.
#include <gtest/gtest.h>

#include "link/link_result.h"
#include "link/modbus_master.h"
#include "link/tcp_link.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"
#include "tests/link/fake_tcp_socket.h"
#include "tests/link/link_test_util.h"

namespace tessvar {
namespace {

using test::Bytes;

// Two MODBUS TCP replies to "read 2 input registers" from unit 1, written from the MBAP
// layout: transaction, protocol 0, length 7, unit, function 4, byte count 4, two registers.
const std::vector<uint8_t> kReplyA = Bytes({0, 0, 0, 0, 0, 7, 1, 4, 4, 0, 10, 0, 11});
const std::vector<uint8_t> kReplyB = Bytes({0, 1, 0, 0, 0, 7, 1, 4, 4, 0x12, 0x34, 0, 13});
const std::vector<uint8_t> kValuesA = Bytes({1, 4, 0, 10, 0, 11});
const std::vector<uint8_t> kValuesB = Bytes({1, 4, 0x12, 0x34, 0, 13});

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
std::vector<uint8_t> Part(const std::vector<uint8_t>& v, size_t from, size_t to) {
  return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to)};
}

struct Expected {
  LinkResult result;
  std::vector<uint8_t> reply;
};

struct StreamCase {
  const char* name;
  std::vector<std::vector<uint8_t>> segments;  // 10 ms apart
  std::vector<Expected> receives;              // one receive per entry, in order
};

std::vector<StreamCase> Cases() {
  return {
      {"two replies in one segment", {Cat(kReplyA, kReplyB)},
       {{LinkResult::kGood, kValuesA}, {LinkResult::kGood, kValuesB}, {LinkResult::kNoReply, {}}}},
      {"one reply in three segments", {Part(kReplyA, 0, 3), Part(kReplyA, 3, 8), Part(kReplyA, 8, 13)},
       {{LinkResult::kGood, kValuesA}, {LinkResult::kNoReply, {}}}},
      {"a reply and the head of the next", {Cat(kReplyA, Part(kReplyB, 0, 4)), Part(kReplyB, 4, 13)},
       {{LinkResult::kGood, kValuesA}, {LinkResult::kGood, kValuesB}}},
      // The garbage claims a length of 0xFFFF: refused as an impossible header, not waited on.
      {"a reply followed by garbage", {Cat(kReplyA, std::vector<uint8_t>(9, 0xFF))},
       {{LinkResult::kGood, kValuesA}, {LinkResult::kError, {}}, {LinkResult::kNoReply, {}}}},
      // Garbage shorter than a header: judged as too short once the wait ends.
      {"a reply followed by a short tail", {Cat(kReplyA, Bytes({0x55, 0x55}))},
       {{LinkResult::kGood, kValuesA}, {LinkResult::kNoReply, {}}}},
  };
}

TEST(TcpStream, EveryFrameOnceAndWholeWhateverTheSegments) {
  for (const StreamCase& c : Cases()) {
    VirtualClock clock;
    auto net = std::make_shared<test::FakeTcpSocket::Script>();
    CTcpLink link(std::make_unique<test::FakeTcpSocket>(clock, net), clock);
    CModbusMaster master(std::make_unique<MemorySerialPort>(clock), clock);
    ASSERT_TRUE(link.Create());
    ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, 502}), 0);
    uint64_t at = clock.MonotonicMs();
    for (const auto& segment : c.segments) net->segments.push_back({at += 10, segment});

    for (size_t i = 0; i < c.receives.size(); ++i) {
      master.SendReadInputRegisters(false, 1, 0, 2, &link);
      std::vector<uint8_t> reply;
      EXPECT_EQ(master.ReceiveRtu(reply, &link), c.receives[i].result) << c.name << " #" << i;
      if (c.receives[i].result == LinkResult::kGood) {
        EXPECT_EQ(reply, c.receives[i].reply) << c.name << " #" << i;
      }
    }
    EXPECT_EQ(link.Pending(), 0u) << c.name << ": nothing left over";
    EXPECT_TRUE(net->segments.empty()) << c.name << ": every byte was read";
  }
}

TEST(TcpStream, AFrameAlreadyKeptNeedsNoWait) {
  VirtualClock clock;
  auto net = std::make_shared<test::FakeTcpSocket::Script>();
  CTcpLink link(std::make_unique<test::FakeTcpSocket>(clock, net), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, 502}), 0);
  net->segments.push_back({clock.MonotonicMs() + 10, Cat(kReplyA, kReplyB)});
  std::vector<uint8_t> buffer(CTcpLink::kReceiveBufferSize);
  ASSERT_EQ(link.ReceiveFrame(buffer, ScanMbapFrame), kReplyA.size());
  EXPECT_EQ(link.Pending(), kReplyB.size());
  const uint64_t before = clock.MonotonicMs();
  ASSERT_EQ(link.ReceiveFrame(buffer, ScanMbapFrame), kReplyB.size());
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 13), kReplyB);
  EXPECT_EQ(clock.MonotonicMs(), before) << "the kept frame came without touching the socket";
}

TEST(TcpStream, ANewConnectionForgetsWhatTheOldOneLeft) {
  VirtualClock clock;
  auto net = std::make_shared<test::FakeTcpSocket::Script>();
  CTcpLink link(std::make_unique<test::FakeTcpSocket>(clock, net), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, 502}), 0);
  net->segments.push_back({clock.MonotonicMs() + 10, Cat(kReplyA, kReplyB)});
  std::vector<uint8_t> buffer(CTcpLink::kReceiveBufferSize);
  ASSERT_EQ(link.ReceiveFrame(buffer, ScanMbapFrame), kReplyA.size());
  link.Close(false);
  EXPECT_EQ(link.Pending(), 0u);
}

}  // namespace
}  // namespace tessvar
