// An IEC 101 station that falls silent in the middle of a run: the automatic restarts find
// the link start-up unanswered. The run must keep trying (each attempt one failure with its
// text, no message box, "Стоп" still live) and poll again once the station answers.
#include <gtest/gtest.h>

#include "acquisition/run_control.h"
#include "app/control_ids.h"
#include "tests/soak/soak_target.h"

namespace tessvar::soak {
namespace {

TEST(Iec101Restart, SilentStationIsRetriedUntilItAnswers) {
  for (const auto protocol : {SoakProtocol::Iec101Group, SoakProtocol::Iec101Read102,
                              SoakProtocol::Iec101LinkLevel}) {
    const std::string name(ProtocolName(protocol));
    auto t = MakeSoakTarget(protocol);
    CKrellonDlg& w = t->Window();
    w.GetDialog().UserClick(idc::kStart);
    t->Host().RunFor(10000);
    ASSERT_GT(w.RunControl().DataSetsPresented(), 0u) << name;

    std::mt19937_64 rng(1);
    t->BeginFault(rng, /*disconnect=*/true);
    t->Host().RunFor(60000);
    EXPECT_TRUE(w.Run().m_running) << name;
    EXPECT_TRUE(t->Host().messages.empty()) << name << ": " << t->Host().LastMessageText();
    // About one attempt per restart pause and its link status wait, never a burst.
    EXPECT_GE(w.Run().m_failureCount, 8) << name;
    EXPECT_LE(w.Run().m_failureCount, 20) << name;
    EXPECT_EQ(w.GetDialog().Text(idc::kStatusLine), "Ошибка при инициализации канала") << name;

    t->EndFault();
    const uint64_t before = w.RunControl().DataSetsPresented();
    t->Host().RunFor(10000);
    EXPECT_GT(w.RunControl().DataSetsPresented(), before) << name;
    EXPECT_TRUE(w.Run().m_running) << name;
    w.GetDialog().UserClick(idc::kStop);
    EXPECT_FALSE(w.Run().m_running) << name;
  }
}

}  // namespace
}  // namespace tessvar::soak
