// A pass that fails half way contributes nothing: the blocks it had answered must not be
// carried into the data set of the pass after the restart. Every register the description
// polls is pinned to one value, a pass fails on its second block, every pin changes while the
// run waits for the missing reply, and the first data set after the restart must hold the
// new values throughout (the same as the next one).
#include <gtest/gtest.h>

#include <algorithm>

#include "acquisition/poll_plan.h"
#include "app/control_ids.h"
#include "tests/acquisition/window_fixture.h"
#include "tests/soak/record_check.h"

namespace tessvar::soak {
namespace {

// Pins in the running transducer, so that a request under way is still answered.
void PinAll(test::WindowRig& rig, uint16_t value) {
  for (const auto& e : rig.peerDescription.entries) {
    const uint32_t address = ParseHexText(e.address);
    const uint32_t words = std::max<uint32_t>(1, (ParseHexText(e.size) + 1) / 2);
    for (uint32_t w = 0; w < words; ++w) rig.peer->Device().Pin(static_cast<uint16_t>(address + w), value);
  }
}

std::string Signature(test::WindowRig& rig) {
  return PresentedSignature(rig.window->GetDialog(), rig.window->Marks());
}

// The two-channel RTU sample is polled in several blocks a pass.
TEST(FailedPass, LeavesNothingInTheNextDataSet) {
  bool repinned = false;  // outlives the rig, whose clock calls the listener below
  test::WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  PinAll(rig, 0x0101);
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(2));
  const uint64_t requestsBefore = rig.peer->Stats().requests;
  ASSERT_TRUE(rig.RunDataSets(1));
  ASSERT_GE(rig.peer->Stats().requests - requestsBefore, 2u) << "a pass of one block";
  const std::string before = Signature(rig);

  // The next pass's first block has been asked for already, so the first request the new
  // rule sees is the second block: no reply to it.
  sim::FaultRule rule;
  rule.kind = sim::FaultKind::NoReply;
  rule.trigger.count = 1;
  rig.peer->ArmFaults({rule});
  // Every value changes as soon as the block goes unanswered, before the restart asks again.
  rig.clock.AddListener([&](uint64_t) {
    if (repinned || rig.peer->Faults().applied[0] == 0) return;
    repinned = true;
    PinAll(rig, 0x0202);
  });
  rig.host.RunFor(30000, [&] { return rig.State().m_failureCount > 0; });
  ASSERT_EQ(rig.State().m_failureCount, 1);
  ASSERT_TRUE(repinned);

  ASSERT_TRUE(rig.RunDataSets(1, 30000)) << rig.Text(idc::kStatusLine);
  const std::string first = Signature(rig);
  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_NE(first, before);
  EXPECT_EQ(first, Signature(rig));
  EXPECT_EQ(rig.State().m_failureCount, 1);
}

}  // namespace
}  // namespace tessvar::soak
