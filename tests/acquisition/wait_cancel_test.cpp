// "Стоп" pressed while the window thread waits (a connect limit, a reply wait, the restart
// pause, the clock command's wait) ends the wait at once: the handler that waited returns
// without sending anything more, and the stop runs right after it, never inside it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_dlg.h"
#include "link/ft12_frames.h"
#include "platform/memory_serial_port.h"
#include "platform/tcp_socket.h"
#include "sim/fault_injector.h"
#include "sim/iec101_station.h"
#include "tests/acquisition/window_fixture.h"
#include "ui/gated_clock.h"
#include "ui/wait_gate.h"

namespace tessvar::test {
namespace {

// A MODBUS TCP peer that takes its time: it may never accept the connection, and it may
// never answer. Every request it gets is stamped with the virtual time.
struct SlowPeer {
  bool accepts = true;
  bool answers = false;
  std::vector<uint64_t> requests;
};

class SlowSocket : public TcpSocket {
 public:
  SlowSocket(SlowPeer& peer, VirtualClock& clock) : peer_(peer), clock_(clock) {}
  bool Create() override { return valid_ = true; }
  bool IsValid() const override { return valid_; }
  bool Connect(uint32_t, uint16_t, uint32_t timeoutMs) override {
    clock_.Sleep(timeoutMs);
    return false;
  }
  int ConnectBegin(uint32_t, uint16_t) override { return peer_.accepts ? 1 : 0; }
  int ConnectWait(uint32_t timeoutMs) override {
    clock_.Sleep(timeoutMs);  // never connects
    return 0;
  }
  long Send(std::span<const uint8_t> bytes) override {
    peer_.requests.push_back(clock_.MonotonicMs());
    return static_cast<long>(bytes.size());
  }
  int WaitReadable(uint32_t timeoutMs) override {
    clock_.Sleep(timeoutMs);
    return 0;
  }
  long Recv(std::span<uint8_t>) override { return -1; }
  void ShutdownSend() override {}
  void Close() override { valid_ = false; }

 private:
  SlowPeer& peer_;
  VirtualClock& clock_;
  bool valid_ = false;
};

struct WaitCase {
  const char* wait;
  bool accepts;
  uint64_t stopAtMs;   // virtual time of the click, inside the wait
  bool clockCommand;   // "Синхронизация RTC" pressed first
};

class StopDuringWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(StopDuringWait, EndsTheWaitAtOnceAndSendsNothingMore) {
  const WaitCase& c = GetParam();
  VirtualClock virtualClock;
  ScriptedHost host(virtualClock);
  WaitGate gate;
  gate.requestSettle = [&] { host.Post([&] { gate.Settle(); }); };
  std::unique_ptr<CKrellonDlg> window;
  std::optional<uint64_t> clickedAt, stoppedAt;
  int nested = 0, deepest = 0;
  // What the user does while the window waits: one click on "Стоп" at its time.
  GatedClock clock(virtualClock, gate, [&](uint32_t ms) {
    virtualClock.Sleep(ms);
    if (!clickedAt && virtualClock.MonotonicMs() >= c.stopAtMs) {
      clickedAt = virtualClock.MonotonicMs();
      window->GetDialog().UserClick(idc::kStop);
    }
  });
  SlowPeer peer{c.accepts, false, {}};
  NullStore store;
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return std::vector<std::string>{}; };
  seams.makeSerialPort = [] { return nullptr; };
  seams.makeTcpSocket = [&] { return std::make_unique<SlowSocket>(peer, virtualClock); };
  seams.configureSerial = [](std::string_view) {};
  window = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
  window->OnInitDialog();
  Dialog& d = window->GetDialog();
  d.SetWaitGate(&gate);
  d.UserClick(1107);  // "Файл"
  host.fileAnswers.push_back(SamplePath("tcp-two-channel.dat"));
  ASSERT_TRUE(window->FilePage() && window->FilePage()->LoadDescriptionFile());
  d.SetIpv4(idc::kIpAddress, 0x7F000001);
  struct Watch : DialogObserver {
    std::function<void(int)> changed;
    void ControlChanged(int id) override { changed(id); }
  } watch;
  watch.changed = [&](int id) {
    if (id == idc::kStatusLine && d.Text(id) == "Ожидание" && clickedAt && !stoppedAt)
      stoppedAt = virtualClock.MonotonicMs();
  };
  d.AddObserver(&watch);
  d.OnTimer([&](int id) {
    deepest = std::max(deepest, ++nested);
    window->RunControl().OnTimer(id);
    --nested;
  });

