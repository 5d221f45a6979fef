// The main window's traffic capture during runs against the simulator: every frame on the
// wire is captured and decodes cleanly, and a fault the simulator injects shows as a marked
// frame and in the counters.
#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "app/main_window_template.h"
#include "app/trend_recorder.h"
#include "acquisition/presentation.h"
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

// The trend takes the value boxes' numbers after each data set, across the restart a failure
// causes, and notes each failure once.
TEST(TrafficRunTest, TrendFollowsTheValueBoxesAcrossARestart) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  sim::FaultRule rule;
  rule.kind = sim::FaultKind::NoReply;
  rule.trigger.count = 1;
  rule.trigger.skip = 3;
  rig.peer->SetFaults({rule});
  TrendRecorder trend(*rig.window, rig.clock);
  size_t udc1 = trend.QuantityCount();
  for (size_t q = 0; q < trend.QuantityCount(); ++q)
    if (trend.Name(q) == "Udc1") udc1 = q;
  ASSERT_LT(udc1, trend.QuantityCount());
  const int field = FindValueField(PresentedSlots()[udc1].slot)->fieldId;
  rig.Click(idc::kStart);
  std::vector<double> shown;
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(rig.RunDataSets(1));
    trend.Poll();
    shown.push_back(*ParsePresentedNumber(rig.Text(field)));
  }
  const auto& series = trend.Series(udc1);
  ASSERT_EQ(series.size(), shown.size());
  for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(series[i].value, shown[i]);
  for (size_t i = 1; i < series.size(); ++i) EXPECT_GT(series[i].seconds, series[i - 1].seconds);
  EXPECT_EQ(rig.State().m_failureCount, 1);
  ASSERT_EQ(trend.Failures().size(), 1u);
  EXPECT_FALSE(trend.Poll());  // nothing new: nothing added
  rig.Click(idc::kStop);
}

}  // namespace
}  // namespace tessvar::test
