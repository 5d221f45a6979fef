// The main window's traffic capture during runs against the simulator: every frame on the
// wire is captured and decodes cleanly, and a fault the simulator injects shows as a marked
// frame and in the counters.
#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "monitor/frame_summary.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

struct FaultCase {
  const char* name;
  ModbusFraming framing;
  sim::FaultRule rule;
  LinkResult expected;
  FrameDirection markedDirection;  // a silent device leaves the request marked
};

TEST(TrafficRunTest, FaultsAreMarkedAndCounted) {
  const auto once = [](sim::FaultKind kind, uint32_t arg) {
    sim::FaultRule r;
    r.kind = kind;
    r.arg = arg;
    r.trigger.count = 1;
    r.trigger.skip = 3;
    return r;
  };
  const std::vector<FaultCase> cases = {
      {"rtu no reply", ModbusFraming::Rtu, once(sim::FaultKind::NoReply, 0), LinkResult::kNoReply,
       FrameDirection::Sent},
      {"rtu bad crc", ModbusFraming::Rtu, once(sim::FaultKind::BadChecksum, 0), LinkResult::kBadChecksum,
       FrameDirection::Received},
      {"ascii exception 2", ModbusFraming::Ascii, once(sim::FaultKind::Exception, 2), LinkResult::kIllegalDataAddress,
       FrameDirection::Received},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig(c.framing == ModbusFraming::Rtu ? "rtu-two-channel.dat" : "ascii-dc.dat", c.framing);
    rig.peer->SetFaults({c.rule});
    rig.Click(idc::kStart);
    ASSERT_TRUE(rig.RunDataSets(6));
    auto& traffic = rig.window->Traffic();
    const auto frames = traffic.Frames();
    ASSERT_GE(frames.size(), 8u);
    size_t marked = 0;
    for (const auto& f : frames) {
      const auto s = monitor::SummariseFrame(f.bytes, f.direction, f.format);
      if (f.failure) {
        ++marked;
        EXPECT_EQ(*f.failure, c.expected);
        EXPECT_EQ(f.direction, c.markedDirection) << s.text;
      } else {
        EXPECT_NE(s.cls, monitor::FrameClass::kMalformed) << s.text;
        EXPECT_NE(s.cls, monitor::FrameClass::kException) << s.text;
      }
    }
    EXPECT_EQ(marked, 1u);
    const auto counters = traffic.Counters();
    EXPECT_EQ(counters.failures.at(ToByte(c.expected)), 1u);
    EXPECT_GE(counters.good, 3u);
    EXPECT_GE(counters.requests, counters.good + 1);
    rig.Click(idc::kStop);
  }
}

}  // namespace
}  // namespace tessvar::test
