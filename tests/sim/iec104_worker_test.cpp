// The IEC 104 connection thread against the simulated station over loopback TCP: data sets
// cross to the "window" thread, a stop ends the thread within its bound even when the
// station does not confirm or the window holds posted closures back, and hundreds of
// start/stop cycles leave nothing running. Real threads and sockets; no duration is asserted.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "link/iec104_worker.h"
#include "link/link_result.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "platform/virtual_clock.h"
#include "sim/iec104_station.h"
#include "sim/main/sim_server.h"
#include "sim_fixture.h"

namespace tessvar::sim {
namespace {

using iec104::WorkerNotice;

class RunningStation {
 public:
  explicit RunningStation(Iec104StationOptions options, std::vector<Iec104FaultPlan> plans = {})
      : description_(test::SmallDescription()) {
    ServerConfig config;
    config.tcp = "127.0.0.1:0";
    TransducerOptions t;
    for (uint16_t a = 0; a < 8; ++a) t.pinned[a] = static_cast<uint16_t>(0x1000 + a);
    transducer_ = std::make_unique<Transducer>(clock_, description_, t);
    server_ = std::make_unique<SimServer>(config, clock_, *transducer_, faults_, stats_);
    server_->SetSessionFactory([this, options, plans](SimServer::Transport) {
      const size_t n = connections_++;
      return std::make_unique<Iec104Station>(options, n < plans.size() ? plans[n] : Iec104FaultPlan{},
                                             *transducer_, description_, stats_);
    });
    std::string error;
    EXPECT_TRUE(server_->Open(error)) << error;
    thread_ = std::thread([this] { server_->Run(stop_, 20); });
  }
  ~RunningStation() {
    stop_ = true;
    thread_.join();
  }
  uint16_t Port() const { return server_->TcpPort(); }
  const DeviceDescription& Description() const { return description_; }

 private:
  RealClock clock_;
  DeviceDescription description_;
  std::unique_ptr<Transducer> transducer_;
  FaultInjector faults_;
  SimStats stats_;
  std::unique_ptr<SimServer> server_;
  size_t connections_ = 0;  // touched on the server thread only
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The window thread's queue of posted closures; the test thread plays the window.
class WindowQueue {
 public:
  void Post(std::function<void()> fn) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(fn));
    }
    cv_.notify_one();
  }
  // Runs one closure, waiting at most `limit` for it; false when none came.
  bool RunOne(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, limit, [&] { return !queue_.empty(); })) return false;
    auto fn = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    fn();
    return true;
  }
  size_t RunAll() {
    size_t n = 0;
    while (RunOne(std::chrono::milliseconds(0))) ++n;
    return n;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
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
