#include "tests/soak/iec104_target.h"

#include <fstream>
#include <iterator>

#include "acquisition/iec104_engine.h"
#include "app/control_ids.h"
#include "sim/iec104_station.h"
#include "tests/acquisition/window_fixture.h"
#include "tests/sim/iec104_station_socket.h"
#include "tests/soak/soak_random.h"

namespace tessvar::soak {

namespace {

// What the station side knows across connections: whether it takes them, which it has
// dropped, and the fault the next ones have.
struct PeerState {
  bool refuse = false;
  uint64_t connections = 0;  // accepted so far, numbered from 1
  uint64_t droppedUpTo = 0;  // the connections numbered up to this one are gone
  uint64_t drops = 0;        // live connections dropped
  uint64_t refused = 0;
  sim::Iec104FaultPlan plan;  // for the next `faultyLeft` connections
  uint32_t faultyLeft = 0;
  uint64_t faultyMade = 0;
  bool currentFaulty = false;
  uint64_t currentSinceMs = 0;
};

using StationMaker = std::function<std::unique_ptr<sim::Iec104Station>(const sim::Iec104FaultPlan&)>;

// The window's TCP socket: every connect reaches a fresh station (the same transducer),
// with the fault of that connection.
class PeerSocket final : public TcpSocket {
 public:
  PeerSocket(VirtualClock& clock, std::shared_ptr<PeerState> state, StationMaker make)
      : clock_(clock), state_(std::move(state)), make_(std::move(make)) {}

  bool Create() override {
    Forget();
    valid_ = true;
    return true;
  }
  bool IsValid() const override { return valid_; }
  bool Connect(uint32_t, uint16_t, uint32_t) override {
    if (state_->refuse) {
      ++state_->refused;
      return false;
    }
    number_ = ++state_->connections;
    const bool faulty = state_->faultyLeft > 0;
    if (faulty) {
      --state_->faultyLeft;
      ++state_->faultyMade;
    }
    state_->currentFaulty = faulty;
    state_->currentSinceMs = clock_.MonotonicMs();
    Forget();
    station_ = make_(faulty ? state_->plan : sim::Iec104FaultPlan{});
    inner_ = std::make_unique<sim::test::StationSocket>(clock_, *station_);
    return true;
  }
  long Send(std::span<const uint8_t> bytes) override {
    return inner_ && !Gone() ? inner_->Send(bytes) : -1;
  }
  int WaitReadable(uint32_t timeoutMs) override {
    if (!inner_) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    return Gone() ? 1 : inner_->WaitReadable(timeoutMs);
  }
  long Recv(std::span<uint8_t> buffer) override {
    if (!inner_) return -1;
    return Gone() ? 0 : inner_->Recv(buffer);
  }
  void ShutdownSend() override {
    if (inner_) inner_->ShutdownSend();
  }
  void Close() override {
    valid_ = false;
    Forget();
  }

 private:
  bool Gone() const { return number_ <= state_->droppedUpTo; }
  void Forget() {
    inner_.reset();  // before the station it refers to
    station_.reset();
  }

  VirtualClock& clock_;
  std::shared_ptr<PeerState> state_;
  StationMaker make_;
  std::unique_ptr<sim::Iec104Station> station_;
  std::unique_ptr<sim::test::StationSocket> inner_;
  uint64_t number_ = 0;
  bool valid_ = false;
};

sim::Iec104StationOptions StationFor(IecReadMode mode, uint16_t commonAddress) {
  sim::Iec104StationOptions o;
  o.commonAddress = commonAddress;
  o.monitorType = mode == IecReadMode::GroupPoll ? 9 : mode == IecReadMode::Read102 ? 21 : 34;
  o.sequence = mode == IecReadMode::Read102;
  o.cyclicMs = mode == IecReadMode::LinkLevelRead ? 1000 : 0;
  return o;
}

class Iec104Target final : public SoakTarget {
 public:
  explicit Iec104Target(IecReadMode mode) : mode_(mode) {
    const std::string path = test::SamplePath("iec104.dat");
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    const DescriptionLoad load = ReadDeviceDescription(bytes, {}, LoadOptions{"iec104.dat"});
    description_ = load.description;
    options_ = StationFor(mode, static_cast<uint16_t>(load.deviceAddress.value_or(1)));
    sim::TransducerOptions to;
    to.steadyDc = true;
    transducer_ = std::make_unique<sim::Transducer>(clock_, description_, to);
    window_ = test::OpenWithDescription(host_, clock_, store_, Seams(), path);
    Dialog& d = window_->GetDialog();
    if (window_->Settings().protocol != ProtocolKind::Iec104)
      d.UserSelect(idc::kProtocolList, d.SelectByPrefix(idc::kProtocolList, "МЭК-104"));
    d.UserSetIpv4(idc::kIpAddress, 0x7F000001);
    test::AddClockEntries(*window_);
    test::ChooseReadMode(*window_, host_, mode);
  }
  ~Iec104Target() override { window_.reset(); }
  VirtualClock& Clock() override { return clock_; }
  test::ScriptedHost& Host() override { return host_; }
  CKrellonDlg& Window() override { return *window_; }

