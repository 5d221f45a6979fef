// The IEC 104 connection thread against the simulated station over loopback TCP: data sets
// cross to the "window" thread, a stop ends the thread within its bound even when the
// station does not confirm or the window holds posted closures back, and hundreds of
// start/stop cycles leave nothing running. Real threads and sockets; no duration is asserted.
#include <gtest/gtest.h>

#include <thread>

#include "iec104_harness.h"
#include "link/iec104_worker.h"
#include "link/link_result.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/virtual_clock.h"
#include "tests/sim/iec104_loopback.h"

namespace tessvar::sim {
namespace {

using iec104::WorkerNotice;

using test::LoopbackStation;
using test::WindowQueue;

// The station with eight pinned values, 0x1000 + address; the n-th connection has plans[n].
class RunningStation : public LoopbackStation {
 public:
  explicit RunningStation(Iec104StationOptions options, std::vector<Iec104FaultPlan> plans = {})
      : LoopbackStation({options, std::move(plans), false, test::Pinned(), std::nullopt}) {}
};

struct Client {
  Client(RunningStation& station, IecReadMode mode, WindowQueue& window) {
    socket = MakePosixTcpSocket();
    EXPECT_TRUE(socket->Create());
    EXPECT_TRUE(socket->Connect(0x7F000001, station.Port(), 2000));
    iec104::SessionConfig config;
    config.mode = mode;
    config.pollPeriodMs = 50;
    config.readAddresses = {0};
    auto session = std::make_unique<iec104::Iec104Session>(
        config, MakeAsduDecoder(station.Description(), kIec104FieldSizes, mode, 0), clock);
    worker = std::make_unique<iec104::Iec104Worker>(
        std::move(session), *socket, clock, [&window](std::function<void()> fn) { window.Post(std::move(fn)); },
        [this](const WorkerNotice& n) { notices.push_back(n); });
  }
  ~Client() {
    if (worker) {
      VirtualClock windowClock;
      worker->StopAndJoin(windowClock);
    }
    socket->Close();
  }
  RealClock clock;
  std::unique_ptr<TcpSocket> socket;
  std::unique_ptr<iec104::Iec104Worker> worker;
  std::vector<WorkerNotice> notices;  // on the window (test) thread only
};

size_t DataSets(const std::vector<WorkerNotice>& notices) {
  size_t n = 0;
  for (const auto& x : notices) n += x.kind == WorkerNotice::Kind::DataSet;
  return n;
}

TEST(Iec104Worker, DeliversDataSetsToTheWindowThreadInEveryMode) {
  Iec104StationOptions options;
  options.cyclicMs = 50;
  RunningStation station(options);
  for (auto mode : {IecReadMode::GroupPoll, IecReadMode::Read102, IecReadMode::LinkLevelRead}) {
    WindowQueue window;
    Client client(station, mode, window);
    client.worker->Start();
    std::shared_ptr<const iec104::DataSetSnapshot> last;
    for (int k = 0; k < 400 && DataSets(client.notices) < 3; ++k) {
      window.RunOne(std::chrono::milliseconds(50));
      if (auto s = client.worker->TakeDataSet()) last = s;
    }
    ASSERT_GE(DataSets(client.notices), 3u) << int(mode);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->image[0], 0x10);
    EXPECT_EQ(last->image[15], 0x07);
    VirtualClock windowClock;
    EXPECT_TRUE(client.worker->StopAndJoin(windowClock)) << "orderly STOPDT";
    EXPECT_TRUE(client.worker->Done());
    window.RunAll();
  }
}

TEST(Iec104Worker, StopEndsWithinItsBoundWhenTheStationIsMuteAndTheWindowHoldsClosures) {
  Iec104FaultPlan mute;
  mute.noAnswer = true;
  RunningStation station({}, {mute});
  WindowQueue window;  // nothing posted is run while the window waits
  Client client(station, IecReadMode::GroupPoll, window);
  client.worker->Start();
  VirtualClock windowClock;
  // No STOPDT con from a mute station: the connection loop gives up waiting for it by itself,
  // well within the window's bound.
  EXPECT_TRUE(client.worker->StopAndJoin(windowClock));
  EXPECT_FALSE(client.worker->Joinable());
  window.RunAll();
  EXPECT_TRUE(client.notices.empty()) << "closures posted before the join do nothing after it";
}

TEST(Iec104Worker, StationEndingTheConnectionIsReportedOnTheWindowThread) {
  Iec104FaultPlan stop;
  stop.stopDtAfterMs = 100;
  RunningStation station({}, {stop});
  WindowQueue window;
  Client client(station, IecReadMode::GroupPoll, window);
  client.worker->Start();
  for (int k = 0; k < 200 && !client.worker->Ended(); ++k) window.RunOne(std::chrono::milliseconds(50));
  ASSERT_TRUE(client.worker->Ended());
  EXPECT_EQ(client.worker->EndResult(), LinkResult::kError);
  for (int k = 0; k < 100 && (client.notices.empty() || client.notices.back().kind != WorkerNotice::Kind::Ended); ++k) {
    window.RunOne(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(client.notices.empty());
  EXPECT_EQ(client.notices.back().kind, WorkerNotice::Kind::Ended);
}

TEST(Iec104Worker, HundredsOfStartStopCyclesLeaveNothingRunning) {
  Iec104StationOptions options;
  options.cyclicMs = 20;
  RunningStation station(options);
  WindowQueue window;
  int orderly = 0;
  for (int cycle = 0; cycle < 300; ++cycle) {
    const auto mode = static_cast<IecReadMode>(cycle % 3);
    Client client(station, mode, window);
    client.worker->Start();
    if (cycle % 4 == 1) client.worker->RequestClockSync();
    if (cycle % 5 == 0) window.RunOne(std::chrono::milliseconds(5));
    VirtualClock windowClock;
    orderly += client.worker->StopAndJoin(windowClock);
    EXPECT_FALSE(client.worker->Joinable());
    window.RunAll();
  }
  EXPECT_GT(orderly, 250);
}

}  // namespace
}  // namespace tessvar::sim
