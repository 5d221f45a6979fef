// MODBUS TCP round trip (read 21 input registers) against a libmodbus server on loopback:
// our CModbusMaster (send + ReceiveRtu over CTcpLink) beside a libmodbus client, one
// connection each, in the same run. Prints microseconds per request and the ratio.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "link/modbus_master.h"
#include "link/tcp_link.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"

namespace {

constexpr int kRegisters = 21;

// A libmodbus server on 127.0.0.1 with an OS-chosen port, serving one connection at a time.
class LibmodbusServer {
 public:
  LibmodbusServer() {
    ctx_ = modbus_new_tcp("127.0.0.1", 0);
    map_ = modbus_mapping_new(0, 0, 0, 256);
    for (int i = 0; i < 256; ++i) map_->tab_input_registers[i] = static_cast<uint16_t>(i * 3);
    listen_ = modbus_tcp_listen(ctx_, 1);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LibmodbusServer() {
    stop_ = true;
    ::shutdown(listen_, SHUT_RDWR);
    ::close(listen_);
    thread_.join();
    modbus_mapping_free(map_);
    modbus_free(ctx_);
  }
  uint16_t Port() const { return port_; }

 private:
  void Serve() {
    std::vector<uint8_t> query(MODBUS_TCP_MAX_ADU_LENGTH);
    while (!stop_) {
      int fd = listen_;
      if (modbus_tcp_accept(ctx_, &fd) < 0) break;
      for (;;) {
        const int rc = modbus_receive(ctx_, query.data());
        if (rc < 0) break;
        if (rc > 0) modbus_reply(ctx_, query.data(), rc, map_);
      }
      ::close(modbus_get_socket(ctx_));
    }
  }
  modbus_t* ctx_;
  modbus_mapping_t* map_;
  int listen_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

LibmodbusServer& Server() {
  static LibmodbusServer server;
  return server;
}

void BM_CModbusMaster(benchmark::State& state) {
  tessvar::RealClock clock;
  tessvar::CTcpLink link(tessvar::MakePosixTcpSocket(), clock);
  tessvar::CModbusMaster master(nullptr, clock);
  if (link.ConnectWithTimeout({0x7F000001, Server().Port()}, 2000) != 0) {
    state.SkipWithError("connect failed");
    return;
  }
  std::vector<uint8_t> reply;
  size_t bad = 0;
  for (auto _ : state) {
    master.SendReadInputRegisters(false, 1, 0, kRegisters, &link);
    if (master.ReceiveRtu(reply, &link) != tessvar::LinkResult::kGood) ++bad;
  }
  link.Close(false);
  state.counters["bad"] = static_cast<double>(bad);
  state.counters["us_per_request"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1e-6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_LibmodbusClient(benchmark::State& state) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", Server().Port());
  if (modbus_connect(ctx) != 0) {
    state.SkipWithError("connect failed");
    modbus_free(ctx);
    return;
  }
  uint16_t regs[kRegisters];
  size_t bad = 0;
  for (auto _ : state) {
    if (modbus_read_input_registers(ctx, 0, kRegisters, regs) != kRegisters) ++bad;
  }
  modbus_close(ctx);
  modbus_free(ctx);
  state.counters["bad"] = static_cast<double>(bad);
  state.counters["us_per_request"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1e-6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_CModbusMaster)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LibmodbusClient)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
