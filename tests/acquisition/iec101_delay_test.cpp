// The IEC 101 delay acquisition: against a hand-scripted station the frames on the wire,
// the arithmetic at the minute's edge, the wait, and every refusal with its message; from
// the window against the simulated station the field shows the simulated line delay and
// each fault its message, with the run going on or stopped as it should.
#include <gtest/gtest.h>

#include "tests/acquisition/iec101_station_script.h"
#include "tests/acquisition/iec101_window_rig.h"

namespace tessvar::test {
namespace {

using Then = DelayOutcome::Then;

// A C_CD_NA_1 in a class 2 answer from address 3 (sizes 1, 1, 2) with the given cause
// octet and time; `wideCause` adds the originator octet of a two-octet cause.
std::vector<uint8_t> DelayReply(uint16_t v, uint8_t cause = 0x07, bool wideCause = false) {
  std::vector<uint8_t> body = {0x08, 0x03, 0x6A, 0x01, cause};
  if (wideCause) body.push_back(0x00);
  body.insert(body.end(), {0x03, 0x00, 0x00, static_cast<uint8_t>(v & 0xFF),
                           static_cast<uint8_t>(v >> 8)});
  return Variable(body);
}

uint16_t MsInMinute(Clock& clock) {
  const WallTime t = clock.UtcNow();
  return static_cast<uint16_t>(t.second * 1000 + t.millisecond);
}

// 12:00:00.060 UTC: the command leaves at 00.360 after status and reset, the poll at 00.710.
WallTime JustAfterTheMinute() {
  WallTime t;
  t.year = 2026;
  t.month = 6;
  t.day = 7;
  t.dayOfWeek = 0;
  t.hour = 12;
  t.millisecond = 60;
  return t;
}

TEST(Iec101DelayAcquisition, FramesOnTheWireAndTheDelaySentBack) {
  ScriptedIec101 s;
  s.class2 = {DelayReply(59900)};
  s.class2AfterMs = 490;  // first octet at 01.200
  s.Open();
  s.clock.SetUtc(JustAfterTheMinute());
  const DelayOutcome out = s.engine->AcquireDelay();
  EXPECT_EQ(out.then, Then::kRestart);
  EXPECT_EQ(out.delayMs, 650);  // (61 200 - 59 900) / 2
  EXPECT_EQ(out.message, "");
  s.engine->SendDelay(650);
  const std::vector<std::vector<uint8_t>> want = {
      {0x10, 0x49, 0x03, 0x4C, 0x16},
      {0x10, 0x40, 0x03, 0x43, 0x16},
      // C_CD_NA_1, activation, IOA 0, CP16Time2a 360 ms.
      {0x68, 0x0A, 0x0A, 0x68, 0x73, 0x03, 0x6A, 0x01, 0x06, 0x03, 0x00, 0x00, 0x68, 0x01, 0x53,
       0x16},
      {0x10, 0x5B, 0x03, 0x5E, 0x16},
      // The measured delay, spontaneous.
      {0x68, 0x0A, 0x0A, 0x68, 0x73, 0x03, 0x6A, 0x01, 0x03, 0x03, 0x00, 0x00, 0x8A, 0x02, 0x73,
       0x16},
  };
  EXPECT_EQ(s.frames, want);
}

TEST(Iec101DelayAcquisition, EveryAnswerOfTheStation) {
  struct Case {
    const char* name;
    std::function<void(ScriptedIec101&)> script;
    Then then;
    std::optional<uint16_t> delay;
    std::string message;
  };
  const std::vector<uint8_t> none;
  const std::vector<uint8_t> fixedAck = {0x10, 0x00, 0x03, 0x03, 0x16};
  const std::vector<Case> cases = {
      {"reply at once: 0 ms is a delay",
       [](ScriptedIec101& s) {
         s.class2AfterMs = 0;
         s.class2Now = [&s] { return DelayReply(MsInMinute(s.clock)); };
       },
       Then::kRestart, 0, ""},
      {"fixed-frame acknowledgement", [&](ScriptedIec101& s) { s.answers[3] = fixedAck; },
       Then::kRestart, 175, ""},
      {"two-octet cause",
       [](ScriptedIec101& s) {
         s.settings.iecSizes.causeOfTransmission = 2;
         s.class2 = {DelayReply(360, 0x07, true)};
       },
       Then::kRestart, 175, ""},
      {"reply after the wait", [](ScriptedIec101& s) { s.class2AfterMs = 600; },
       Then::kStopAndRestart, std::nullopt, "Нет подтверждения активации/деактивации опроса"},
      {"v ahead of the reply: about 30 s is no delay",
       [](ScriptedIec101& s) {
         s.class2Now = [&s] { return DelayReply(static_cast<uint16_t>(MsInMinute(s.clock) + 100)); };
       },
       Then::kStopAndRestart, std::nullopt, "Нет подтверждения активации/деактивации опроса"},
      {"status not answered", [&](ScriptedIec101& s) { s.answers[9] = none; }, Then::kNothing,
       std::nullopt, "Ошибка инициализации канала"},
      {"reset not acknowledged", [&](ScriptedIec101& s) { s.answers[0] = none; }, Then::kNothing,
       std::nullopt, "Сбой при определении задержки передачи"},
      {"acknowledgement withheld", [&](ScriptedIec101& s) { s.answers[3] = none; },
       Then::kStopAndRestart, std::nullopt, "Нет подтверждения активации/деактивации опроса"},
      {"negative confirmation (P/N=1)", [](ScriptedIec101& s) { s.class2 = {DelayReply(360, 0x47)}; },
       Then::kStopAndRestart, std::nullopt, "Нет подтверждения активации/деактивации опроса"},
      {"unknown type", [](ScriptedIec101& s) { s.class2 = {DelayReply(360, 0x6C)}; },
       Then::kStopAndRestart, std::nullopt, "Неизвестный идентификатор типа"},
      {"unknown object address", [](ScriptedIec101& s) { s.class2 = {DelayReply(360, 0x6F)}; },
       Then::kStopAndRestart, std::nullopt, "Неизвестный адрес объекта информации"},
  };
  for (const auto& c : cases) {
    ScriptedIec101 s;
    s.class2 = {DelayReply(360)};  // the time sent, held for nothing
    s.class2AfterMs = 0;
    c.script(s);
    s.Open();
    s.clock.SetUtc(JustAfterTheMinute());
    const DelayOutcome out = s.engine->AcquireDelay();
    EXPECT_EQ(out.then, c.then) << c.name;
    EXPECT_EQ(out.delayMs, c.delay) << c.name;
    EXPECT_EQ(out.message, c.message) << c.name;
  }
}

TEST(Iec101DelayWindow, TheFieldShowsTheLineDelayAndTheRunGoesOn) {
  for (uint32_t line : {0u, 40u}) {
    Iec101RigOptions o;
    o.station.lineDelayMs = line;
    Iec101WindowRig rig(o);
    rig.Click(idc::kStart);
    ASSERT_TRUE(rig.RunDataSets(1)) << line;
    rig.Click(idc::kDelayButton);
    EXPECT_TRUE(rig.host.messages.empty()) << rig.host.LastMessageText();
    EXPECT_EQ(rig.Text(idc::kDelayField), std::to_string(line));
    EXPECT_EQ(rig.window->RunControl().LastDelayMs(), line);
    EXPECT_TRUE(rig.window->Run().m_running);
    EXPECT_TRUE(rig.RunDataSets(2)) << line;
  }
}

TEST(Iec101DelayWindow, FaultsShowTheirMessage) {
  struct Case {
    const char* rule;  // counted from the command's first frame: status, reset, command, poll
    std::string message;
    bool pollingGoesOn;
  };
  const std::vector<Case> cases = {
      {"no-reply:1", "Ошибка инициализации канала", false},
      {"no-reply:1@1", "Сбой при определении задержки передачи", false},
      {"late=600:1@3", "Нет подтверждения активации/деактивации опроса", true},
      {"negative=44:1@3", "Неизвестный идентификатор типа", true},
  };
  for (const auto& c : cases) {
    Iec101WindowRig rig;
    ASSERT_EQ(rig.StartThenArm(c.rule), "") << c.rule;
    rig.Click(idc::kDelayButton);
    ASSERT_EQ(rig.host.messages.size(), 1u) << c.rule;
    EXPECT_EQ(rig.host.messages[0].text, c.message) << c.rule;
    EXPECT_EQ(rig.host.messages[0].caption, "Ошибка") << c.rule;
    EXPECT_EQ(rig.Text(idc::kDelayField), "0") << c.rule;
    EXPECT_FALSE(rig.window->RunControl().LastDelayMs()) << c.rule;
    EXPECT_EQ(rig.host.HasTimer(rig.window->GetDialog(), 1), c.pollingGoesOn) << c.rule;
    EXPECT_EQ(rig.RunDataSets(1), c.pollingGoesOn) << c.rule;
  }
}

}  // namespace
}  // namespace tessvar::test
