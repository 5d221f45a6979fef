// The МЭК-104 clock command through the run's engine against the simulated station over
// loopback TCP, with real threads: the command sends nothing on the window thread, the
// connection thread sends C_CS_NA_1, the station's clock follows the computer's and polling
// goes on; a refused synchronisation ends the connection with its message. Waits are
// bounded in count; no duration is asserted.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "acquisition/iec104_engine.h"
#include "link/serial_line.h"
#include "link/tcp_link.h"
#include "platform/memory_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "tests/sim/iec104_loopback.h"

namespace tessvar::test {
namespace {

// Passes everything to a real socket and notes which thread sent which APDU types.
class WatchedSocket : public TcpSocket {
 public:
  struct Sent {
    std::thread::id thread;
    std::vector<uint8_t> bytes;
  };
  explicit WatchedSocket(std::unique_ptr<TcpSocket> inner) : inner_(std::move(inner)) {}
  bool Create() override { return inner_->Create(); }
  bool IsValid() const override { return inner_->IsValid(); }
  bool Connect(uint32_t ip, uint16_t port, uint32_t ms) override { return inner_->Connect(ip, port, ms); }
  int ConnectBegin(uint32_t ip, uint16_t port) override { return inner_->ConnectBegin(ip, port); }
  int ConnectWait(uint32_t ms) override { return inner_->ConnectWait(ms); }
  long Send(std::span<const uint8_t> bytes) override {
    {
      std::lock_guard lock(mutex_);
      sent_.push_back({std::this_thread::get_id(), {bytes.begin(), bytes.end()}});
    }
    return inner_->Send(bytes);
  }
  int WaitReadable(uint32_t ms) override { return inner_->WaitReadable(ms); }
  long Recv(std::span<uint8_t> buffer) override { return inner_->Recv(buffer); }
  void ShutdownSend() override { inner_->ShutdownSend(); }
  void Close() override { inner_->Close(); }

  std::vector<Sent> SentSoFar() {
    std::lock_guard lock(mutex_);
    return sent_;
  }

 private:
  std::unique_ptr<TcpSocket> inner_;
  std::mutex mutex_;
  std::vector<Sent> sent_;
};

// C_CS_NA_1 in an I-format APDU: 68 len, four control octets with bit 0 clear, type 103.
bool IsClockSync(const std::vector<uint8_t>& b) {
  return b.size() >= 7 && b[0] == 0x68 && (b[2] & 1) == 0 && b[6] == 0x67;
}

using sim::test::WindowQueue;

// The station with its clock at `deviceTime`; every connection has `plan`.
class Station : public sim::test::LoopbackStation {
 public:
  Station(sim::Iec104FaultPlan plan, const WallTime& deviceTime)
      : LoopbackStation({{}, {plan}, true, {}, deviceTime}) {}
};

struct Client {
  explicit Client(Station& station) {
    auto watched = std::make_unique<WatchedSocket>(MakePosixTcpSocket());
    socket = watched.get();
    tcp = std::make_unique<CTcpLink>(std::move(watched), clock);
    settings.iecReadMode = IecReadMode::GroupPoll;
    settings.deviceAddress = 1;
    settings.pollPeriodMs = 100;
    settings.iec104Port = station.Port();
    settings.timeBase = TimeBase::Local;
    EngineContext ctx{clock, settings, station.Description(), serial, *tcp,
                      [this] { return clock.LocalNow(); }, [] {},
                      [this](std::function<void()> fn) { window.Post(std::move(fn)); }};
    engine = std::make_unique<Iec104Engine>(ctx);
  }
  ~Client() { engine->Close(LinkClose::kStop); }

  // Ticks as the window would until `done` holds; false when it never did (bounded).
  bool TickUntil(const std::function<bool(const CollectOutcome&)>& done) {
    for (int i = 0; i < 300; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      window.RunAll();
      std::vector<uint8_t> reply;
      const CollectOutcome out = engine->Collect(reply);
      if (done(out)) return true;
    }
    return false;
  }

