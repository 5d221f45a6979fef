// The simulator's MODBUS sessions seen from the wire: requests built by our master's
// builders, replies checked by our master's parsers, on the virtual clock.
#include "sim/modbus_session.h"

#include <gtest/gtest.h>

#include "link/link_result.h"
#include "link/modbus_frames.h"
#include "platform/virtual_clock.h"
#include "tests/sim/sim_fixture.h"

namespace tessvar::sim {
namespace {

struct Rig {
  explicit Rig(ModbusFraming framing, std::vector<FaultRule> rules = {}, uint8_t address = 1)
      : transducer(clock, test::SmallDescription(), Pinned()),
        faults(std::move(rules), 5),
        session(ModbusSessionOptions{framing, address, 9600}, transducer, faults, stats) {}

  static TransducerOptions Pinned() {
    TransducerOptions o;
    o.pinned = {{0, 750}, {1, 300}, {2, 225}};
    return o;
  }
  // Feeds a frame and returns what the session sends back at once.
  std::vector<uint8_t> Exchange(std::span<const uint8_t> request) {
    session.Receive(request, clock.MonotonicMs());
    session.Tick(clock.MonotonicMs());
    return session.TakeDue(clock.MonotonicMs());
  }

  VirtualClock clock;
  Transducer transducer;
  FaultInjector faults;
  SimStats stats;
  ModbusSession session;
};

const uint8_t kQuantity3[] = {0, 3};
const ModbusExpectation kRead3{kModbusReadInputRegisters, 3};
// Marks a case that must produce no bytes at all (no RTU reply parses to this result).
constexpr LinkResult kNothingSent = LinkResult::kError;

FaultRule Rule(const char* text) {
  std::string error;
  auto r = ParseFaultRule(text, error);
  EXPECT_TRUE(r) << error;
  return r.value_or(FaultRule{});
}

TEST(ModbusSession, AnswersEachFramingWithTheServedValues) {
  const std::vector<uint8_t> want = {1, 4, 0x02, 0xEE, 0x01, 0x2C, 0x00, 0xE1};
  {
    Rig rig(ModbusFraming::Rtu);
    std::vector<uint8_t> reply;
    EXPECT_EQ(ParseRtuReply(rig.Exchange(BuildRtuRequest(1, 4, 0, kQuantity3)), reply, kRead3), LinkResult::kGood);
    EXPECT_EQ(reply, want);
  }
  {
    Rig rig(ModbusFraming::Ascii);
    std::vector<uint8_t> reply;
    EXPECT_EQ(ParseAsciiReply(rig.Exchange(BuildAsciiRequest(1, 4, 0, kQuantity3)), reply, kRead3), LinkResult::kGood);
    EXPECT_EQ(reply, want);
  }
  {
    Rig rig(ModbusFraming::Tcp);
    std::vector<uint8_t> reply;
    const auto out = rig.Exchange(BuildTcpRequest(0x4242, 1, 4, 0, kQuantity3));
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0], 0x42);  // transaction echoed
    EXPECT_EQ(ParseTcpReply(out, reply, kRead3), LinkResult::kGood);
    EXPECT_EQ(reply, want);
  }
}

TEST(ModbusSession, ClockWriteIsEchoedAndTakesEffect) {
  Rig rig(ModbusFraming::Rtu);
  // The three-register write with its seven data bytes, as the clock synchronisation sends it.
  const uint8_t data[] = {0, 3, 7, 0xDA, 0xC5, 0x0C, 0x22, 0x1A, 0x07, 0xE6};
  const auto request = BuildRtuRequest(1, 16, 0x100, data);
  ASSERT_EQ(request, (std::vector<uint8_t>{0x01, 0x10, 0x01, 0x00, 0x00, 0x03, 0x07, 0xDA, 0xC5, 0x0C,
                                           0x22, 0x1A, 0x07, 0xE6, 0xEF, 0x19}));
  std::vector<uint8_t> reply;
  ASSERT_EQ(ParseRtuReply(rig.Exchange(request), reply), LinkResult::kGood);
  EXPECT_EQ(reply, (std::vector<uint8_t>{1, 16, 0x01, 0x00, 0x00, 0x03}));
  EXPECT_EQ(rig.transducer.ClockOfDevice().Now().hour, 12);
  EXPECT_EQ(rig.transducer.ClockOfDevice().Now().minute, 34);
}

