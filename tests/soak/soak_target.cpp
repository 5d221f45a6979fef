#include "tests/soak/soak_target.h"

#include <array>
#include <fstream>
#include <iterator>
#include <numeric>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "link/tcp_link.h"
#include "platform/memory_serial_port.h"
#include "sim/iec101_station.h"
#include "tests/acquisition/window_fixture.h"
#include "tests/soak/iec104_target.h"
#include "tests/soak/soak_random.h"

namespace tessvar::soak {

namespace {

constexpr std::array kProtocols = {
    SoakProtocol::Rtu,           SoakProtocol::Ascii,           SoakProtocol::Tcp,
    SoakProtocol::Iec101Group,   SoakProtocol::Iec101Read102,   SoakProtocol::Iec101LinkLevel,
    SoakProtocol::Iec104Group,   SoakProtocol::Iec104Read102,   SoakProtocol::Iec104Cyclic};
constexpr std::array<std::string_view, kProtocols.size()> kNames = {
    "rtu",          "ascii",          "tcp",          "iec101-group", "iec101-read102",
    "iec101-link",  "iec104-group",   "iec104-read102", "iec104-cyclic"};

// The serial line's USB adapter as the soak handles it: unplugged (what is open fails and it
// cannot be opened again) and plugged in again, with the opens counted across the trimming
// of the line's logs.
class Adapter {
 public:
  void Unplug(MemorySerialPort::Line& line) {
    Plug(line, false);
    opensBefore_ = Opens(line);
  }
  // Plugged in again; returns the reopenings refused while it was away.
  uint64_t PlugIn(MemorySerialPort::Line& line) {
    const uint64_t refused = line.refuseOpen ? Opens(line) - opensBefore_ : 0;
    Plug(line, true);
    return refused;
  }
  // Forgets what the line logged for assertions (bytes written, ports opened).
  void Trim(MemorySerialPort::Line& line) {
    trimmedOpens_ += line.openedNames.size();
    line.written.clear();
    line.openedNames.clear();
    line.configured.clear();
  }

 private:
  static void Plug(MemorySerialPort::Line& line, bool in) {
    line.failIo = !in;
    line.refuseOpen = !in;
  }
  size_t Opens(const MemorySerialPort::Line& line) const { return line.openedNames.size() + trimmedOpens_; }
  size_t trimmedOpens_ = 0;  // opens forgotten by Trim
  size_t opensBefore_ = 0;
};

sim::FaultTrigger Always() {
  sim::FaultTrigger t;
  t.mode = sim::FaultTrigger::Mode::Rate;
  t.rate = 1.0;
  return t;
}

template <size_t N>
uint64_t Sum(const std::array<uint64_t, N>& a) {
  return std::accumulate(a.begin(), a.end(), uint64_t{0});
}

// MODBUS RTU, ASCII or TCP: the window rig of the run tests with its simulated transducer.
class ModbusTarget final : public SoakTarget {
 public:
  ModbusTarget(const char* sample, ModbusFraming framing)
      : framing_(framing), rig_(sample, framing) {
    rig_.peer->SetSteadyDc(true);  // the counters move, so every data set differs
  }
  VirtualClock& Clock() override { return rig_.clock; }
  test::ScriptedHost& Host() override { return rig_.host; }
  CKrellonDlg& Window() override { return *rig_.window; }

  std::string BeginFault(std::mt19937_64& rng, bool disconnect) override {
    wanted_ = 0;  // the rules are new: their injector has applied nothing yet
    if (disconnect) {
      wanted_ = UINT64_MAX;
      if (framing_ == ModbusFraming::Tcp) {
        connectsBefore_ = rig_.peer->connects;
        rig_.peer->refuseConnect = true;
        rig_.peer->tcp->peerClosed = true;
      } else if (Pick(rng, 0, 1)) {
        adapter_.Unplug(*rig_.peer->Line());
        return "adapter unplugged";
      } else {
        rig_.peer->SetFaults({{sim::FaultKind::NoReply, 0, Always()}});
      }
      return "disconnect";
    }
    std::vector<sim::FaultRule> rules;
    std::string what;
    const uint32_t kinds = Pick(rng, 0, 3) == 0 ? 2 : 1;
    for (uint32_t k = 0; k < kinds; ++k) {
      sim::FaultRule r = RandomRule(rng);
      r.trigger = Burst(r.kind == sim::FaultKind::CloseAfter ? 1 : BurstLength(rng));
      wanted_ += r.trigger.count;
      what += std::string(what.empty() ? "" : "+") + std::string(sim::FaultName(r.kind)) + "x" +
              std::to_string(r.trigger.count);
      rules.push_back(r);
    }
    rig_.peer->SetFaults(std::move(rules));
    return what;
  }
  bool FaultDone() const override { return Applied() >= wanted_; }
  void EndFault() override {
    kept_ += Applied();
    // Each connection refused while the peer was away counts as one fault.
    if (rig_.peer->refuseConnect) kept_ += static_cast<uint64_t>(rig_.peer->connects - connectsBefore_);
    rig_.peer->refuseConnect = false;
    // Each refused reopening of an unplugged adapter counts as one fault.
    kept_ += adapter_.PlugIn(*rig_.peer->Line());
    rig_.peer->SetFaults({});
  }
  uint64_t FaultsApplied() const override { return kept_ + Applied(); }
  void TrimTestLogs() override { adapter_.Trim(*rig_.peer->Line()); }
  uint32_t DetectionMs() const override {
    return framing_ == ModbusFraming::Tcp ? CTcpLink::kReplyLimitMs + CTcpLink::kConnectLimitMs
                                          : kLateMaxMs;
  }

