#include <gtest/gtest.h>

#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

TEST(RunControlTest, RtuSmoke) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.Click(1094);
  EXPECT_TRUE(rig.State().m_running);
  for (const auto& m : rig.host.messages) ADD_FAILURE() << m.caption << ": " << m.text;
  EXPECT_TRUE(rig.RunDataSets(2));
  EXPECT_EQ(rig.Text(1189), "Запрос данных");
  EXPECT_EQ(rig.State().m_failureCount, 0);
  std::cerr << rig.Text(1031) << " " << rig.Text(1096) << " stats " << rig.peer->Stats().requests << "\n";
}

}  // namespace
}  // namespace tessvar::test