TEST(ModbusSession, RequestsARealDeviceRefusesOrIgnores) {
  struct Case {
    const char* what;
    std::vector<uint8_t> request;
    LinkResult result;  // of the reply, or kNothingSent for no reply at all
  };
  const uint8_t oversize[] = {0, 126};
  const uint8_t wide[] = {0, 9};
  auto badCrc = BuildRtuRequest(1, 4, 0, kQuantity3);
  badCrc.back() ^= 1;
  const Case cases[] = {
      {"quantity over 125", BuildRtuRequest(1, 4, 0, oversize), LinkResult::kIllegalDataValue},
      {"unmapped register", BuildRtuRequest(1, 4, 0x50, kQuantity3), LinkResult::kIllegalDataAddress},
      {"range leaves the map", BuildRtuRequest(1, 4, 0, wide), LinkResult::kIllegalDataAddress},
      {"write to a value", BuildRtuRequest(1, 16, 0, std::vector<uint8_t>{0, 1, 2, 0, 0}), LinkResult::kIllegalDataAddress},
      {"bad CRC", badCrc, kNothingSent},
      {"another address", BuildRtuRequest(2, 4, 0, kQuantity3), kNothingSent},
      {"broadcast", BuildRtuRequest(0, 4, 0, kQuantity3), kNothingSent},
  };
  for (const auto& c : cases) {
    Rig rig(ModbusFraming::Rtu);
    const auto out = rig.Exchange(c.request);
    if (c.result == kNothingSent) {
      EXPECT_TRUE(out.empty()) << c.what;
      continue;
    }
    std::vector<uint8_t> reply;
    EXPECT_EQ(ParseRtuReply(out, reply), c.result) << c.what;
  }
}

TEST(ModbusSession, RtuSilenceFramesRequests) {
  Rig rig(ModbusFraming::Rtu);
  const auto request = BuildRtuRequest(1, 4, 0, kQuantity3);
  // The first half, then a silence longer than t3.5 (4 ms at 9600 baud): the half is dropped
  // and the full frame that follows is answered.
  EXPECT_TRUE(rig.Exchange(std::span(request).first(4)).empty());
  rig.clock.Advance(10);
  rig.session.Tick(rig.clock.MonotonicMs());
  EXPECT_EQ(rig.stats.dropped, 1u);
  std::vector<uint8_t> reply;
  EXPECT_EQ(ParseRtuReply(rig.Exchange(request), reply, kRead3), LinkResult::kGood);

  // A frame written in two pieces within t3.5 is one frame.
  rig.Exchange(std::span(request).first(5));
  rig.clock.Advance(2);
  EXPECT_EQ(ParseRtuReply(rig.Exchange(std::span(request).subspan(5)), reply, kRead3), LinkResult::kGood);

  // Bytes read late (the serving loop was busy) that complete a good frame are one frame;
  // the same late bytes after a broken start are not glued to it.
  rig.Exchange(std::span(request).first(3));
  rig.clock.Advance(10);
  EXPECT_EQ(ParseRtuReply(rig.Exchange(std::span(request).subspan(3)), reply, kRead3), LinkResult::kGood);
  const uint8_t noise[] = {0x01, 0x04, 0x77};
  rig.Exchange(noise);
  rig.clock.Advance(10);
  EXPECT_EQ(ParseRtuReply(rig.Exchange(request), reply, kRead3), LinkResult::kGood);

  // A function the device does not know: exception 1 once the silence ends the frame.
  const uint8_t someData[] = {0x55, 0xAA};
  const auto unknown = BuildRtuRequest(1, 0x41, 0x0102, someData);
  EXPECT_TRUE(rig.Exchange(unknown).empty());
  ASSERT_TRUE(rig.session.NextDeadline());
  rig.clock.Advance(*rig.session.NextDeadline() - rig.clock.MonotonicMs());
  EXPECT_EQ(ParseRtuReply(rig.Exchange({}), reply), LinkResult::kIllegalFunction);
}

TEST(ModbusSession, RtuFaultsOnTheWire) {
  struct Case {
    const char* rule;
    LinkResult result;  // as our master's parser sees it
  };
  const Case cases[] = {
      {"no-reply:1", kNothingSent},
      {"bad-checksum:1", LinkResult::kBadChecksum},
      {"exception=4:1", LinkResult::kDeviceFailure},
      {"truncate:1", LinkResult::kBadChecksum},
      {"overcount:1", LinkResult::kNoReply},
      {"garbage=3:1", LinkResult::kBadChecksum},
  };
  for (const auto& c : cases) {
    Rig rig(ModbusFraming::Rtu, {Rule(c.rule)});
    const auto out = rig.Exchange(BuildRtuRequest(1, 4, 0, kQuantity3));
    std::vector<uint8_t> reply;
    if (c.result == kNothingSent) EXPECT_TRUE(out.empty()) << c.rule;
    else EXPECT_EQ(ParseRtuReply(out, reply, kRead3), c.result) << c.rule;
    // The fault is spent: the next request is answered normally.
    EXPECT_EQ(ParseRtuReply(rig.Exchange(BuildRtuRequest(1, 4, 0, kQuantity3)), reply, kRead3), LinkResult::kGood) << c.rule;
    EXPECT_EQ(rig.faults.applied[static_cast<size_t>(rig.faults.Rules()[0].kind)], 1u);
  }
}

