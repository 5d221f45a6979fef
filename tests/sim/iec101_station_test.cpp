// The simulated IEC 60870-5-101 station: its exact answers to hand-written primary frames,
// the monitor ASDUs it builds, and what each fault makes of an answer as the client judges it.
#include "sim/iec101_station.h"

#include <gtest/gtest.h>

#include "link/iec101_link.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"
#include "tests/sim/sim_fixture.h"

namespace tessvar::sim {
namespace {

std::vector<uint8_t> B(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int x : v) out.push_back(static_cast<uint8_t>(x));
  return out;
}

TransducerOptions Pinned() {
  TransducerOptions o;
  for (uint16_t a = 0; a < 8; ++a) o.pinned[a] = static_cast<uint16_t>(0x1100 + a);
  return o;
}

struct StationFixture : ::testing::Test {
  VirtualClock clock;
  DeviceDescription description = test::SmallDescription();
  Transducer transducer{clock, description, Pinned()};
  SimStats stats;
  Iec101FaultInjector faults;
  std::unique_ptr<Iec101Station> station;

  void Make(Iec101StationOptions o, std::vector<Iec101FaultRule> rules = {}) {
    faults = Iec101FaultInjector(std::move(rules), 1);
    station = std::make_unique<Iec101Station>(o, description, transducer, faults, stats);
  }
  std::vector<uint8_t> Ask(const std::vector<uint8_t>& frame) {
    station->Receive(frame, clock.MonotonicMs());
    return station->TakeDue(clock.MonotonicMs());
  }
  static Iec101StationOptions Options(uint8_t type = kMeNa1, bool sq = false) {
    Iec101StationOptions o;
    o.linkAddress = 5;
    o.sizes = {1, 1, 2};
    o.monitorType = type;
    o.sequence = sq;
    return o;
  }
};

TEST_F(StationFixture, AnswersAStationInterrogationExactly) {
  Make(Options());
  EXPECT_EQ(Ask(B({0x10, 0x49, 0x05, 0x4E, 0x16})), B({0x10, 0x0B, 0x05, 0x10, 0x16}));
  EXPECT_EQ(Ask(B({0x10, 0x40, 0x05, 0x45, 0x16})), B({0x10, 0x00, 0x05, 0x05, 0x16}));
  EXPECT_EQ(Ask(B({0x68, 0x09, 0x09, 0x68, 0x73, 0x05, 0x64, 0x01, 0x06, 0x05, 0x00, 0x00,
                   0x14, 0xFC, 0x16})),
            B({0x10, 0x00, 0x05, 0x05, 0x16}));
  // Class 2, FCB 0: the activation confirmation.
  EXPECT_EQ(Ask(B({0x10, 0x5B, 0x05, 0x60, 0x16})),
            B({0x68, 0x09, 0x09, 0x68, 0x08, 0x05, 0x64, 0x01, 0x07, 0x05, 0x00, 0x00, 0x14,
               0x92, 0x16}));
  // Class 2, FCB 1: the eight served entries (the clock entries are not values), cause 20.
  const auto data = Ask(B({0x10, 0x7B, 0x05, 0x80, 0x16}));
  ASSERT_EQ(data.size(), 6u + 2u + 4u + 8u * 5u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 6, data.begin() + 17),
            B({0x09, 0x08, 0x14, 0x05, 0x00, 0x00, 0x00, 0x11, 0x00, 0x01, 0x00}));
  // The same FCB again: the answer is repeated, the queue does not move.
  EXPECT_EQ(Ask(B({0x10, 0x7B, 0x05, 0x80, 0x16})), data);
  const auto term = Ask(B({0x10, 0x5B, 0x05, 0x60, 0x16}));
  ASSERT_EQ(term.size(), 15u);
  EXPECT_EQ(term[8], kCauseActivationTerm);
  // Frames for another address or with a bad sum get nothing.
  EXPECT_TRUE(Ask(B({0x10, 0x49, 0x06, 0x4F, 0x16})).empty());
  EXPECT_TRUE(Ask(B({0x10, 0x49, 0x05, 0x4F, 0x16})).empty());
  EXPECT_EQ(stats.ignored, 1u);
  EXPECT_EQ(stats.dropped, 1u);
}

