// The client's IEC 104 connection thread against the simulated station sending cyclic data as
// fast as it can (a full data set every millisecond, within the station's k window), for
// 10 s or the seconds given as the first argument. Prints APDUs and data sets per second,
// the process CPU per received APDU (client and station together, one process) and the
// latency from the station's write to the data set reaching the window thread.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "link/iec104_worker.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "sim/iec104_station.h"
#include "sim/main/sim_server.h"

namespace {

using namespace tessvar;
using namespace tessvar::sim;
using Steady = std::chrono::steady_clock;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// When the station wrote each data set (1-based, in order).
struct SendTimes {
  std::mutex mutex;
  std::vector<Steady::time_point> at;
  uint64_t apdus = 0;
};

// The station, with the moment each data-carrying I-format leaves it recorded.
class TimedStation : public StreamSession {
 public:
  TimedStation(std::unique_ptr<Iec104Station> inner, SendTimes& times) : inner_(std::move(inner)), times_(times) {}
  void Receive(std::span<const uint8_t> b, uint64_t now) override { inner_->Receive(b, now); }
  void Tick(uint64_t now) override { inner_->Tick(now); }
  std::optional<uint64_t> NextDeadline() const override { return inner_->NextDeadline(); }
  bool CloseRequested() const override { return inner_->CloseRequested(); }
  std::vector<uint8_t> TakeDue(uint64_t now) override {
    auto out = inner_->TakeDue(now);
    const auto t = Steady::now();
    std::lock_guard lock(times_.mutex);
    for (size_t p = 0; p + 6 < out.size(); p += out[p + 1] + 2u) {
      if ((out[p + 2] & 1) == 0 && out[p + 6] == 9) times_.at.push_back(t);
      ++times_.apdus;
    }
    return out;
  }

 private:
  std::unique_ptr<Iec104Station> inner_;
  SendTimes& times_;
};

DeviceDescription Description() {
  DeviceDescription d;
  const char* names[] = {"Напряжение (Udc1)", "Ток (Idc1)", "Мощность (Pdc1)", "Напряжение (Uac1)",
                         "Ток (Iac1)",        "Частота (f1 )", "Напряжение (Udc2)", "Ток (Idc2)"};
  for (int k = 0; k < 8; ++k) d.entries.push_back({names[k], std::to_string(k + 1), "2"});
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  RealClock clock;
  const DeviceDescription description = Description();
  Transducer transducer(clock, description, {});
  FaultInjector faults;
  SimStats stats;
  SendTimes times;
  ServerConfig config;
  config.tcp = "127.0.0.1:0";
  SimServer server(config, clock, transducer, faults, stats);
  Iec104StationOptions options;
  options.cyclicMs = 1;
  options.sequence = true;
  server.SetSessionFactory([&](SimServer::Transport) {
    return std::make_unique<TimedStation>(
        std::make_unique<Iec104Station>(options, Iec104FaultPlan{}, transducer, description, stats), times);
  });
  std::string error;
  if (!server.Open(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::atomic<bool> stopServer{false};
  std::thread serverThread([&] { server.Run(stopServer, 1); });

  auto socket = MakePosixTcpSocket();
  if (!socket->Create() || !socket->Connect(0x7F000001, server.TcpPort(), 2000)) return 1;
  iec104::SessionConfig sc;
  sc.mode = IecReadMode::LinkLevelRead;
  auto session = std::make_unique<iec104::Iec104Session>(
      sc, MakeAsduDecoder(description, kIec104FieldSizes, sc.mode, 0), clock);

  // The window thread: runs what the worker posts, takes the data set like a poll tick.
  std::mutex qm;
  std::condition_variable qcv;
  std::deque<std::function<void()>> queue;
  std::map<uint64_t, Steady::time_point> arrived;
  iec104::Iec104Worker* workerPtr = nullptr;
  iec104::Iec104Worker worker(
      std::move(session), *socket, clock,
      [&](std::function<void()> fn) {
        {
          std::lock_guard l(qm);
          queue.push_back(std::move(fn));
        }
        qcv.notify_one();
      },
      [&](const iec104::WorkerNotice& n) {
        if (n.kind != iec104::WorkerNotice::Kind::DataSet) return;
        if (auto s = workerPtr->TakeDataSet()) arrived.emplace(s->sequence, Steady::now());
      });
  workerPtr = &worker;
  const double cpu0 = CpuSeconds();
  const auto t0 = Steady::now();
  worker.Start();
  const auto end = t0 + std::chrono::seconds(seconds);
  while (Steady::now() < end) {
    std::unique_lock l(qm);
    qcv.wait_until(l, end, [&] { return !queue.empty(); });
    while (!queue.empty()) {
      auto fn = std::move(queue.front());
      queue.pop_front();
      l.unlock();
      fn();
      l.lock();
    }
  }
  const double elapsed = std::chrono::duration<double>(Steady::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  RealClock windowClock;
  worker.StopAndJoin(windowClock);
  stopServer = true;
  serverThread.join();

  std::vector<double> latencyUs;
  uint64_t sent = 0, apdus = 0;
  {
    std::lock_guard lock(times.mutex);
    sent = times.at.size();
    apdus = times.apdus;
    for (const auto& [seq, t] : arrived) {
      if (seq >= 1 && seq <= times.at.size()) {
        latencyUs.push_back(std::chrono::duration<double, std::micro>(t - times.at[seq - 1]).count());
      }
    }
  }
  std::sort(latencyUs.begin(), latencyUs.end());
  auto pct = [&](double p) {
    return latencyUs.empty() ? 0.0 : latencyUs[std::min(latencyUs.size() - 1, static_cast<size_t>(p * latencyUs.size()))];
  };
  std::printf("iec104 cyclic reception, %.1f s\n", elapsed);
  std::printf("  APDUs from the station:   %llu (%.0f/s)\n", static_cast<unsigned long long>(apdus), apdus / elapsed);
  std::printf("  data sets sent/received:  %llu / %llu (%.0f/s received)\n", static_cast<unsigned long long>(sent),
              static_cast<unsigned long long>(sent), sent / elapsed);
  std::printf("  data sets on the window:  %zu (latest taken by each tick)\n", arrived.size());
  std::printf("  process CPU per APDU:     %.2f us (client and station)\n", apdus ? cpu * 1e6 / apdus : 0.0);
  std::printf("  latency station -> window: median %.0f us, p99 %.0f us\n", pct(0.5), pct(0.99));
  return 0;
}
