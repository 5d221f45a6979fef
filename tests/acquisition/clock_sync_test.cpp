#include "acquisition/clock_sync.h"
#include "app/control_ids.h"

#include <gtest/gtest.h>

#include "link/modbus_frames.h"
#include "link/modbus_request.h"
#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

WallTime JuneSeventh() {
  WallTime t;  // Sunday 7 June 2026, 12:34:56.005
  t.year = 2026;
  t.month = 6;
  t.day = 7;
  t.dayOfWeek = 0;
  t.hour = 12;
  t.minute = 34;
  t.second = 56;
  t.millisecond = 5;
  return t;
}

TEST(ClockSyncTest, WriteFramesOfBothForms) {
  const auto without = ClockWriteData(JuneSeventh(), false);
  EXPECT_EQ(BuildRtuRequest(1, 16, 0x0100, without),
            (std::vector<uint8_t>{0x01, 0x10, 0x01, 0x00, 0x00, 0x03, 0x07, 0xDA, 0xC5, 0x0C, 0x22,
                                  0x1A, 0x07, 0xE6, 0xEF, 0x19}));
  EXPECT_EQ(ClockWriteData(JuneSeventh(), true),
            (std::vector<uint8_t>{0x00, 0x04, 0x08, 0xDA, 0xC5, 0x0C, 0x22, 0x07, 0xE6, 0x00, 0x1A}));
}

TEST(ClockSyncTest, SetsTheSimulatedClockAndPollingGoesOn) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  WallTime t = JuneSeventh();
  t.second = 55;
  t.millisecond = 200;
  rig.clock.SetLocal(t);
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  const size_t before = rig.peer->Line()->written.size();
  rig.window->GetDialog().UserClick(idc::kClockSync);
  EXPECT_TRUE(rig.host.messages.empty()) << rig.host.LastMessageText();
  EXPECT_TRUE(rig.State().m_running);

  // The write: clock registers from the tms entry (0x201), 3 registers, 7 bytes.
  std::span<const uint8_t> w = std::span<const uint8_t>(rig.peer->Line()->written).subspan(before);
  bool found = false;
  for (size_t i = 0; i + 16 <= w.size(); ++i) {
    if (w[i] != 0x01 || w[i + 1] != 0x10) continue;
    const auto r = ParseRtuRequest(w.subspan(i, 16), true);
    ASSERT_EQ(r.status, RequestStatus::Complete);
    EXPECT_EQ(r.request.start, 0x201);
    EXPECT_EQ(r.request.quantity, 3);
    ASSERT_EQ(r.request.data.size(), 7u);
    // Sent within the first 10 ms of a second.
    const int ms = r.request.data[0] * 256 + r.request.data[1];
    EXPECT_TRUE(ms / 1000 >= 56 && ms / 1000 <= 59) << ms;
    EXPECT_LE(ms % 1000, 10);
    EXPECT_EQ(r.request.data[2], 12);
    EXPECT_EQ(r.request.data[4], 26);
    EXPECT_EQ(r.request.data[6], 0xE6);
    found = true;
  }
  EXPECT_TRUE(found);
  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_EQ(rig.Text(idc::kConverterTime).substr(0, 7), "12 : 34");
}

TEST(ClockSyncTest, DescriptionWithoutClockIsRefused) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  auto& entries = rig.window->Description().entries;
  entries.erase(entries.end() - 2, entries.end());
  rig.Click(idc::kStart);
  rig.window->GetDialog().UserClick(idc::kClockSync);
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].text, "Выбранная конфигурация не поддерживает время");
  EXPECT_TRUE(rig.host.HasTimer(rig.window->GetDialog(), 1));
}

}  // namespace
}  // namespace tessvar::test