TEST(Iec101Monitor, AsdusAreExactOctets) {
  const WallTime t{2026, 1, 2, 5, 3, 4, 5, 6};  // 5.006 s = 0x138E
  const std::vector<Iec101Point> points = {{0x10, 0x1234}, {0x11, 0x5678}, {0x20, 0x0001}};
  struct Case {
    uint8_t type;
    bool sq;
    std::vector<std::vector<uint8_t>> asdus;
  };
  const std::vector<Case> cases = {
      {9, false, {B({9, 3, 20, 1, 0x10, 0, 0x34, 0x12, 0, 0x11, 0, 0x78, 0x56, 0, 0x20, 0, 1, 0, 0})}},
      {9, true, {B({9, 0x82, 20, 1, 0x10, 0, 0x34, 0x12, 0, 0x78, 0x56, 0}),
                 B({9, 0x81, 20, 1, 0x20, 0, 1, 0, 0})}},
      {21, true, {B({21, 0x82, 20, 1, 0x10, 0, 0x34, 0x12, 0x78, 0x56}), B({21, 0x81, 20, 1, 0x20, 0, 1, 0})}},
      {10, true, {B({10, 3, 20, 1, 0x10, 0, 0x34, 0x12, 0, 0x8E, 0x13, 4, 0x11, 0, 0x78, 0x56, 0,
                     0x8E, 0x13, 4, 0x20, 0, 1, 0, 0, 0x8E, 0x13, 4})}},
      {34, false, {B({34, 3, 20, 1, 0x10, 0, 0x34, 0x12, 0, 0x8E, 0x13, 4, 3, 0xA2, 1, 26,
                      0x11, 0, 0x78, 0x56, 0, 0x8E, 0x13, 4, 3, 0xA2, 1, 26,
                      0x20, 0, 1, 0, 0, 0x8E, 0x13, 4, 3, 0xA2, 1, 26})}},
      {143, false, {B({143, 0x82, 20, 1, 0x10, 0, 0x34, 0x12, 0, 0x78, 0x56, 0, 0x8E, 0x13, 4, 3}),
                    B({143, 0x81, 20, 1, 0x20, 0, 1, 0, 0, 0x8E, 0x13, 4, 3})}},
  };
  for (const auto& c : cases) {
    Iec101Format f;
    f.type = c.type;
    f.sequence = c.sq;
    f.sizes = {1, 1, 2};
    EXPECT_EQ(BuildIec101MonitorAsdus(f, 20, points, t), c.asdus) << int(c.type) << " sq " << c.sq;
  }
  // A frame's worth: 100 consecutive points of type 9 with SQ = 0 split at 249 octets.
  std::vector<Iec101Point> many;
  for (uint32_t a = 0; a < 100; ++a) many.push_back({a, 0});
  Iec101Format f;
  f.sizes = {2, 2, 3};
  const auto split = BuildIec101MonitorAsdus(f, 1, many, t);
  // 6 header octets, then 6 per object: 40 objects fill 246 octets.
  ASSERT_EQ(split.size(), 3u);
  EXPECT_EQ(split[0].size(), 246u);
  EXPECT_EQ(split[0][1] + split[1][1] + split[2][1], 100);
}

// The client's link against the station over an in-memory line: what each fault gives.
TEST(Iec101StationFaults, AsTheClientJudgesThem) {
  struct Case {
    const char* rule;
    uint8_t result;
  };
  const std::vector<Case> cases = {
      {"", 0},           {"no-reply", 4},   {"bad-checksum", 3}, {"bad-start", 1},
      {"bad-end", 2},    {"short", 7},      {"e5", 229},         {"nack", 1},
      {"acd", 255},      {"negative=44", 44}, {"negative-plain=47", 47}, {"late=900", 4},
  };
  for (const auto& c : cases) {
    std::vector<Iec101FaultRule> rules;
    if (*c.rule) {
      std::string error;
      // The fault hits the fourth frame: status, reset, interrogation, then the class 2 poll.
      auto r = ParseIec101FaultRule(std::string(c.rule) + ":1@3", error);
      ASSERT_TRUE(r) << error;
      rules.push_back(*r);
    }
    VirtualClock clock;
    const DeviceDescription description = test::SmallDescription();
    Transducer transducer{clock, description, Pinned()};
    SimStats stats;
    Iec101FaultInjector faults(rules, 1);
    Iec101Station station(StationFixture::Options(), description, transducer, faults, stats);
    auto wire = std::make_shared<MemorySerialPort::Line>();
    wire->onWrite = [&](std::span<const uint8_t> bytes) { station.Receive(bytes, clock.MonotonicMs()); };
    clock.AddListener([&](uint64_t now) {
      const auto due = station.TakeDue(now);
      if (!due.empty()) MemorySerialPort::Deliver(*wire, clock, due);
    });
    CSerialLine line(std::make_unique<MemorySerialPort>(clock, wire), clock);
    ASSERT_TRUE(line.Open("ttyS0"));
    CIec101Link link;
    link.SetHandle(&line);
    Iec101LinkParams p;
    p.addressSize = 1;
    auto decoder = MakeAsduDecoder(description, p.Asdu(), IecReadMode::GroupPoll, 0);
    ASSERT_TRUE(link.RequestLinkStatus(5, p)) << c.rule;
    EXPECT_TRUE(link.ResetRemoteLink(5, p)) << c.rule;
    link.SendConfirmed(5, p, BuildInterrogation(5, 0, 6, 0, p.Asdu(), kIec101Originator));
    clock.Sleep(350);
    std::vector<uint8_t> reply;
    EXPECT_EQ(link.ReceiveFrame(reply, p, decoder), 0) << c.rule;
    link.RequestClass2(5, p);
    clock.Sleep(500);
    EXPECT_EQ(link.ReceiveFrame(reply, p, decoder), c.result) << c.rule;
    EXPECT_TRUE(reply.empty()) << c.rule;
  }
}

}  // namespace
}  // namespace tessvar::sim