 private:
  static constexpr uint32_t kLateMaxMs = 3000;
  sim::FaultRule RandomRule(std::mt19937_64& rng) const {
    using K = sim::FaultKind;
    std::vector<K> kinds = {K::NoReply, K::LateReply, K::WrongAddress, K::Exception,
                            K::Truncate, K::Overcount, K::Garbage};
    kinds.push_back(framing_ == ModbusFraming::Tcp ? K::CloseAfter : K::BadChecksum);
    sim::FaultRule r;
    r.kind = kinds[Pick(rng, 0, static_cast<uint32_t>(kinds.size() - 1))];
    if (r.kind == K::LateReply) r.arg = Pick(rng, 50, kLateMaxMs);
    if (r.kind == K::Exception) r.arg = Pick(rng, 1, 4);
    if (r.kind == K::Garbage) r.arg = Pick(rng, 1, 16);
    if (r.kind == K::CloseAfter) r.arg = Pick(rng, 1, 3);
    return r;
  }
  uint64_t Applied() const { return Sum(rig_.peer->Faults().applied); }

  ModbusFraming framing_;
  test::WindowRig rig_;
  Adapter adapter_;
  uint64_t kept_ = 0;
  uint64_t wanted_ = 0;
  int connectsBefore_ = 0;
};

sim::Iec101StationOptions StationFor(IecReadMode mode) {
  sim::Iec101StationOptions o;
  o.sizes = {1, 1, 2};
  o.linkAddress = 3;
  o.monitorType = mode == IecReadMode::GroupPoll ? 9 : mode == IecReadMode::Read102 ? 21 : 10;
  o.sequence = mode == IecReadMode::Read102;
  return o;
}

// МЭК-101 in one read mode: the 101 sample served by the simulated station over the memory
// serial line.
class Iec101Target final : public SoakTarget {
 public:
  explicit Iec101Target(IecReadMode mode) {
    const std::string path = test::SamplePath("iec101.dat");
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    description_ = ReadDeviceDescription(bytes, {}, LoadOptions{"iec101.dat"}).description;
    sim::TransducerOptions to;
    to.steadyDc = true;
    transducer_ = std::make_unique<sim::Transducer>(clock_, description_, to);
    station_ = std::make_unique<sim::Iec101Station>(StationFor(mode), description_, *transducer_,
                                                    faults_, stats_);
    line_->onWrite = [this](std::span<const uint8_t> b) { station_->Receive(b, clock_.MonotonicMs()); };
    clock_.AddListener([this](uint64_t now) {
      const auto due = station_->TakeDue(now);
      if (!due.empty()) MemorySerialPort::Deliver(*line_, clock_, due);
    });
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
    seams.makeSerialPort = [this] { return std::make_unique<MemorySerialPort>(clock_, line_); };
    seams.configureSerial = [](std::string_view) {};
    window_ = test::OpenWithDescription(host_, clock_, store_, std::move(seams), path);
    Dialog& d = window_->GetDialog();
    d.UserSelect(idc::kPortList, d.FindExact(idc::kPortList, "ttyS7"));
    test::AddClockEntries(*window_);
    test::ChooseReadMode(*window_, host_, mode);
  }
  ~Iec101Target() override { window_.reset(); }
  VirtualClock& Clock() override { return clock_; }
  test::ScriptedHost& Host() override { return host_; }
  CKrellonDlg& Window() override { return *window_; }

