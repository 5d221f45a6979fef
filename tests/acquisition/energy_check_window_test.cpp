// The energy and charge check window against the simulated transducer on the virtual
// clock: a six-minute check passes in milliseconds.
#include <gtest/gtest.h>

#include "app/energy_check_dlg.h"
#include "app/energy_check_template.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

constexpr uint64_t kSevenMinutesMs = 7 * 60 * 1000;
const std::string kDone = "Проверка подсчета энергии и кол-ва электричества завершена";

struct CheckRun {
  explicit CheckRun(WindowRig& rig) : rig(rig), check(rig.window->OnEnergyCheck()) {
    check.onFinished = [this] { ++finished; };
  }
  void RunUntilFinished(uint64_t limitMs = kSevenMinutesMs) {
    rig.host.RunFor(limitMs, [this] { return finished > 0; });
  }
  std::string Field(int id) const { return check.GetDialog().Text(id); }

  WindowRig& rig;
  Check_W_C& check;
  int finished = 0;
};

TEST(EnergyCheckWindow, SixTransducerMinutesGiveTheSimulatorsExactIncrements) {
  struct Case {
    const char* sample;
    ModbusFraming framing;
  };
  // Descriptions whose counters and clock registers are read in one request, so that both
  // are sampled at the same moment.
  const Case cases[] = {{"ascii-dc.dat", ModbusFraming::Ascii},
                        {"tcp-two-channel.dat", ModbusFraming::Tcp}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sample);
    WindowRig rig(c.sample, c.framing);
    rig.clock.SetLocal(WallTime{2026, 12, 9, 3, 10, 0, 28, 0});
    rig.peer->SetSteadyDc(true);  // Wdc and Qdc: one code every 100 ms; the clock restarts too
    CheckRun run(rig);
    run.RunUntilFinished();
    ASSERT_EQ(run.finished, 1);
    const auto& t = run.check.Tracker();
    // Polling at 200 ms, the time and counters are read together; the last sample lies
    // exactly six transducer minutes after the first: 3600 codes each.
    for (size_t k = 0; k < kCheckedCounters; ++k) {
      SCOPED_TRACE(kCheckedCounterNames[k]);
      EXPECT_EQ(t.Increment()[k], "3600");
      EXPECT_EQ(ParseCodeText(t.Final()[k]) - ParseCodeText(t.Initial()[k]), 3600);
      EXPECT_EQ(run.Field(kCounterFields[k].initial), t.Initial()[k]);
      EXPECT_EQ(run.Field(kCounterFields[k].final), t.Final()[k]);
      EXPECT_EQ(run.Field(kCounterFields[k].increment), "3600");
    }
    EXPECT_EQ(run.Field(kStartTimeField).substr(0, 7), "10 : 00");
    EXPECT_EQ(run.Field(kEndTimeField).substr(0, 7), "10 : 06");
    EXPECT_EQ(run.Field(kStartTimeField).substr(7), run.Field(kEndTimeField).substr(7));
    EXPECT_EQ(run.Field(kRemainingField), "00 : 00 : 00");
    ASSERT_EQ(rig.host.messages.size(), 1u) << rig.host.LastMessageText();
    EXPECT_EQ(rig.host.messages[0].text, kDone);
    EXPECT_EQ(rig.host.messages[0].caption, "Tessvar");
    EXPECT_EQ(rig.host.messages[0].icon, MessageIcon::None);
    // The check's timers are gone; the run goes on at 200 ms.
    Dialog& d = run.check.GetDialog();
    for (int id : {kCheckSampleTimer, kCheckStartTimer, kCheckCountdownTimer})
      EXPECT_FALSE(rig.host.HasTimer(d, id)) << id;
    EXPECT_TRUE(rig.State().m_running);
    EXPECT_EQ(rig.Text(1090), "200");
    EXPECT_EQ(rig.host.TimerPeriod(rig.window->GetDialog(), 1), 200u);
    EXPECT_TRUE(rig.RunDataSets(3));
    EXPECT_EQ(run.Field(kCounterFields[0].final), t.Final()[0]);  // no longer mirrored
  }
}

