// The client's connection loop against the simulated IEC 104 station, on one thread and the
// virtual clock: every read mode and monitor type delivers the station's values, and every
// fault of the station ends the connection with its result or is weathered without loss.
#include <gtest/gtest.h>

#include <stop_token>

#include "iec104_harness.h"
#include "link/link_result.h"

namespace tessvar::sim {
namespace {

using namespace test;

TEST(Iec104Station, EveryModeAndMonitorTypeDeliversTheValues) {
  struct Case {
    IecReadMode mode;
    uint8_t type;
    bool sq;
  };
  std::vector<Case> cases;
  for (auto mode : {IecReadMode::GroupPoll, IecReadMode::Read102, IecReadMode::LinkLevelRead}) {
    for (uint8_t type : {9, 10, 21, 34, 35, 143}) {
      cases.push_back({mode, type, false});
      if (type == 9 || type == 21) cases.push_back({mode, type, true});
    }
  }
  for (const auto& c : cases) {
    Scenario run;
    run.mode = c.mode;
    run.station.monitorType = c.type;
    run.station.sequence = c.sq;
    run.station.cyclicMs = c.mode == IecReadMode::LinkLevelRead ? 1000 : 0;
    const auto o = Connect(run);
    const std::string name = "mode " + std::to_string(int(c.mode)) + " type " + std::to_string(c.type) +
                             (c.sq ? " SQ" : "");
    EXPECT_EQ(o.result, LinkResult::kGood) << name;
    ASSERT_EQ(o.sets.size(), 3u) << name;
    for (const auto& s : o.sets) {
      EXPECT_EQ(s->image, ExpectedImage(test::SmallDescription().entries.size())) << name;
      EXPECT_EQ(s->lastMonitorType, c.type) << name;
      EXPECT_TRUE(s->requestTime.has_value()) << name;
    }
  }
}

TEST(Iec104Station, ConverterTimeComesFromTheTimeTags) {
  for (uint8_t type : {10, 34, 143}) {
    Scenario run;
    run.station.monitorType = type;
    const auto o = Connect(run);
    ASSERT_FALSE(o.sets.empty());
    // The device clock starts at the host's local time: 2026-01-01 03:00 (UTC + 3 h).
    const auto& t = o.sets.front()->converterTime;
    EXPECT_EQ(t.minute, 0) << int(type);
    EXPECT_EQ(t.hour, type == 10 ? 0 : 3) << int(type);
    EXPECT_LT(t.milliseconds, 60000) << int(type);
  }
}

TEST(Iec104Station, FaultsEndTheConnectionWithTheirResult) {
  struct Case {
    const char* name;
    Iec104FaultPlan faults;
    LinkResult result;
    size_t minSets;
  };
  auto plan = [](auto set) {
    Iec104FaultPlan p;
    set(p);
    return p;
  };
  const Case cases[] = {
      {"close after 2 s", plan([](auto& p) { p.closeAfterMs = 2000; }), LinkResult::kError, 0},
      {"STOPDT act", plan([](auto& p) { p.stopDtAfterMs = 1500; }), LinkResult::kError, 1},
      {"negative confirmation", plan([](auto& p) { p.negativeCause = 0; }), LinkResult::kNegativeAck, 0},
      {"negative cause 44", plan([](auto& p) { p.negativeCause = 44; }), LinkResult::kUnknownType, 0},
      {"no answer", plan([](auto& p) { p.noAnswer = true; }), LinkResult::kNoReply, 0},
      {"garbage", plan([](auto& p) { p.garbageAfterMs = 1500; }), LinkResult::kBadStart, 1},
  };
  for (const auto& c : cases) {
    Scenario run;
    run.faults = c.faults;
    run.stopAfterSets = 1000;
    const auto o = Connect(run);
    EXPECT_EQ(o.result, c.result) << c.name;
    EXPECT_GE(o.sets.size(), c.minSets) << c.name;
    EXPECT_LT(o.endedAtMs, 20000u) << c.name;
  }
}

TEST(Iec104Station, WeatheredFaultsLoseNothing) {
  struct Case {
    const char* name;
    Iec104FaultPlan faults;
  };
  auto plan = [](auto set) {
    Iec104FaultPlan p;
    set(p);
    return p;
  };
  const Case cases[] = {
      {"burst above 5000 octets", plan([](auto& p) { p.burst = true; })},
      {"APDUs split at every offset", plan([](auto& p) { p.split = true; })},
      {"TESTFR act every 300 ms", plan([](auto& p) { p.testFrEveryMs = 300; })},
  };
  for (const auto& c : cases) {
    for (auto mode : {IecReadMode::GroupPoll, IecReadMode::LinkLevelRead}) {
      Scenario run;
      run.mode = mode;
      run.faults = c.faults;
      run.station.cyclicMs = mode == IecReadMode::LinkLevelRead ? 700 : 0;
      run.stopAfterSets = 12;
      const auto o = Connect(run);
      EXPECT_EQ(o.result, LinkResult::kGood) << c.name;
      ASSERT_GE(o.sets.size(), 12u) << c.name;
      for (const auto& s : o.sets) EXPECT_EQ(s->image, ExpectedImage(12)) << c.name;
    }
  }
}

TEST(Iec104Station, SlowCyclicDataKeepsAStationThatWaitsForAcknowledgement) {
  // One I-format every 3 s: fewer than 8 within the station's t1 of 15 s.
  Scenario run;
  run.mode = IecReadMode::LinkLevelRead;
  run.station.cyclicMs = 3000;
  run.stopAfterSets = 20;
  run.limitMs = 100000;
  const auto o = Connect(run);
  EXPECT_EQ(o.result, LinkResult::kGood);
  EXPECT_EQ(o.sets.size(), 20u);
}

TEST(Iec104Station, RefusedReadShowsItsMessage) {
  Scenario run;
  run.mode = IecReadMode::Read102;
  Iec104FaultPlan p;
  p.negativeCause = 47;
  run.faults = p;
  const auto o = Connect(run);
  EXPECT_EQ(o.messages, std::vector<std::string>{"Неизвестный адрес объекта информации"});
  EXPECT_EQ(o.result, LinkResult::kUnknownObjectAddress);
}

}  // namespace
}  // namespace tessvar::sim
