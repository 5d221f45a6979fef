// The IEC 101 clock command against a hand-scripted station: the frames on the wire, and
// for each way the station can answer, what the run does next and which message it shows.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/acquisition/iec101_station_script.h"
#include "tests/acquisition/iec101_window_rig.h"

namespace tessvar::test {
namespace {

using Then = ClockWriteOutcome::Then;

WallTime SundayNoon() {
  WallTime t;  // Sunday 7 June 2026, 12:34:56.500
  t.year = 2026;
  t.month = 6;
  t.day = 7;
  t.dayOfWeek = 0;
  t.hour = 12;
  t.minute = 34;
  t.second = 56;
  t.millisecond = 500;
  return t;
}

// The class 2 answer carrying a C_CS_NA_1 with the given cause octet (address 3).
std::vector<uint8_t> ClockReply(uint8_t cause) {
  return Variable({0x08, 0x03, 0x67, 0x01, cause, 0x03, 0x00, 0x00, 0xA8, 0xDE, 0x22, 0x0C,
                   0xE7, 0x06, 0x1A});
}
const std::vector<uint8_t> kNoData = {0x10, 0x09, 0x03, 0x0C, 0x16};
const std::vector<uint8_t> kFixedAck = {0x10, 0x00, 0x03, 0x03, 0x16};

TEST(Iec101ClockCommand, FramesOnTheWire) {
  ScriptedIec101 s;
  s.clock.SetLocal(SundayNoon());
  s.class2 = {ClockReply(0x07)};
  s.Open();
  const auto out = s.engine->WriteClock({});
  EXPECT_EQ(out.then, Then::kRestart);
  EXPECT_EQ(out.message, "");
  // Status, reset, the clock command at the start of the next second (57.000 = DE A8, hour
  // 12, Sunday the 7th = E7, June 2026), then the class 2 poll with FCB 0.
  const std::vector<std::vector<uint8_t>> want = {
      {0x10, 0x49, 0x03, 0x4C, 0x16},
      {0x10, 0x40, 0x03, 0x43, 0x16},
      {0x68, 0x0F, 0x0F, 0x68, 0x73, 0x03, 0x67, 0x01, 0x06, 0x03, 0x00, 0x00, 0xA8, 0xDE,
       0x22, 0x0C, 0xE7, 0x06, 0x1A, 0xA2, 0x16},
      {0x10, 0x5B, 0x03, 0x5E, 0x16},
  };
  EXPECT_EQ(s.frames, want);
}

TEST(Iec101ClockCommand, EveryAnswerOfTheStation) {
  struct Case {
    const char* name;
    std::vector<uint8_t> status, reset, confirm;
    std::vector<std::vector<uint8_t>> class2;
    Then then;
    std::string message;
    size_t frames;  // written by the command
  };
  const std::vector<uint8_t> e5 = {0xE5};
  const std::vector<uint8_t> status = {0x10, 0x0B, 0x03, 0x0E, 0x16};
  const std::vector<Case> cases = {
      {"confirmed", status, e5, e5, {ClockReply(0x07)}, Then::kRestart, "", 4},
      {"fixed-frame acknowledgement", status, kFixedAck, kFixedAck, {ClockReply(0x07)},
       Then::kRestart, "", 4},
      {"status not answered", {}, e5, e5, {ClockReply(0x07)}, Then::kStopAndRestart,
       "Ошибка при инициализации канала", 1},
      {"reset not acknowledged", status, {}, e5, {ClockReply(0x07)}, Then::kStopAndRestart,
       "Ошибка при инициализации канала", 2},
      {"confirmation withheld", status, e5, {}, {kNoData}, Then::kStopAndRestart,
       "Нет подтверждения активации/деактивации опроса", 4},
      {"negative confirmation (P/N=1)", status, e5, e5, {ClockReply(0x47)},
       Then::kStopAndRestart, "Нет подтверждения активации/деактивации опроса", 4},
      {"unknown type", status, e5, {}, {ClockReply(0x6C)}, Then::kStopAndRestart,
       "Неизвестный идентификатор типа", 4},
      {"unknown cause", status, e5, {}, {ClockReply(0x6D)}, Then::kStopAndRestart,
       "Неизвестная причина передачи", 4},
      {"unknown object address", status, e5, e5, {ClockReply(0x6F)}, Then::kStopAndRestart,
       "Неизвестный адрес объекта информации", 4},
      {"acknowledged, confirmation still queued", status, e5, e5, {kNoData}, Then::kRestart,
       "", 4},
  };
  for (const auto& c : cases) {
    ScriptedIec101 s;
    s.clock.SetLocal(SundayNoon());
    s.answers = {{9, c.status}, {0, c.reset}, {3, c.confirm}};
    s.class2 = c.class2;
    s.Open();
    const auto out = s.engine->WriteClock({});
    EXPECT_EQ(out.then, c.then) << c.name;
    EXPECT_EQ(out.message, c.message) << c.name;
    EXPECT_EQ(s.frames.size(), c.frames) << c.name;
  }
}

TEST(Iec101ClockCommand, ClosedPortLeavesPollingStopped) {
  ScriptedIec101 s;
  const auto out = s.engine->WriteClock({});
  EXPECT_EQ(out.then, Then::kNothing);
  EXPECT_EQ(out.message, "Не могу открыть ttyS7");
  EXPECT_TRUE(s.frames.empty());
}

int64_t MsOfDay(const WallTime& t) {
  return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000LL + t.millisecond;
}

TEST(Iec101ClockWindow, SetsTheStationClockAndPollingGoesOn) {
  Iec101RigOptions timeTagged;
  timeTagged.station.monitorType = kMeTd1;  // the converter time comes from the values' time tags
  Iec101WindowRig rig(timeTagged);
  rig.clock.SetLocal(SundayNoon());
  WallTime wrong = SundayNoon();
  wrong.hour = 3;
  rig.transducer->ClockOfDevice().Set(wrong);
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  rig.Click(idc::kClockSync);
  EXPECT_TRUE(rig.host.messages.empty()) << rig.host.LastMessageText();
  EXPECT_TRUE(rig.window->Run().m_running);
  EXPECT_LE(std::abs(MsOfDay(rig.transducer->ClockOfDevice().Now()) - MsOfDay(rig.clock.LocalNow())), 20);
  ASSERT_TRUE(rig.RunDataSets(2));
  // "Время преобразователя" follows the station's clock, now the computer's.
  const WallTime now = rig.clock.LocalNow();
  char hm[16];
  std::snprintf(hm, sizeof hm, "%02d : %02d", now.hour, now.minute);
  EXPECT_EQ(rig.Text(idc::kConverterTime).substr(0, 7), hm);
}

TEST(Iec101ClockWindow, RefusalsShowTheirMessageAndTheRunGoesOn) {
  struct Case {
    const char* rule;  // counted from the command's first frame: status, reset, command, poll
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no-reply:1", "Ошибка при инициализации канала"},
      {"no-reply:1@1", "Ошибка при инициализации канала"},
      {"no-reply:1@2", "Нет подтверждения активации/деактивации опроса"},
      {"negative=47:1@3", "Неизвестный адрес объекта информации"},
      {"negative=44:1@3", "Неизвестный идентификатор типа"},
  };
  for (const auto& c : cases) {
    Iec101WindowRig rig;
    ASSERT_EQ(rig.StartThenArm(c.rule), "") << c.rule;
    rig.Click(idc::kClockSync);
    ASSERT_EQ(rig.host.messages.size(), 1u) << c.rule;
    EXPECT_EQ(rig.host.messages[0].text, c.message) << c.rule;
    EXPECT_EQ(rig.host.messages[0].caption, "Ошибка") << c.rule;
    EXPECT_TRUE(rig.window->Run().m_running) << c.rule;
    EXPECT_TRUE(rig.RunDataSets(2)) << c.rule;
  }
}

}  // namespace
}  // namespace tessvar::test