  std::string BeginFault(std::mt19937_64& rng, bool disconnect) override {
    kept_ += Sum(faults_.applied);
    if (disconnect) {
      wanted_ = UINT64_MAX;
      if (Pick(rng, 0, 1)) {
        adapter_.Unplug(*line_);
        return "adapter unplugged";
      }
      faults_ = sim::Iec101FaultInjector({{sim::Iec101FaultKind::NoReply, 0, Always()}}, 3);
      return "disconnect";
    }
    std::vector<sim::Iec101FaultRule> rules;
    std::string what;
    wanted_ = 0;
    const uint32_t kinds = Pick(rng, 0, 3) == 0 ? 2 : 1;
    for (uint32_t k = 0; k < kinds; ++k) {
      sim::Iec101FaultRule r;
      r.kind = static_cast<sim::Iec101FaultKind>(Pick(rng, 0, sim::kIec101FaultKinds - 1));
      if (r.kind == sim::Iec101FaultKind::Late) r.arg = Pick(rng, 50, kLateMaxMs);
      if (r.kind == sim::Iec101FaultKind::Negative || r.kind == sim::Iec101FaultKind::NegativePlain)
        r.arg = Pick(rng, 44, 47);
      r.trigger = Burst(BurstLength(rng));
      wanted_ += r.trigger.count;
      what += std::string(what.empty() ? "" : "+") + std::string(sim::Iec101FaultName(r.kind)) +
              "x" + std::to_string(r.trigger.count);
      rules.push_back(r);
    }
    faults_ = sim::Iec101FaultInjector(std::move(rules), rng());
    return what;
  }
  bool FaultDone() const override { return Sum(faults_.applied) >= wanted_; }
  void EndFault() override {
    kept_ += Sum(faults_.applied);
    kept_ += adapter_.PlugIn(*line_);
    faults_ = sim::Iec101FaultInjector();
  }
  uint64_t FaultsApplied() const override { return kept_ + Sum(faults_.applied); }
  void TrimTestLogs() override { adapter_.Trim(*line_); }
  uint32_t DetectionMs() const override { return kLateMaxMs; }

 private:
  static constexpr uint32_t kLateMaxMs = 2000;
  VirtualClock clock_;
  test::ScriptedHost host_{clock_};
  test::NullStore store_;
  DeviceDescription description_;
  std::unique_ptr<sim::Transducer> transducer_;
  sim::SimStats stats_;
  sim::Iec101FaultInjector faults_;
  std::unique_ptr<sim::Iec101Station> station_;
  std::shared_ptr<MemorySerialPort::Line> line_ = std::make_shared<MemorySerialPort::Line>();
  std::unique_ptr<CKrellonDlg> window_;
  uint64_t kept_ = 0;
  uint64_t wanted_ = 0;
  Adapter adapter_;
};

}  // namespace

std::span<const SoakProtocol> AllProtocols() { return kProtocols; }

std::string_view ProtocolName(SoakProtocol p) { return kNames[static_cast<size_t>(p)]; }

std::optional<SoakProtocol> ProtocolFromName(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return kProtocols[i];
  return std::nullopt;
}

std::unique_ptr<SoakTarget> MakeSoakTarget(SoakProtocol protocol) {
  switch (protocol) {
    case SoakProtocol::Rtu:
      return std::make_unique<ModbusTarget>("rtu-two-channel.dat", ModbusFraming::Rtu);
    case SoakProtocol::Ascii:
      return std::make_unique<ModbusTarget>("ascii-dc.dat", ModbusFraming::Ascii);
    case SoakProtocol::Tcp:
      return std::make_unique<ModbusTarget>("tcp-two-channel.dat", ModbusFraming::Tcp);
    case SoakProtocol::Iec101Group:
      return std::make_unique<Iec101Target>(IecReadMode::GroupPoll);
    case SoakProtocol::Iec101Read102:
      return std::make_unique<Iec101Target>(IecReadMode::Read102);
    case SoakProtocol::Iec101LinkLevel:
      return std::make_unique<Iec101Target>(IecReadMode::LinkLevelRead);
    case SoakProtocol::Iec104Group:
      return MakeIec104Target(IecReadMode::GroupPoll);
    case SoakProtocol::Iec104Read102:
      return MakeIec104Target(IecReadMode::Read102);
    case SoakProtocol::Iec104Cyclic:
      return MakeIec104Target(IecReadMode::LinkLevelRead);
  }
  return nullptr;
}

}  // namespace tessvar::soak
