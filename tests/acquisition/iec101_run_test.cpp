// МЭК-101 runs of the main window against the simulated 101 station on the virtual clock:
// each read mode and monitor type gives the served values, and each fault of the station
// gives its status text, exactly one failure, a new link initialisation and no data set
// with other values than the served ones.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "acquisition/presentation.h"
#include "app/file_page.h"
#include "app/main_window_template.h"
#include "link/ft12_frames.h"
#include "platform/memory_serial_port.h"
#include "sim/iec101_station.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

constexpr int kStatus = 1189;
constexpr int kFailures = 1208;
constexpr int kAsdu = 1098;

int FieldOf(std::string_view name) {
  for (const auto& v : PresentedSlots())
    if (v.name == name) return FindValueField(v.slot)->fieldId;
  ADD_FAILURE() << "no field " << name;
  return -1;
}

// The 101 sample (addresses 1..8, address 3) served by the station, in codes.
struct Iec101Rig {
  Iec101Rig(sim::Iec101StationOptions o, std::vector<sim::Iec101FaultRule> rules,
            IecReadMode mode, int group = 0) {
    const std::string path = SamplePath("iec101.dat");
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    description = ReadDeviceDescription(bytes, {}, LoadOptions{"iec101.dat"}).description;
    sim::TransducerOptions to;
    for (uint16_t a = 1; a <= 8; ++a) to.pinned[a] = static_cast<uint16_t>(100 * a);
    to.pinned[7] = 50536;  // Udc2 -15000
    transducer = std::make_unique<sim::Transducer>(clock, description, to);
    faults = sim::Iec101FaultInjector(std::move(rules), 3);
    o.linkAddress = 3;
    station = std::make_unique<sim::Iec101Station>(o, description, *transducer, faults, stats);
    line->onWrite = [this](std::span<const uint8_t> b) {
      if (b.size() == 5 && b[0] == kFt12Fixed && (b[1] & 0x0F) == 9) ++statusRequests;
      station->Receive(b, clock.MonotonicMs());
    };
    clock.AddListener([this](uint64_t now) {
      const auto due = station->TakeDue(now);
      if (!due.empty()) MemorySerialPort::Deliver(*line, clock, due);
      if (window) statuses.insert(window->GetDialog().Text(kStatus));
    });
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
    seams.makeSerialPort = [this] { return std::make_unique<MemorySerialPort>(clock, line); };
    seams.configureSerial = [](std::string_view) {};
    window = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
    window->OnInitDialog();
    Dialog& d = window->GetDialog();
    d.UserClick(1107);
    host.fileAnswers.push_back(path);
    window->FilePage()->LoadDescriptionFile();
    d.UserSelect(1217, d.FindExact(1217, "ttyS7"));
    d.UserFocus(1094);
    host.RunPosted();
    d.UserClick(mode == IecReadMode::GroupPoll ? 1132 : mode == IecReadMode::Read102 ? 1133 : 1134);
    d.UserSelect(1127, group);
    if (window->Settings().displayMode == DisplayMode::PhysicalUnits) d.UserClick(1114);
    window->RunControl().SetDataSetListener([this] {
      udc1.push_back(window->GetDialog().Text(FieldOf("Udc1")));
      udc2.push_back(window->GetDialog().Text(FieldOf("Udc2")));
    });
  }
  ~Iec101Rig() { window.reset(); }
  bool RunDataSets(uint64_t n) {
    const uint64_t target = window->RunControl().DataSetsPresented() + n;
    host.RunFor(120000, [&] { return window->RunControl().DataSetsPresented() >= target; });
    return window->RunControl().DataSetsPresented() >= target;
  }

  VirtualClock clock;
  ScriptedHost host{clock};
  NullStore store;
  DeviceDescription description;
  std::unique_ptr<sim::Transducer> transducer;
  sim::SimStats stats;
  sim::Iec101FaultInjector faults;
  std::unique_ptr<sim::Iec101Station> station;
  std::shared_ptr<MemorySerialPort::Line> line = std::make_shared<MemorySerialPort::Line>();
  std::unique_ptr<CKrellonDlg> window;
  int statusRequests = 0;
  std::set<std::string> statuses;
  std::vector<std::string> udc1, udc2;
};

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
    Iec101Rig rig(Station(c.type, c.sq), {}, c.mode, c.group);
    rig.window->GetDialog().UserClick(1094);
    ASSERT_TRUE(rig.RunDataSets(3)) << what << " status " << rig.window->GetDialog().Text(kStatus);
    for (const auto& v : rig.udc1) EXPECT_EQ(v, "100") << what;
    for (const auto& v : rig.udc2) EXPECT_EQ(v, "-15000") << what;
    EXPECT_EQ(rig.window->GetDialog().Text(kAsdu), std::to_string(c.type)) << what;
    EXPECT_EQ(rig.window->Run().m_failureCount, 0u) << what;
    EXPECT_EQ(rig.statusRequests, 1) << what;  // soft restarts keep the link initialised
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
    Iec101Rig rig(Station(9, false), {*rule}, IecReadMode::GroupPoll);
    rig.window->GetDialog().UserClick(1094);
    ASSERT_TRUE(rig.RunDataSets(4)) << c.rule;
    EXPECT_TRUE(rig.statuses.count(c.status)) << c.rule << " never showed " << c.status;
    EXPECT_EQ(rig.window->Run().m_failureCount, 1u) << c.rule;
    EXPECT_EQ(rig.window->GetDialog().Text(kFailures), "1") << c.rule;
    EXPECT_EQ(rig.statusRequests, 2) << c.rule;  // the restart initialised the link anew
    for (const auto& v : rig.udc1) EXPECT_EQ(v, "100") << c.rule;
  }
}

TEST(Iec101Run, StartRefusals) {
  {
    // No answer to the status request: the run stops with its message.
    std::string error;
    auto rule = sim::ParseIec101FaultRule("no-reply:1", error);
    Iec101Rig rig(Station(9, false), {*rule}, IecReadMode::GroupPoll);
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
    Iec101Rig rig(Station(9, false), {*bad, *neg}, IecReadMode::GroupPoll);
    rig.window->GetDialog().UserClick(1094);
    EXPECT_FALSE(rig.window->Run().m_running);
    EXPECT_EQ(rig.host.LastMessageText(), "Неизвестный адрес объекта информации");
  }
}

}  // namespace
}  // namespace tessvar::test