TEST(ModbusSession, WrongAddressAndLateReply) {
  Rig rig(ModbusFraming::Rtu, {Rule("wrong-address:1"), Rule("late=800:1@1")});
  std::vector<uint8_t> reply;
  ASSERT_EQ(ParseRtuReply(rig.Exchange(BuildRtuRequest(1, 4, 0, kQuantity3)), reply, kRead3), LinkResult::kGood);
  EXPECT_EQ(reply[0], 2);  // a valid frame from address 2
  // The second reply waits 800 ms.
  EXPECT_TRUE(rig.Exchange(BuildRtuRequest(1, 4, 0, kQuantity3)).empty());
  EXPECT_EQ(*rig.session.NextDeadline(), rig.clock.MonotonicMs() + 800);
  rig.clock.Advance(799);
  EXPECT_TRUE(rig.session.TakeDue(rig.clock.MonotonicMs()).empty());
  rig.clock.Advance(1);
  EXPECT_EQ(ParseRtuReply(rig.session.TakeDue(rig.clock.MonotonicMs()), reply, kRead3), LinkResult::kGood);
  EXPECT_EQ(reply[0], 1);
}

TEST(ModbusSession, AsciiAndTcpFaults) {
  std::vector<uint8_t> reply;
  {
    Rig rig(ModbusFraming::Ascii, {Rule("bad-checksum:1")});
    EXPECT_EQ(ParseAsciiReply(rig.Exchange(BuildAsciiRequest(1, 4, 0, kQuantity3)), reply, kRead3),
              LinkResult::kBadChecksum);
  }
  {
    Rig rig(ModbusFraming::Ascii, {Rule("truncate:1")});
    const auto out = rig.Exchange(BuildAsciiRequest(1, 4, 0, kQuantity3));
    EXPECT_NE(out.back(), '\n');
    EXPECT_EQ(ParseAsciiReply(out, reply, kRead3), LinkResult::kBadStop);
  }
  {
    Rig rig(ModbusFraming::Tcp, {Rule("overcount:1")});
    EXPECT_EQ(ParseTcpReply(rig.Exchange(BuildTcpRequest(1, 1, 4, 0, kQuantity3)), reply, kRead3),
              LinkResult::kNoReply);
  }
  {
    // Truncated over TCP: the header promises more than arrives.
    Rig rig(ModbusFraming::Tcp, {Rule("truncate:1")});
    const auto out = rig.Exchange(BuildTcpRequest(1, 1, 4, 0, kQuantity3));
    ASSERT_TRUE(MbapFrameLength(out));
    EXPECT_GT(*MbapFrameLength(out), out.size());
  }
}

TEST(ModbusSession, TcpCloseAfterRepliesAndOnBrokenHeader) {
  Rig rig(ModbusFraming::Tcp, {Rule("close-after=2")});
  std::vector<uint8_t> reply;
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(rig.session.CloseRequested());
    EXPECT_EQ(ParseTcpReply(rig.Exchange(BuildTcpRequest(1, 1, 4, 0, kQuantity3)), reply, kRead3), LinkResult::kGood);
  }
  EXPECT_TRUE(rig.session.CloseRequested());

  Rig broken(ModbusFraming::Tcp);
  const uint8_t header[] = {0, 1, 0, 9, 0, 6, 1, 4, 0, 0, 0, 3};  // protocol id 9
  EXPECT_TRUE(broken.Exchange(header).empty());
  EXPECT_TRUE(broken.session.CloseRequested());
}

TEST(ModbusSession, GarbageInTheStreamNeverStopsTheSession) {
  Rig rig(ModbusFraming::Ascii);
  // Noise, a frame cut off by a new colon, then a good frame.
  std::vector<uint8_t> stream = {'x', 0x00, 0xFF, ':', '0', '1'};
  const auto good = BuildAsciiRequest(1, 4, 0, kQuantity3);
  stream.insert(stream.end(), good.begin(), good.end());
  std::vector<uint8_t> reply;
  EXPECT_EQ(ParseAsciiReply(rig.Exchange(stream), reply, kRead3), LinkResult::kGood);
  EXPECT_EQ(rig.stats.requests, 1u);
}

}  // namespace
}  // namespace tessvar::sim

