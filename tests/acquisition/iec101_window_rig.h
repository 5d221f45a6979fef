#pragma once
// The main window running МЭК-101 on the virtual clock against the simulated 101 station
// serving the 101 sample at link address 3. The rig keeps what crossed the line, every
// status text shown and Udc1/Udc2 of each data set, for the tests to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "acquisition/presentation.h"
#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/main_window_template.h"
#include "link/ft12_frames.h"
#include "platform/memory_serial_port.h"
#include "sim/iec101_faults.h"
#include "sim/iec101_station.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {

// What differs between the runs; the defaults are a group poll in physical units whose
// description gains the clock entries the sample lacks, so the clock commands have a clock
// to set.
struct Iec101RigOptions {
  sim::Iec101StationOptions station;  // its link address is always 3
  std::vector<sim::Iec101FaultRule> faults;
  sim::TransducerOptions transducer;
  IecProfile profile = IecProfile::Transducer;
  IecReadMode mode = IecReadMode::GroupPoll;
  int group = 0;
  bool codes = false;  // show the values in codes instead of physical units
  bool clockEntries = true;
};

// The field showing the presented quantity `name`, or -1.
inline int FieldOf(std::string_view name) {
  for (const auto& v : PresentedSlots())
    if (v.name == name) return FindValueField(v.slot)->fieldId;
  ADD_FAILURE() << "no field " << name;
  return -1;
}

struct Iec101WindowRig {
  explicit Iec101WindowRig(Iec101RigOptions o = {}) {
    const std::string path = SamplePath("iec101.dat");
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    description = ReadDeviceDescription(bytes, {}, LoadOptions{"iec101.dat"}).description;
    transducer = std::make_unique<sim::Transducer>(clock, description, o.transducer);
    faults = sim::Iec101FaultInjector(std::move(o.faults), 3);
    o.station.linkAddress = 3;
    station = std::make_unique<sim::Iec101Station>(o.station, description, *transducer, faults, stats);
    line->onWrite = [this](std::span<const uint8_t> b) {
      sent.emplace_back(b.begin(), b.end());
      station->Receive(b, clock.MonotonicMs());
    };
    clock.AddListener([this](uint64_t now) {
      const auto due = station->TakeDue(now);
      if (!due.empty()) {
        received.push_back(due);
        MemorySerialPort::Deliver(*line, clock, due);
      }
      if (window) statuses.insert(Text(idc::kStatusLine));
    });
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
    seams.makeSerialPort = [this] { return std::make_unique<MemorySerialPort>(clock, line); };
    seams.configureSerial = [](std::string_view) {};
    window = OpenWithDescription(host, clock, store, std::move(seams), path);
    Dialog& d = window->GetDialog();
    d.UserSelect(idc::kPortList, d.FindExact(idc::kPortList, "ttyS7"));
    ChooseReadMode(*window, host, o.mode);
    d.UserSelect(idc::kGroupList, o.group);
    if (o.codes && window->Settings().displayMode == DisplayMode::PhysicalUnits)
      d.UserClick(idc::kDisplayMode);
    window->Settings().iecProfile = o.profile;
    if (o.clockEntries) AddClockEntries(*window);
    window->RunControl().SetDataSetListener([this] {
      udc1.push_back(Text(FieldOf("Udc1")));
      udc2.push_back(Text(FieldOf("Udc2")));
    });
  }
  ~Iec101WindowRig() { window.reset(); }

  void Click(int id) { window->GetDialog().UserClick(id); }
  // Starts the run and, once its first data set is in, arms the station fault `ruleText`
  // (sim/iec101_faults.h syntax); an error text when either fails.
  std::string StartThenArm(const std::string& ruleText) {
    Click(idc::kStart);
    if (!RunDataSets(1)) return "no first data set";
    std::string error;
    const auto rule = sim::ParseIec101FaultRule(ruleText, error);
    if (!rule) return error;
    faults = sim::Iec101FaultInjector({*rule}, 3);
    return {};
  }
  std::string Text(int id) const { return window->GetDialog().Text(id); }
  bool RunDataSets(uint64_t n, uint64_t limitMs = 120000) {
    const uint64_t target = DataSets() + n;
    host.RunFor(limitMs, [&] { return DataSets() >= target; });
    return DataSets() >= target;
  }
  uint64_t DataSets() const { return window->RunControl().DataSetsPresented(); }
  uint32_t Failures() const { return window->Run().m_failureCount; }
  // The link status requests the client sent (fixed frames of function 9).
  int StatusRequests() const {
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), [](const auto& b) {
      return b.size() == 5 && b[0] == kFt12Fixed && (b[1] & 0x0F) == 9;
    }));
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
  std::vector<std::vector<uint8_t>> sent, received;  // each write, each delivery
  std::set<std::string> statuses;
  std::vector<std::string> udc1, udc2;  // one text a data set
};

}  // namespace tessvar::test
