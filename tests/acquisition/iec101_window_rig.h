#pragma once
// The main window running МЭК-101 (group poll) on the virtual clock against the simulated
// 101 station serving the 101 sample at link address 3. The window's description gains the
// clock entries the sample lacks, so the clock commands have a clock to set.
#include <fstream>
#include <iterator>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "link/ft12_frames.h"
#include "platform/memory_serial_port.h"
#include "sim/iec101_faults.h"
#include "sim/iec101_station.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {

struct Iec101WindowRig {
  explicit Iec101WindowRig(sim::Iec101StationOptions o = {},
                           std::vector<sim::Iec101FaultRule> rules = {}) {
    const std::string path = SamplePath("iec101.dat");
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    description = ReadDeviceDescription(bytes, {}, LoadOptions{"iec101.dat"}).description;
    transducer = std::make_unique<sim::Transducer>(clock, description, sim::TransducerOptions{});
    faults = sim::Iec101FaultInjector(std::move(rules), 3);
    o.linkAddress = 3;
    station = std::make_unique<sim::Iec101Station>(o, description, *transducer, faults, stats);
    line->onWrite = [this](std::span<const uint8_t> b) { station->Receive(b, clock.MonotonicMs()); };
    clock.AddListener([this](uint64_t now) {
      const auto due = station->TakeDue(now);
      if (!due.empty()) MemorySerialPort::Deliver(*line, clock, due);
    });
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
    seams.makeSerialPort = [this] { return std::make_unique<MemorySerialPort>(clock, line); };
    seams.configureSerial = [](std::string_view) {};
    window = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
    window->OnInitDialog();
    Dialog& d = window->GetDialog();
    d.UserClick(idc::kFileTab);
    host.fileAnswers.push_back(path);
    window->FilePage()->LoadDescriptionFile();
    d.UserSelect(idc::kPortList, d.FindExact(idc::kPortList, "ttyS7"));
    d.UserFocus(idc::kStart);
    host.RunPosted();
    d.UserClick(idc::kModeGroupPoll);
    window->Description().entries.push_back({"Время (tms)", "0x000100", "2"});
    window->Description().entries.push_back({"Время (thm)", "0x000101", "2"});
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
};

}  // namespace tessvar::test