  d.UserClick(idc::kStart);
  if (c.clockCommand) {
    host.RunFor(300);
    d.UserClick(1130);  // "Синхронизация RTC"
  }
  host.RunFor(20000, [&] { return stoppedAt.has_value(); });
  d.RemoveObserver(&watch);

  ASSERT_TRUE(clickedAt.has_value()) << c.wait;
  ASSERT_TRUE(stoppedAt.has_value()) << c.wait;
  EXPECT_LE(*stoppedAt - *clickedAt, GatedClock::kSliceMs) << c.wait;
  for (uint64_t sent : peer.requests) EXPECT_LE(sent, *clickedAt) << c.wait;
  EXPECT_FALSE(window->Run().m_running) << c.wait;
  EXPECT_TRUE(d.IsEnabled(idc::kStart)) << c.wait;
  EXPECT_LE(deepest, 1) << c.wait;
  EXPECT_TRUE(host.messages.empty()) << c.wait;
}

// The tcp sample polls every 500 ms; a reply is awaited for 5 s, a restart pauses 3 s.
INSTANTIATE_TEST_SUITE_P(
    Waits, StopDuringWait,
    ::testing::Values(WaitCase{"connect limit", false, 4000, false},
                      WaitCase{"reply wait", true, 2500, false},
                      WaitCase{"restart pause", true, 7000, false},
                      WaitCase{"clock command", true, 400, true}),
    [](const ::testing::TestParamInfo<WaitCase>& info) {
      std::string name = info.param.wait;
      for (char& ch : name) if (ch == ' ') ch = '_';
      return name;
    });

// The same over an IEC 101 link: the start-up exchange waits after each frame (link status,
// reset, the interrogation's confirmation) and the clock command waits for its
// confirmation. "Стоп" inside any of them ends the run without another frame on the line.
struct Iec101WaitCase {
  const char* wait;
  // The click comes `afterMs` after the line carried the frame `trigger` picks.
  std::function<bool(std::span<const uint8_t>)> trigger;
  uint32_t afterMs;
  bool clockCommand;  // a command pressed during the run
  int button = idc::kClockSync;
};

bool FixedWithFunction(std::span<const uint8_t> f, uint8_t function) {
  return f.size() >= 2 && f[0] == kFt12Fixed && (f[1] & 0x0F) == function;
}
// A variable frame whose ASDU (after 68 L L 68 C A) has the given type.
bool VariableWithType(std::span<const uint8_t> f, uint8_t type) {
  return f.size() > 6 && f[0] == 0x68 && f[6] == type;
}

class StopDuringIec101Wait : public ::testing::TestWithParam<Iec101WaitCase> {};

TEST_P(StopDuringIec101Wait, SendsNothingMoreAfterStop) {
  const Iec101WaitCase& c = GetParam();
  VirtualClock virtualClock;
  ScriptedHost host(virtualClock);
  WaitGate gate;
  gate.requestSettle = [&] { host.Post([&] { gate.Settle(); }); };
  std::unique_ptr<CKrellonDlg> window;
  std::optional<uint64_t> triggeredAt, clickedAt, stoppedAt;
  std::vector<uint64_t> sentAt;
  size_t sentBeforeClick = 0;
  GatedClock clock(virtualClock, gate, [&](uint32_t ms) {
    virtualClock.Sleep(ms);
    if (!clickedAt && triggeredAt && virtualClock.MonotonicMs() >= *triggeredAt + c.afterMs) {
      clickedAt = virtualClock.MonotonicMs();
      sentBeforeClick = sentAt.size();
      window->GetDialog().UserClick(idc::kStop);
    }
  });

  const std::string path = SamplePath("iec101.dat");
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
  const DeviceDescription description =
      ReadDeviceDescription(bytes, {}, LoadOptions{"iec101.dat"}).description;
  sim::Transducer transducer(virtualClock, description, {});
  sim::Iec101FaultInjector faults({}, 3);
  sim::SimStats stats;
  sim::Iec101StationOptions options;
  options.sizes = {1, 1, 2};
  options.linkAddress = 3;
  sim::Iec101Station station(options, description, transducer, faults, stats);
  auto line = std::make_shared<MemorySerialPort::Line>();
  line->onWrite = [&](std::span<const uint8_t> frame) {
    sentAt.push_back(virtualClock.MonotonicMs());
    if (!triggeredAt && c.trigger(frame)) triggeredAt = virtualClock.MonotonicMs();
    station.Receive(frame, virtualClock.MonotonicMs());
  };
  virtualClock.AddListener([&](uint64_t now) {
    const auto due = station.TakeDue(now);
    if (!due.empty()) MemorySerialPort::Deliver(*line, virtualClock, due);
  });

  NullStore store;
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
  seams.makeSerialPort = [&] { return std::make_unique<MemorySerialPort>(virtualClock, line); };
  seams.configureSerial = [](std::string_view) {};
  window = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
  window->OnInitDialog();
  Dialog& d = window->GetDialog();
  d.SetWaitGate(&gate);
  d.UserClick(1107);  // "Файл"
  host.fileAnswers.push_back(path);
  ASSERT_TRUE(window->FilePage() && window->FilePage()->LoadDescriptionFile());
  d.UserSelect(idc::kPortList, d.FindExact(idc::kPortList, "ttyS7"));
  if (c.clockCommand) window->Description().entries.push_back({"Время (tms)", "0x30", "2"});
  d.OnTimer([&](int id) { window->RunControl().OnTimer(id); });
  struct Watch : DialogObserver {
    std::function<void(int)> changed;
    void ControlChanged(int id) override { changed(id); }
  } watch;
  watch.changed = [&](int id) {
    if (id == idc::kStatusLine && d.Text(id) == "Ожидание" && clickedAt && !stoppedAt)
      stoppedAt = virtualClock.MonotonicMs();
  };
  d.AddObserver(&watch);

  d.UserClick(idc::kStart);
  if (c.clockCommand) {
    host.RunFor(3000);
    ASSERT_TRUE(window->Run().m_running);
    d.UserClick(c.button);
  }
  host.RunFor(20000, [&] { return stoppedAt.has_value(); });
  d.RemoveObserver(&watch);

  ASSERT_TRUE(clickedAt.has_value()) << c.wait;
  ASSERT_TRUE(stoppedAt.has_value()) << c.wait;
  EXPECT_LE(*stoppedAt - *clickedAt, GatedClock::kSliceMs) << c.wait;
  // Skipped waits take no time: count the frames rather than compare their times.
  EXPECT_EQ(sentAt.size(), sentBeforeClick) << c.wait;
  EXPECT_FALSE(window->Run().m_running) << c.wait;
  EXPECT_TRUE(host.messages.empty()) << c.wait << ": " << host.LastMessageText();
  window.reset();
}

INSTANTIATE_TEST_SUITE_P(
    Waits, StopDuringIec101Wait,
    ::testing::Values(
        Iec101WaitCase{"link_status", [](auto f) { return FixedWithFunction(f, 9); }, 60, false},
        Iec101WaitCase{"reset", [](auto f) { return FixedWithFunction(f, 0); }, 60, false},
        Iec101WaitCase{"interrogation", [](auto f) { return VariableWithType(f, 100); }, 100,
                       false},
        Iec101WaitCase{"clock_command", [](auto f) { return VariableWithType(f, 103); }, 100,
                       true},
        Iec101WaitCase{"delay_acquisition", [](auto f) { return VariableWithType(f, 106); }, 100,
                       true, idc::kDelayButton},
        // The measured delay told to the station (cause 3): the run must not start again.
        Iec101WaitCase{"delay_sent_back",
                       [](auto f) { return VariableWithType(f, 106) && f.size() > 8 && f[8] == 3; },
                       100, true, idc::kDelayButton}),
    [](const ::testing::TestParamInfo<Iec101WaitCase>& info) { return info.param.wait; });

// After a failed exchange the values are drawn grey until a data set arrives again; the
// failure count is shown and the last failure keeps its time and text as a tooltip.
TEST(StaleValues, TurnGreyAfterAFailureAndClearWithFreshData) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  std::string error;
  rig.peer->SetFaults({*sim::ParseFaultRule("no-reply:1@3", error)});
  Dialog& d = rig.window->GetDialog();
  constexpr int kUdc1 = 1031;
  const Rgb grey{128, 128, 128};
  EXPECT_FALSE(d.State(idc::kFailureCount).visible);
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_FALSE(d.State(kUdc1).textColor.has_value());
  EXPECT_TRUE(d.State(idc::kFailureCount).visible);