  std::string BeginFault(std::mt19937_64& rng, bool disconnect) override {
    if (disconnect) {
      state_->refuse = true;
      Drop();
      wantedMade_ = UINT64_MAX;
      return "disconnect";
    }
    sim::Iec104FaultPlan plan;
    std::string what;
    const uint32_t kinds = Pick(rng, 0, 3) == 0 ? 2 : 1;
    for (uint32_t k = 0; k < kinds; ++k) what += (what.empty() ? "" : "+") + AddFault(rng, plan);
    benign_ = Benign(plan);
    told_ = (plan.negativeCause.has_value() && mode_ == IecReadMode::Read102) ||
            plan.negativeClockCause.has_value();
    syncWanted_ = plan.negativeClockCause.has_value();
    // A fault that lets the connection live is one connection long; the others a burst.
    const uint32_t count = benign_ ? 1 : BurstLength(rng);
    state_->plan = plan;
    state_->faultyLeft = count;
    wantedMade_ = state_->faultyMade + count;
    Drop();  // the station restarts with the fault
    return "drop, then " + what + " x" + std::to_string(count);
  }
  bool FaultDone() const override {
    if (state_->faultyMade < wantedMade_) return false;
    if (!state_->currentFaulty) return true;
    return benign_ && clock_.MonotonicMs() - state_->currentSinceMs >= kBenignMs;
  }
  void EndFault() override {
    // A faulty connection still up when the fault's time is over goes too: after the fault
    // the station is well.
    const sim::Iec104FaultPlan& p = state_->plan;
    if (state_->currentFaulty && (!benign_ || p.negativeCause || p.negativeClockCause)) Drop();
    state_->currentFaulty = false;
    state_->refuse = false;
    state_->faultyLeft = 0;
    wantedMade_ = 0;
    benign_ = false;
    told_ = false;
    syncWanted_ = false;
  }
  uint64_t FaultsApplied() const override { return state_->faultyMade + state_->drops + state_->refused; }
  void TrimTestLogs() override {}
  uint32_t DetectionMs() const override { return iec104::kSilenceLimitMs + iec104::kStopConfirmWaitMs; }
  bool FaultIsToldInWords() const override { return told_; }
  bool WantsClockSync() const override {
    if (!syncWanted_ || !state_->currentFaulty) return false;
    syncWanted_ = false;  // one synchronisation a fault
    return true;
  }

 private:
  static constexpr uint64_t kBenignMs = 30000;

  KrellonSeams Seams() {
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{}; };
    seams.configureSerial = [](std::string_view) {};
    seams.makeTcpSocket = [this] {
      return std::make_unique<PeerSocket>(clock_, state_, [this](const sim::Iec104FaultPlan& plan) {
        return std::make_unique<sim::Iec104Station>(options_, plan, *transducer_, description_, stats_);
      });
    };
    // One thread owns virtual time: the connection takes turns on the window thread.
    seams.makeEngine = [](ProtocolKind p, const EngineContext& c) -> std::unique_ptr<LinkEngine> {
      if (p == ProtocolKind::Iec104)
        return std::make_unique<Iec104Engine>(c, iec104::ConnectionThreading::WindowTurns);
      return MakeLinkEngine(p, c);
    };
    return seams;
  }

  // The live connection, if any, ends as if the station went away.
  void Drop() {
    if (state_->droppedUpTo < state_->connections) ++state_->drops;
    state_->droppedUpTo = state_->connections;
  }

  static std::string AddFault(std::mt19937_64& rng, sim::Iec104FaultPlan& plan) {
    switch (Pick(rng, 0, 8)) {
      case 0: plan.closeAfterMs = Pick(rng, 100, 30000); return "close-after";
      case 1: plan.stopDtAfterMs = Pick(rng, 100, 30000); return "stopdt";
      case 2: {
        const uint32_t cause = Pick(rng, 43, 47);
        plan.negativeCause = static_cast<uint8_t>(cause == 43 ? 0 : cause);
        return "negative";
      }
      case 3: plan.noAnswer = true; return "no-answer";
      case 4: plan.burst = true; return "burst";
      case 5: plan.split = true; return "split";
      case 6: plan.garbageAfterMs = Pick(rng, 100, 30000); return "garbage";
      case 7: plan.testFrEveryMs = Pick(rng, 1000, 20000); return "testfr";
      default: {
        const uint32_t cause = Pick(rng, 43, 47);
        plan.negativeClockCause = static_cast<uint8_t>(cause == 43 ? 0 : cause);
        return "negative-clock";
      }
    }
  }

  // Faults the connection lives with: they must cost no failure at all.
  bool Benign(const sim::Iec104FaultPlan& p) const {
    const bool negativeEnds = p.negativeCause.has_value() && mode_ != IecReadMode::LinkLevelRead;
    return !p.closeAfterMs && !p.stopDtAfterMs && !negativeEnds && !p.noAnswer && !p.garbageAfterMs;
  }

  IecReadMode mode_;
  mutable VirtualClock clock_;  // reading the time changes nothing
  test::ScriptedHost host_{clock_};
  test::NullStore store_;
  DeviceDescription description_;
  sim::Iec104StationOptions options_;
  std::unique_ptr<sim::Transducer> transducer_;
  sim::SimStats stats_;
  std::shared_ptr<PeerState> state_ = std::make_shared<PeerState>();
  std::unique_ptr<CKrellonDlg> window_;
  uint64_t wantedMade_ = 0;
  bool benign_ = false;
  bool told_ = false;
  mutable bool syncWanted_ = false;
};

}  // namespace

std::unique_ptr<SoakTarget> MakeIec104Target(IecReadMode mode) {
  return std::make_unique<Iec104Target>(mode);
}

}  // namespace tessvar::soak