namespace tessvar::sim {
namespace {

struct ServiceRig {
  explicit ServiceRig(ServiceInterface service)
      : transducer(clock, test::SmallDescription(), Options(std::move(service))),
        faults({}, 5),
        session(SessionOptions(), transducer, faults, stats) {}
  static TransducerOptions Options(ServiceInterface service) {
    TransducerOptions o;
    o.service = std::move(service);
    return o;
  }
  ModbusSessionOptions SessionOptions() {
    ModbusSessionOptions o{ModbusFraming::Rtu, 1, 9600};
    o.lineRate = [this] { return rate; };
    return o;
  }
  std::vector<uint8_t> Exchange(std::span<const uint8_t> request) {
    session.Receive(request, clock.MonotonicMs());
    session.Tick(clock.MonotonicMs());
    return session.TakeDue(clock.MonotonicMs());
  }
  // Everything the session sends from now until `ms` later.
  std::vector<uint8_t> SentWithin(uint64_t ms) {
    std::vector<uint8_t> out;
    for (uint64_t i = 0; i <= ms; ++i) {
      session.Tick(clock.MonotonicMs());
      const auto due = session.TakeDue(clock.MonotonicMs());
      out.insert(out.end(), due.begin(), due.end());
      clock.Advance(1);
    }
    return out;
  }
  uint32_t rate = 76800;
  VirtualClock clock;
  Transducer transducer;
  FaultInjector faults;
  SimStats stats;
  ModbusSession session;
};

TEST(ModbusSession, WakeUpBurstIsAnsweredAtTheRatesConfigured) {
  struct Step {
    uint64_t at;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Step> burst = {{0, {0}}, {75, {0}}, {275, {0}}};
  struct Case {
    const char* name;
    std::vector<Step> steps;
    uint32_t rate;
    bool answerFast, answerSlow;
    std::vector<uint8_t> answer;
  };
  const Case cases[] = {
      {"burst at 76800", burst, 76800, true, true, {0x12, 0x34}},
      {"burst at 4800", burst, 4800, true, true, {0x12, 0x34}},
      {"silent at the first rate", burst, 76800, false, true, {}},
      {"silent at the second rate", burst, 4800, true, false, {}},
      {"another rate is not a probe", burst, 9600, true, true, {}},
      {"unknown rate", burst, 0, true, false, {0x12, 0x34}},
      {"a frame octet in between", {{0, {0}}, {75, {0}}, {150, {0x01}}, {275, {0}}}, 76800, true, true, {}},
      {"zeros without pauses", {{0, {0}}, {5, {0}}, {10, {0}}}, 76800, true, true, {}},
      {"zeros too far apart", {{0, {0}}, {500, {0}}, {1000, {0}}}, 76800, true, true, {}},
      {"two zeros in one read", {{0, {0}}, {75, {0, 0}}, {275, {0}}}, 76800, true, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServiceInterface service;
    service.answerFastProbe = c.answerFast;
    service.answerSlowProbe = c.answerSlow;
    ServiceRig rig(service);
    rig.rate = c.rate;
    bool onlyLoneZeros = true;
    for (const Step& s : c.steps) {
      rig.clock.Advance(s.at - rig.clock.MonotonicMs());
      rig.session.Receive(s.bytes, rig.clock.MonotonicMs());
      onlyLoneZeros = onlyLoneZeros && s.bytes == std::vector<uint8_t>{0};
    }
    EXPECT_EQ(rig.SentWithin(40), c.answer);
    // Wake-up octets after a pause are not frames: nothing is counted as dropped.
    if (onlyLoneZeros && c.name != std::string("zeros without pauses")) {
      EXPECT_EQ(rig.stats.dropped, 0u);
    }
    EXPECT_EQ(rig.stats.requests, 0u);
  }
}

TEST(ModbusSession, RtcTestModeStartsOnlyWithTheRightCode) {
  ServiceInterface service;
  service.rtcTestCode = "QZ";
  struct Case {
    std::vector<uint8_t> code;
    LinkResult result;
    bool active;
  };
  const Case cases[] = {
      {{'T', 'V'}, LinkResult::kIllegalDataValue, false},
      {{'Q', 'Z'}, LinkResult::kGood, true},
  };
  for (const Case& c : cases) {
    ServiceRig rig(service);
    std::vector<uint8_t> reply;
    const auto sent = rig.Exchange(BuildRtuRequest(1, kModbusRtcTestFunction, 0, c.code));
    EXPECT_EQ(ParseRtuReply(sent, reply), c.result);
    EXPECT_EQ(rig.transducer.RtcTestActive(), c.active);
    if (c.active) {
      EXPECT_EQ(reply, (std::vector<uint8_t>{1, 0x76, 'Q', 'Z'}));
    }
  }
}

}  // namespace
}  // namespace tessvar::sim