TEST(EnergyCheckWindow, OpensCentredOnTheMainWindowWithItsFieldsAtZero) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.host.MoveWindow(rig.window->GetDialog(), 100, 50);  // 1080 x 810 pixels at 2 per unit
  rig.window->GetDialog().FireClick(1215);  // the hidden button
  ASSERT_FALSE(rig.host.ShownPages().empty());
  Dialog& d = *rig.host.ShownPages().back();
  ASSERT_EQ(d.Template().id, 142);
  EXPECT_EQ(d.Title(), "Проверка подсчета энергии и количества электричества");
  const ScreenRect r = rig.host.WindowRect(d);
  EXPECT_EQ(r.left, 100 + 540 - 484);
  EXPECT_EQ(r.top, 50 + 405 - 225);
  EXPECT_EQ(r.Width(), 968);
  for (const auto& f : kCounterFields)
    for (int id : {f.initial, f.final, f.increment}) {
      EXPECT_EQ(d.Text(id), "0") << id;
      EXPECT_TRUE(d.State(id).readOnly) << id;
    }
  for (int id : {kStartTimeField, kEndTimeField, kRemainingField}) EXPECT_EQ(d.Text(id), "") << id;
  EXPECT_FALSE(d.State(1).visible);
  EXPECT_FALSE(d.State(2).visible);
  EXPECT_TRUE(rig.host.HasTimer(d, kCheckStartTimer));
  EXPECT_EQ(rig.host.TimerPeriod(d, kCheckStartTimer), 1000u);
}

TEST(EnergyCheckWindow, ClosingStopsTheCheckAndNeverTheRun) {
  struct Case {
    const char* name;
    void (*close)(Dialog&);
  };
  const Case cases[] = {
      {"close box", [](Dialog& d) { d.UserClose(); }},
      {"Escape", [](Dialog& d) { d.UserEscape(); }},
      {"Enter", [](Dialog& d) { d.UserEnter(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
    CheckRun run(rig);
    rig.Run(3000);
    ASSERT_TRUE(run.check.Tracker().Started());
    Dialog& d = run.check.GetDialog();
    c.close(d);
    EXPECT_TRUE(run.check.Closed());
    EXPECT_TRUE(d.Ended());
    for (int id : {kCheckSampleTimer, kCheckStartTimer, kCheckCountdownTimer})
      EXPECT_FALSE(rig.host.HasTimer(d, id)) << id;
    rig.Run(kSevenMinutesMs);
    EXPECT_EQ(run.finished, 0);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_TRUE(rig.State().m_running);
    // A further press releases the closed window and opens a new one.
    Check_W_C& next = rig.window->OnEnergyCheck();
    EXPECT_FALSE(next.Closed());
    EXPECT_TRUE(rig.host.HasTimer(next.GetDialog(), kCheckStartTimer));
  }
}

TEST(EnergyCheckWindow, NoTransducerTimeMeansNoStartAndNoReport) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  std::string error;
  rig.peer->SetFaults({*sim::ParseFaultRule("no-reply:always", error)});
  CheckRun run(rig);
  rig.Run(kSevenMinutesMs);
  EXPECT_FALSE(run.check.Tracker().Started());
  EXPECT_EQ(run.finished, 0);
  EXPECT_EQ(run.Field(kStartTimeField), "");
  EXPECT_EQ(run.Field(kRemainingField), "");
  EXPECT_EQ(run.Field(kCounterFields[0].increment), "0");
  EXPECT_TRUE(rig.host.messages.empty()) << rig.host.LastMessageText();
}

TEST(EnergyCheckWindow, TheCountdownFollowsTheComputerClock) {
  WindowRig rig("tcp-two-channel.dat", ModbusFraming::Tcp);
  rig.clock.SetLocal(WallTime{2026, 12, 9, 3, 23, 57, 58, 500});
  CheckRun run(rig);
  // The start moment comes with the first sample after the 1 s delay (23:57:59.6); the
  // countdown end is six minutes on, across midnight (00:03:59), and its first tick comes a
  // second later.
  rig.host.RunFor(2600);
  ASSERT_TRUE(run.check.Tracker().Started());
  EXPECT_EQ(run.Field(kRemainingField), "00 : 05 : 59");
  rig.host.RunFor(60000);
  EXPECT_EQ(run.Field(kRemainingField), "00 : 04 : 59");
}

}  // namespace
}  // namespace tessvar::test
