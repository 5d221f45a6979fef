// МЭК-101 runs of the main window against the simulated 101 station on the virtual clock:
// each read mode and monitor type gives the served values, and each fault of the station
// gives its status text, exactly one failure, a new link initialisation and no data set
// with other values than the served ones.
#include <gtest/gtest.h>

#include "tests/acquisition/iec101_window_rig.h"

namespace tessvar::test {
namespace {

constexpr int kStatus = 1189;
constexpr int kFailures = 1208;
constexpr int kAsdu = 1098;

// The 101 sample (addresses 1..8, address 3) served by the station, in codes.
Iec101RigOptions Served(sim::Iec101StationOptions o, std::vector<sim::Iec101FaultRule> rules,
                        IecReadMode mode, int group = 0) {
  Iec101RigOptions r;
  r.station = o;
  r.faults = std::move(rules);
  r.mode = mode;
  r.group = group;
  r.codes = true;
  r.clockEntries = false;
  for (uint16_t a = 1; a <= 8; ++a) r.transducer.pinned[a] = static_cast<uint16_t>(100 * a);
  r.transducer.pinned[7] = 50536;  // Udc2 -15000
  return r;
}

sim::Iec101StationOptions Station(uint8_t type, bool sq) {
  sim::Iec101StationOptions o;
  o.sizes = {1, 1, 2};
  o.monitorType = type;
  o.sequence = sq;
  return o;
}

TEST(Iec101Run, EveryModeAndMonitorTypeGivesTheServedValues) {
  struct Case {
    IecReadMode mode;
    int group;
    uint8_t type;
    bool sq;
  };
  const Case cases[] = {
      {IecReadMode::GroupPoll, 0, 9, false},  {IecReadMode::GroupPoll, 1, 9, true},
      {IecReadMode::GroupPoll, 0, 34, false}, {IecReadMode::Read102, 0, 21, true},
      {IecReadMode::Read102, 0, 35, false},   {IecReadMode::LinkLevelRead, 0, 10, false},
      {IecReadMode::LinkLevelRead, 0, 143, true},
  };
  for (const auto& c : cases) {
    const std::string what = "mode " + std::to_string(int(c.mode)) + " group " +
                             std::to_string(c.group) + " type " + std::to_string(c.type);
    Iec101WindowRig rig(Served(Station(c.type, c.sq), {}, c.mode, c.group));
    rig.window->GetDialog().UserClick(1094);
    ASSERT_TRUE(rig.RunDataSets(3)) << what << " status " << rig.window->GetDialog().Text(kStatus);
    for (const auto& v : rig.udc1) EXPECT_EQ(v, "100") << what;
    for (const auto& v : rig.udc2) EXPECT_EQ(v, "-15000") << what;
    EXPECT_EQ(rig.window->GetDialog().Text(kAsdu), std::to_string(c.type)) << what;
    EXPECT_EQ(rig.window->Run().m_failureCount, 0u) << what;
    EXPECT_EQ(rig.StatusRequests(), 1) << what;  // soft restarts keep the link initialised
  }
}

TEST(Iec101Run, RecoveryMatrix) {
  struct Case {
    const char* rule;
    std::string status;
  };
  const std::vector<Case> cases = {
      {"no-reply", "Буфер обмена пуст"},
      {"bad-checksum", "Ошибка контрольной суммы"},
      {"bad-start", "Ошибка при приеме стартового байта"},
      {"bad-end", "Ошибка при приеме стопового байта"},
      {"short", "Ошибка"},
      {"e5", "Ошибка"},
      {"nack", "Ошибка при приеме стартового байта"},
      {"acd", "Ошибка"},
      {"negative=44", "Неизвестный идентификатор типа"},
      {"negative-plain=45", "Неизвестная причина передачи"},
      {"negative=47", "Неизвестный адрес объекта информации"},
      {"late=2000", "Буфер обмена пуст"},
  };
  for (const auto& c : cases) {
    std::string error;
    // The eighth frame: status, reset, interrogation, three class 2 polls (confirmation,
    // data, termination), the next interrogation, then this class 2 poll.
    auto rule = sim::ParseIec101FaultRule(std::string(c.rule) + ":1@7", error);
    ASSERT_TRUE(rule) << error;
    Iec101WindowRig rig(Served(Station(9, false), {*rule}, IecReadMode::GroupPoll));
    rig.window->GetDialog().UserClick(1094);
    ASSERT_TRUE(rig.RunDataSets(4)) << c.rule;
    EXPECT_TRUE(rig.statuses.count(c.status)) << c.rule << " never showed " << c.status;
    EXPECT_EQ(rig.window->Run().m_failureCount, 1u) << c.rule;
    EXPECT_EQ(rig.window->GetDialog().Text(kFailures), "1") << c.rule;
    EXPECT_EQ(rig.StatusRequests(), 2) << c.rule;  // the restart initialised the link anew
    for (const auto& v : rig.udc1) EXPECT_EQ(v, "100") << c.rule;
  }
}

TEST(Iec101Run, StartRefusals) {
  {
    // No answer to the status request: the run stops with its message.
    std::string error;
    auto rule = sim::ParseIec101FaultRule("no-reply:1", error);
    Iec101WindowRig rig(Served(Station(9, false), {*rule}, IecReadMode::GroupPoll));
    rig.window->GetDialog().UserClick(1094);
    EXPECT_FALSE(rig.window->Run().m_running);
    EXPECT_EQ(rig.host.LastMessageText(), "Ошибка при инициализации канала");
  }
  {
    // The interrogation's acknowledgement is bad and the class 2 poll after it carries a
    // negative cause: the run stops with that cause's text.
    std::string error;
    auto bad = sim::ParseIec101FaultRule("bad-end:1@2", error);
    auto neg = sim::ParseIec101FaultRule("negative=47:1@3", error);
    Iec101WindowRig rig(Served(Station(9, false), {*bad, *neg}, IecReadMode::GroupPoll));
    rig.window->GetDialog().UserClick(1094);
    EXPECT_FALSE(rig.window->Run().m_running);
    EXPECT_EQ(rig.host.LastMessageText(), "Неизвестный адрес объекта информации");
  }
}

}  // namespace
}  // namespace tessvar::test
