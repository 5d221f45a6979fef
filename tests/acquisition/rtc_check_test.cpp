#include "acquisition/rtc_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/acquisition/window_fixture.h"

namespace tessvar::test {
namespace {

// The window's RTC check against the simulated transducer on the in-memory line.
struct RtcRig : WindowRig {
  RtcRig() : WindowRig("rtu-two-channel.dat", ModbusFraming::Rtu) {}
  ServiceOutcome Check(std::string_view code = "TV") { return window->RunControl().OnRtcCheck(code); }
  // What the master wrote after the last zero octet of the wake-up bursts.
  std::vector<uint8_t> AfterBurst() const {
    const auto& w = peer->Line()->written;
    auto last = std::find(w.rbegin(), w.rend(), uint8_t{0x00});
    return std::vector<uint8_t>(last.base(), w.end());
  }
};

TEST(RtcCheckTest, OutcomesTextsAndCaptions) {
  struct Case {
    const char* name;
    sim::ServiceInterface service;
    std::string code;
    bool ok;
    std::string text, caption;
    MessageIcon icon;
  };
  sim::ServiceInterface good;
  sim::ServiceInterface slowOnly = good;
  slowOnly.answerFastProbe = false;
  sim::ServiceInterface silent = good;
  silent.answerFastProbe = silent.answerSlowProbe = false;
  const Case cases[] = {
      {"right code", good, "TV", true, "Запущен режим проверки RTC", "RTC test", MessageIcon::None},
      {"answer only at 4800", slowOnly, "TV", true, "Запущен режим проверки RTC", "RTC test",
       MessageIcon::None},
      {"wrong code: exception reply", good, "XY", false, "Ошибка при запуске режима проверки RTC",
       "RTC test", MessageIcon::Exclamation},
      {"no probe answer", silent, "TV", false, "Не могу подключиться к преобразователю", "Ошибка",
       MessageIcon::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RtcRig rig;
    rig.peer->SetService(c.service);
    const ServiceOutcome out = rig.Check(c.code);
    EXPECT_EQ(out.ok, c.ok);
    EXPECT_EQ(out.message, c.text);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0].text, c.text);
    EXPECT_EQ(rig.host.messages[0].caption, c.caption);
    EXPECT_EQ(rig.host.messages[0].icon, c.icon);
    EXPECT_EQ(rig.peer->Device().RtcTestActive(), c.ok);
    EXPECT_EQ(rig.peer->Line()->openPorts, 0);
    EXPECT_FALSE(rig.State().m_running);
  }
}

TEST(RtcCheckTest, TheTestModeRequestIsSixOctetsWithoutStartAddress) {
  struct Case {
    std::string code;
    std::vector<uint8_t> frame;  // address, 0x76, code, CRC low, CRC high
  };
  const Case cases[] = {
      {"TV", {0x01, 0x76, 0x54, 0x56, 0x5E, 0xFC}},
      {"XY", {0x01, 0x76, 0x58, 0x59, 0x1B, 0xF8}},
  };
  for (const Case& c : cases) {
    RtcRig rig;
    rig.Check(c.code);
    EXPECT_EQ(rig.AfterBurst(), c.frame);
  }
}

TEST(RtcCheckTest, AnInvalidCodeFallsBackToTheDefault) {
  RtcRig rig;
  EXPECT_TRUE(rig.Check("tv").ok);
  EXPECT_EQ(rig.AfterBurst(), (std::vector<uint8_t>{0x01, 0x76, 0x54, 0x56, 0x5E, 0xFC}));
}

TEST(RtcCheckTest, EndsARunAndLeavesThePortClosed) {
  RtcRig rig;
  rig.Click(1094);  // "Старт": the run opens the port
  ASSERT_TRUE(rig.RunDataSets(1));
  ASSERT_EQ(rig.peer->Line()->openPorts, 1);
  EXPECT_TRUE(rig.Check().ok);
  EXPECT_FALSE(rig.State().m_running);
  EXPECT_EQ(rig.peer->Line()->openPorts, 0);
  // Polling stays stopped: nothing more goes out.
  const size_t written = rig.peer->Line()->written.size();
  rig.Run(5000);
  EXPECT_EQ(rig.peer->Line()->written.size(), written);
}

TEST(RtcCheckTest, APortThatCannotBeOpenedIsReported) {
  RtcRig rig;
  rig.peer->Line()->refuseOpen = true;
  const ServiceOutcome out = rig.Check();
  EXPECT_FALSE(out.ok);
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].text, "Не могу открыть ttyS7");
  EXPECT_EQ(rig.host.messages[0].caption, "Ошибка");
  EXPECT_TRUE(rig.peer->Line()->written.empty());
}

}  // namespace
}  // namespace tessvar::test