  RealClock clock;
  ConnectionSettings settings;
  CSerialLine serial{std::make_unique<MemorySerialPort>(clock), clock};
  WatchedSocket* socket = nullptr;
  std::unique_ptr<CTcpLink> tcp;
  WindowQueue window;
  std::unique_ptr<Iec104Engine> engine;
};

WallTime FarFromNow() {
  WallTime t;
  t.year = 2020;
  t.month = 1;
  t.day = 1;
  t.hour = 3;
  return t;
}

int64_t MsOfDay(const WallTime& t) {
  return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000LL + t.millisecond;
}

TEST(Iec104ClockCommand, WorkerSendsTheCommandAndTheStationClockFollows) {
  Station station({}, FarFromNow());
  Client client(station);
  ASSERT_EQ(client.engine->Connect({0x7F000001, std::nullopt}), ConnectOutcome::kConnected);
  ASSERT_FALSE(client.engine->SendFirstRequest({}).stop);
  ASSERT_TRUE(client.TickUntil([](const CollectOutcome& o) { return o.showConverterTime; }));

  const auto window = std::this_thread::get_id();
  const uint64_t before = client.clock.MonotonicMs();
  const ClockWriteOutcome out = client.engine->WriteClock({});
  EXPECT_EQ(out.then, ClockWriteOutcome::Then::kResumePolling);
  EXPECT_EQ(out.message, "");
  // The command went out, from the connection thread; then data sets come again.
  ASSERT_TRUE(client.TickUntil([&](const CollectOutcome&) {
    for (const auto& s : client.socket->SentSoFar())
      if (IsClockSync(s.bytes)) return true;
    return false;
  }));
  ASSERT_TRUE(client.TickUntil([&](const CollectOutcome& o) {
    return o.showConverterTime && client.engine->ClockSyncsConfirmed() == 1;
  }));
  for (const auto& s : client.socket->SentSoFar()) EXPECT_NE(s.thread, window);

  client.engine->Close(LinkClose::kStop);
  station.Stop();
  // The station took the computer's time as it was when the command was made; it lags by
  // the time the command took to arrive, which a loaded machine may stretch, never beyond
  // the whole exchange and never ahead.
  const WallTime device = station.DeviceNow();
  const WallTime computer = client.clock.LocalNow();
  const int64_t exchangeMs = static_cast<int64_t>(client.clock.MonotonicMs() - before);
  EXPECT_EQ(device.year, computer.year);
  EXPECT_EQ(device.month, computer.month);
  const int64_t skew = MsOfDay(device) - MsOfDay(computer);
  EXPECT_LE(skew, 2) << skew;
  EXPECT_GE(skew, -exchangeMs - 2) << skew;
}

TEST(Iec104ClockCommand, RefusedSynchronisationEndsTheConnectionWithItsMessage) {
  struct Case {
    uint8_t cause;  // 0: the confirmation cause with P/N set
    std::string message;
  };
  const Case cases[] = {
      {0, "Нет подтверждения активации/деактивации опроса"},
      {45, "Неизвестная причина передачи"},
      {47, "Неизвестный адрес объекта информации"},
  };
  for (const auto& c : cases) {
    sim::Iec104FaultPlan plan;
    plan.negativeClockCause = c.cause;
    Station station(plan, FarFromNow());
    Client client(station);
    ASSERT_EQ(client.engine->Connect({0x7F000001, std::nullopt}), ConnectOutcome::kConnected);
    ASSERT_FALSE(client.engine->SendFirstRequest({}).stop);
    ASSERT_TRUE(client.TickUntil([](const CollectOutcome& o) { return o.showConverterTime; }));
    client.engine->WriteClock({});
    std::string message;
    ASSERT_TRUE(client.TickUntil([&](const CollectOutcome& o) {
      message = o.message;
      return o.result != LinkResult::kGood;
    })) << int(c.cause);
    EXPECT_EQ(message, c.message) << int(c.cause);
    EXPECT_EQ(client.engine->ClockSyncsConfirmed(), 0u) << int(c.cause);
    client.engine->Close(LinkClose::kStop);
    station.Stop();
    EXPECT_EQ(station.DeviceNow().year, 2020) << int(c.cause);
  }
}

}  // namespace
}  // namespace tessvar::test
