// The IEC 104 connection taking turns on the window thread (a run on the virtual clock):
// data sets reach the window through its queue, the window's timers keep firing between
// turns, an orderly stop says goodbye on the wire and nothing runs after it, and a station
// that goes silent still lets the stop end within its bound.
#include <gtest/gtest.h>

#include "iec104_harness.h"
#include "link/iec104_worker.h"
#include "tests/support/scripted_host.h"
#include "ui/dialog.h"

namespace tessvar::sim::test {
namespace {

using iec104::WorkerNotice;

constexpr std::array<ControlTemplate, 1> kControls{
    ControlTemplate{1, ControlKind::PushButton, "OK", {0, 0, 10, 10}}};
constexpr DialogTemplate kTemplate{1, "T", 100, 50, "MS Sans Serif", 8, 0, kControls};

// Records what the client sends, on top of the station's socket.
class TappedSocket : public StationSocket {
 public:
  using StationSocket::StationSocket;
  long Send(std::span<const uint8_t> bytes) override {
    sent.emplace_back(bytes.begin(), bytes.end());
    return StationSocket::Send(bytes);
  }
  bool SentStopDt() const {
    for (const auto& b : sent)
      if (b.size() == 6 && b[0] == 0x68 && b[2] == 0x13) return true;  // STOPDT act
    return false;
  }
  std::vector<std::vector<uint8_t>> sent;
};

struct TurnsRig {
  explicit TurnsRig(IecReadMode mode, Iec104FaultPlan faults = {}) {
    Iec104StationOptions options;
    options.cyclicMs = 200;
    station = std::make_unique<Iec104Station>(options, faults, transducer, description, stats);
    socket = std::make_unique<TappedSocket>(clock, *station);
    iec104::SessionConfig config;
    config.mode = mode;
    config.pollPeriodMs = 300;
    config.readAddresses = {0};
    auto session = std::make_unique<iec104::Iec104Session>(
        config, MakeAsduDecoder(description, kIec104FieldSizes, mode, 0), clock);
    worker = std::make_unique<iec104::Iec104Worker>(
        std::move(session), *socket, clock, [this](std::function<void()> fn) { host.Post(std::move(fn)); },
        [this](const WorkerNotice& n) { notices.push_back(n); }, iec104::ConnectionThreading::WindowTurns);
  }
  size_t DataSets() const {
    size_t n = 0;
    for (const auto& x : notices) n += x.kind == WorkerNotice::Kind::DataSet;
    return n;
  }

  VirtualClock clock;
  tessvar::test::ScriptedHost host{clock};
  DeviceDescription description = SmallDescription();
  Transducer transducer{clock, description, Pinned()};
  SimStats stats;
  std::unique_ptr<Iec104Station> station;
  std::unique_ptr<TappedSocket> socket;
  std::unique_ptr<iec104::Iec104Worker> worker;
  std::vector<WorkerNotice> notices;
};

TEST(Iec104Turns, DataSetsReachTheWindowAndItsTimersKeepFiringInEveryMode) {
  for (auto mode : {IecReadMode::GroupPoll, IecReadMode::Read102, IecReadMode::LinkLevelRead}) {
    SCOPED_TRACE(static_cast<int>(mode));
    TurnsRig rig(mode);
    Dialog window(kTemplate);
    int ticks = 0;
    window.OnTimer([&](int) { ++ticks; });
    rig.host.SetTimer(window, 1, 100);
    rig.worker->Start();
    rig.host.RunFor(5000);
    EXPECT_GE(rig.DataSets(), 5u);
    EXPECT_GE(ticks, 45);  // a turn waits at most a slice, so no tick is lost for long
    const auto set = rig.worker->TakeDataSet();
    ASSERT_TRUE(set);
    EXPECT_EQ(set->image, ExpectedImage(rig.description.entries.size()));
    EXPECT_FALSE(rig.worker->Ended());
    rig.host.ForgetDialog(window);
  }
}

TEST(Iec104Turns, AnOrderlyStopSaysGoodbyeAndNothingRunsAfterIt) {
  TurnsRig rig(IecReadMode::GroupPoll);
  rig.worker->Start();
  rig.host.RunFor(2000);
  ASSERT_GE(rig.DataSets(), 1u);
  EXPECT_TRUE(rig.worker->StopAndJoin(rig.clock));
  EXPECT_TRUE(rig.socket->SentStopDt());
  EXPECT_TRUE(rig.socket->ShutDown());
  EXPECT_TRUE(rig.worker->Done());
  const size_t sent = rig.socket->sent.size();
  const size_t notices = rig.notices.size();
  rig.host.RunFor(5000);  // turns and notices still queued must do nothing now
  EXPECT_EQ(rig.socket->sent.size(), sent);
  EXPECT_EQ(rig.notices.size(), notices);
}

TEST(Iec104Turns, AStationThatEndsTheConnectionIsReportedOnce) {
  Iec104FaultPlan plan;
  plan.closeAfterMs = 1500;
  TurnsRig rig(IecReadMode::LinkLevelRead, plan);
  rig.worker->Start();
  rig.host.RunFor(5000);
  EXPECT_TRUE(rig.worker->Ended());
  EXPECT_TRUE(rig.worker->Done());
  size_t ended = 0;
  for (const auto& n : rig.notices) ended += n.kind == WorkerNotice::Kind::Ended;
  EXPECT_EQ(ended, 1u);
  const size_t sent = rig.socket->sent.size();
  rig.host.RunFor(5000);
  EXPECT_EQ(rig.socket->sent.size(), sent);  // no turn after the end
}

TEST(Iec104Turns, AStopEndsWithinItsBoundWhenTheStationIsSilent) {
  Iec104FaultPlan plan;
  plan.noAnswer = true;
  TurnsRig rig(IecReadMode::GroupPoll, plan);
  rig.worker->Start();
  rig.host.RunFor(1000);
  const uint64_t before = rig.clock.MonotonicMs();
  rig.worker->StopAndJoin(rig.clock);
  EXPECT_TRUE(rig.worker->Done());
  EXPECT_LE(rig.clock.MonotonicMs() - before,
            uint64_t{iec104::kJoinRounds} * iec104::kJoinRoundMs + iec104::kDrainWaitMs);
}

}  // namespace
}  // namespace tessvar::sim::test
