#include "link/rtc_probe.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include "link/modbus_master.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"

namespace tessvar::test {
namespace {

TEST(RtcProbeTest, AnswerWordFromTheOctetsRead) {
  struct Case {
    std::vector<uint8_t> octets;
    uint16_t answer;
  };
  const Case cases[] = {
      {{}, 0xFFFF},
      {{0x12, 0x34}, 0x1234},
      {{0x12, 0x34, 0x56}, 0x1234},  // only the first two count
      {{0xFF, 0xFF}, 0xFFFF},
      {{0x56}, 0x56FF},              // a lone octet is an answer ...
      {{0xFF}, 0xFFFF},              // ... unless it is 0xFF
      {{0x00, 0x00}, 0x0000},
  };
  for (const Case& c : cases) EXPECT_EQ(ProbeAnswerFrom(c.octets), c.answer);
}

// A transducer scripted by hand: it answers the third zero octet of a burst with the octets
// given for the rate the line was at, and records when each octet was written.
struct ProbeRig {
  VirtualClock clock;
  std::shared_ptr<MemorySerialPort::Line> line = std::make_shared<MemorySerialPort::Line>();
  std::map<uint32_t, std::vector<uint8_t>> answers;  // by the rate of the burst
  std::vector<std::pair<uint64_t, uint32_t>> zeros;  // time, rate
  CModbusMaster master{std::make_unique<MemorySerialPort>(clock, line), clock};

  ProbeRig() {
    line->onWrite = [this](std::span<const uint8_t> bytes) {
      for (uint8_t b : bytes) {
        ASSERT_EQ(b, 0x00);
        const uint32_t rate = line->config->baudRate;
        zeros.emplace_back(clock.MonotonicMs(), rate);
        const size_t atThisRate = static_cast<size_t>(std::count_if(
            zeros.begin(), zeros.end(), [rate](const auto& z) { return z.second == rate; }));
        auto it = answers.find(rate);
        if (atThisRate % 3 == 0 && it != answers.end())
          MemorySerialPort::Deliver(*line, clock, it->second, 10, 1);
      }
    };
    master.Serial().Open("ttyS0");
  }
  std::vector<uint32_t> Rates() const {
    std::vector<uint32_t> r;
    for (const auto& c : line->configured) r.push_back(c.baudRate);
    return r;
  }
};

TEST(RtcProbeTest, BurstsRatesAndOutcomes) {
  struct Case {
    const char* name;
    std::map<uint32_t, std::vector<uint8_t>> answers;
    uint16_t expected;
    std::vector<uint32_t> rates;  // every configuration, in order
  };
  const Case cases[] = {
      {"answer at the first rate skips 4800", {{76800, {0x12, 0x34}}}, 0x1234,
       {76800, 19200, 19200}},
      {"FF FF at 76800 is tried again at 4800", {{76800, {0xFF, 0xFF}}, {4800, {0x12, 0x34}}},
       0x1234, {76800, 19200, 4800, 19200, 19200}},
      {"silent at 76800, answer at 4800", {{4800, {0xAB, 0xCD}}}, 0xABCD,
       {76800, 19200, 4800, 19200, 19200}},
      {"no answer anywhere", {}, 0xFFFF, {76800, 19200, 4800, 19200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeRig rig;
    rig.answers = c.answers;
    EXPECT_EQ(rig.master.ProbeRtcMode(), c.expected);
    EXPECT_EQ(rig.Rates(), c.rates);
    // The answer is read at 19200,E,8,1 and the line is left there after an answer.
    for (const SerialConfig& cfg : rig.line->configured) {
      EXPECT_EQ(cfg.dataBits, 8);
      EXPECT_EQ(cfg.stopBits, SerialStopBits::One);
      EXPECT_EQ(cfg.parity, cfg.baudRate == 19200 ? SerialParity::Even : SerialParity::None);
    }
  }
}

TEST(RtcProbeTest, BurstSpacingAndSilenceWait) {
  ProbeRig rig;
  rig.answers = {{4800, {0x01, 0x02}}};
  rig.master.ProbeRtcMode();
  ASSERT_EQ(rig.zeros.size(), 6u);
  // A quiet line: the first burst begins once 250 ms passed without a byte.
  EXPECT_GE(rig.zeros[0].first, 250u);
  EXPECT_LE(rig.zeros[0].first, 252u);
  const uint64_t gaps[] = {75, 200, 50};  // third gap: the pause before the answer read
  for (size_t burst = 0; burst < 2; ++burst) {
    const size_t k = burst * 3;
    EXPECT_EQ(rig.zeros[k + 1].first - rig.zeros[k].first, gaps[0]);
    EXPECT_EQ(rig.zeros[k + 2].first - rig.zeros[k + 1].first, gaps[1]);
  }
  // The second burst follows the first answer read at once, no second silence wait.
  EXPECT_EQ(rig.zeros[3].first - rig.zeros[2].first, gaps[2]);
}

TEST(RtcProbeTest, ChatterIsDrainedBeforeTheBurst) {
  ProbeRig rig;
  rig.answers = {{76800, {0x12, 0x34}}};
  // Another station's octets arrive for 120 ms, one every 10 ms, beginning 30 ms in.
  std::vector<uint8_t> chatter(12, 0x55);
  MemorySerialPort::Deliver(*rig.line, rig.clock, chatter, 30, 10);
  EXPECT_EQ(rig.master.ProbeRtcMode(), 0x1234);
  ASSERT_FALSE(rig.zeros.empty());
  // The first chatter octet is seen at 30 ms; reads every 25 ms until one finds nothing.
  EXPECT_GE(rig.zeros[0].first, 150u);
  EXPECT_LT(rig.zeros[0].first, 250u);
}

TEST(RtcProbeTest, EndlessChatterDoesNotHoldTheProbe) {
  ProbeRig rig;
  std::vector<uint8_t> chatter(2000, 0x55);
  MemorySerialPort::Deliver(*rig.line, rig.clock, chatter, 0, 1);
  const uint64_t start = rig.clock.MonotonicMs();
  rig.master.ProbeRtcMode();
  EXPECT_LT(rig.clock.MonotonicMs() - start, 2500u);
}

}  // namespace
}  // namespace tessvar::test
