#pragma once
// The simulated IEC 104 station served over loopback TCP by the simulator's server on a thread
// of its own (real clock), and the "window" thread's queue of posted closures that the test
// thread runs: the pieces of the tests that run the connection with real threads and sockets.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/posix/real_clock.h"
#include "sim/iec104_station.h"
#include "sim/main/sim_server.h"
#include "tests/sim/sim_fixture.h"

namespace tessvar::sim::test {

struct LoopbackStationOptions {
  Iec104StationOptions station;
  std::vector<Iec104FaultPlan> plans;  // the n-th connection's faults; none past the list
  bool firstPlanForEvery = false;      // every connection has plans[0]
  TransducerOptions transducer;
  std::optional<WallTime> deviceTime;  // the transducer's clock at start
};

class LoopbackStation {
 public:
  explicit LoopbackStation(LoopbackStationOptions o) : description_(SmallDescription()) {
    ServerConfig config;
    config.tcp = "127.0.0.1:0";
    transducer_ = std::make_unique<Transducer>(clock_, description_, o.transducer);
    if (o.deviceTime) transducer_->ClockOfDevice().Set(*o.deviceTime);
    server_ = std::make_unique<SimServer>(config, clock_, *transducer_, faults_, stats_);
    server_->SetSessionFactory([this, o](SimServer::Transport) {
      const size_t n = o.firstPlanForEvery ? 0 : connections_++;
      return std::make_unique<Iec104Station>(o.station, n < o.plans.size() ? o.plans[n] : Iec104FaultPlan{},
                                             *transducer_, description_, stats_);
    });
    std::string error;
    EXPECT_TRUE(server_->Open(error)) << error;
    thread_ = std::thread([this] { server_->Run(stop_, 20); });
  }
  ~LoopbackStation() { Stop(); }
  LoopbackStation(const LoopbackStation&) = delete;
  LoopbackStation& operator=(const LoopbackStation&) = delete;

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  uint16_t Port() const { return server_->TcpPort(); }
  const DeviceDescription& Description() const { return description_; }
  // Read only after Stop: the server thread sets it.
  WallTime DeviceNow() const { return transducer_->ClockOfDevice().Now(); }

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

}  // namespace tessvar::sim::test