  rig.host.RunFor(20000, [&] { return rig.State().m_failureCount > 0; });
  ASSERT_EQ(rig.State().m_failureCount, 1);
  EXPECT_EQ(d.State(kUdc1).textColor, grey);
  EXPECT_EQ(d.Text(idc::kFailureCount), "1");
  const std::string tip = d.State(idc::kStatusLine).toolTip;
  EXPECT_NE(tip.find("Последний сбой: "), std::string::npos) << tip;
  EXPECT_NE(tip.find("Буфер обмена пуст"), std::string::npos) << tip;

  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_FALSE(d.State(kUdc1).textColor.has_value());
  EXPECT_EQ(d.Text(idc::kStatusLine), "Запрос данных");
  EXPECT_EQ(d.State(idc::kStatusLine).toolTip, tip);  // still readable
}

// A description of nothing but clock entries has no entry that ends a data set: "Старт" is
// refused with a message and nothing is sent.
TEST(ClockEntriesOnly, RefuseStart) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  auto& entries = rig.window->Description().entries;
  entries = {{"Время (tms)", "0x30", "2"}, {"Time (thm)", "0x31", "2"}};
  rig.Click(idc::kStart);
  rig.Run(2000);
  EXPECT_FALSE(rig.State().m_running);
  EXPECT_EQ(rig.host.LastMessageText(), "В файле конфигурации нет ни одной измеряемой величины");
  EXPECT_EQ(rig.peer->Stats().requests, 0u);
}

// Escape during a run asks before it ends the run and the recording; the close box does
// not ask.
TEST(EscapeDuringARun, AsksFirst) {
  struct Case {
    bool running;
    bool answer;
    bool ended;
    size_t questions;
  };
  const Case cases[] = {{false, true, true, 0}, {true, false, false, 1}, {true, true, true, 1}};
  for (const Case& c : cases) {
    WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
    Dialog& d = rig.window->GetDialog();
    if (c.running) {
      rig.Click(idc::kStart);
      ASSERT_TRUE(rig.RunDataSets(1));
    }
    rig.host.yesNoAnswers.push_back(c.answer);
    d.UserEscape();
    EXPECT_EQ(d.Ended(), c.ended);
    EXPECT_EQ(rig.host.questions.size(), c.questions);
    EXPECT_EQ(rig.State().m_running, c.running && !c.ended);
  }
}

}  // namespace
}  // namespace tessvar::test
