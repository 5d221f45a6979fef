// A serial device that goes away during a run (an unplugged USB adapter, a closed pty) is
// waited for as a lost TCP peer is: no message box, the status says the run waits, every
// failed attempt to reopen it counts once, and polling resumes when it is back. "Стоп"
// ends the waiting at once.
#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

constexpr std::string_view kAwaiting = "Ожидаем восстановления подключения";

struct OutageCase {
  const char* name;
  const char* sample;
  ModbusFraming framing;
  uint64_t outageMs;  // how long the device stays away
};

class SerialOutage : public ::testing::TestWithParam<OutageCase> {};

TEST_P(SerialOutage, IsWaitedForWithoutABoxAndPollingResumes) {
  const OutageCase& c = GetParam();
  WindowRig rig(c.sample, c.framing);
  auto line = rig.peer->Line();
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(2));
  ASSERT_EQ(rig.State().m_failureCount, 0);

  // The adapter is unplugged: what is open fails, and it cannot be opened again.
  line->failIo = true;
  line->refuseOpen = true;
  const size_t opensBefore = line->openedNames.size();
  bool sawAwaiting = false;
  for (uint64_t t = 0; t < c.outageMs; t += 100) {
    rig.Run(100);
    sawAwaiting = sawAwaiting || rig.Text(idc::kStatusLine) == kAwaiting;
    ASSERT_TRUE(rig.State().m_running) << c.name << " at " << t << " ms";
  }
  const auto refusedOpens = static_cast<int>(line->openedNames.size() - opensBefore);
  EXPECT_TRUE(sawAwaiting) << c.name;
  EXPECT_GE(refusedOpens, 1) << c.name;
  EXPECT_TRUE(rig.window->GetDialog().IsEnabled(idc::kStop)) << c.name;

  // Plugged in again: the run reopens it by itself.
  line->failIo = false;
  line->refuseOpen = false;
  ASSERT_TRUE(rig.RunDataSets(2, 30000)) << c.name << ": " << rig.Text(idc::kStatusLine);
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Запрос данных") << c.name;
  EXPECT_TRUE(rig.host.messages.empty()) << c.name << ": " << rig.host.LastMessageText();
  // The failed exchange, then one per failed reopening.
  EXPECT_EQ(rig.State().m_failureCount, 1 + refusedOpens) << c.name;
  const std::string tip = rig.window->GetDialog().State(idc::kStatusLine).toolTip;
  EXPECT_NE(tip.find("Не могу открыть ttyS7"), std::string::npos) << tip;
}

INSTANTIATE_TEST_SUITE_P(
    Outages, SerialOutage,
    ::testing::Values(OutageCase{"rtu_short", "rtu-two-channel.dat", ModbusFraming::Rtu, 4000},
                      OutageCase{"rtu_long", "rtu-two-channel.dat", ModbusFraming::Rtu, 30000},
                      OutageCase{"ascii", "ascii-dc.dat", ModbusFraming::Ascii, 12000}),
    [](const ::testing::TestParamInfo<OutageCase>& info) { return info.param.name; });

TEST(SerialDeviceGone, StopEndsTheWaitingAtOnce) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  auto line = rig.peer->Line();
  Dialog& d = rig.window->GetDialog();
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  line->failIo = true;
  line->refuseOpen = true;
  rig.host.RunFor(20000, [&] { return rig.Text(idc::kStatusLine) == kAwaiting; });
  ASSERT_EQ(rig.Text(idc::kStatusLine), kAwaiting);

  rig.Click(idc::kStop);
  EXPECT_FALSE(rig.State().m_running);
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Ожидание");
  EXPECT_TRUE(d.IsEnabled(idc::kStart));
  const size_t opens = line->openedNames.size();
  rig.Run(20000);
  EXPECT_EQ(line->openedNames.size(), opens);  // no more attempts
  EXPECT_TRUE(rig.host.messages.empty()) << rig.host.LastMessageText();
}

// The port the user chose on "Старт" is wrong: that is said in a box, and no run begins.
TEST(SerialDeviceGone, FirstOpenOnStartStillRefusesWithABox) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.peer->Line()->refuseOpen = true;
  rig.Click(idc::kStart);
  EXPECT_EQ(rig.host.LastMessageText(), "Не могу открыть ttyS7");
  EXPECT_FALSE(rig.State().m_running);
  rig.Run(20000);
  EXPECT_EQ(rig.host.messages.size(), 1u);
}

}  // namespace
}  // namespace tessvar::test
