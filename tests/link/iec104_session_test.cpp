// The IEC 104 connection as a step function on one thread and the virtual clock: the exact
// APDUs it sends, what it accepts and refuses, and when it ends the connection.
#include <gtest/gtest.h>

#include "link/iec104_session.h"
#include "link/link_result.h"
#include "link_test_util.h"
#include "platform/virtual_clock.h"

namespace tessvar::iec104 {
namespace {

using test::Bytes;
using B = std::vector<uint8_t>;

const B kStartAct = Bytes({0x68, 0x04, 0x07, 0x00, 0x00, 0x00});
const B kStartCon = Bytes({0x68, 0x04, 0x0B, 0x00, 0x00, 0x00});
const B kStopAct = Bytes({0x68, 0x04, 0x13, 0x00, 0x00, 0x00});
const B kStopCon = Bytes({0x68, 0x04, 0x23, 0x00, 0x00, 0x00});

// Three quantities at object addresses 0x10, 0x11, 0x12.
DeviceDescription ThreeEntries() {
  DeviceDescription d;
  d.entries = {{"Напряжение (Udc1)", "10", "2"}, {"Ток (Idc1)", "11", "2"}, {"Мощность (Pdc1)", "12", "2"}};
  return d;
}

// An I-format APDU from the station with N(S) = 2 × ns, N(R) = 0.
B StationI(int ns, const B& asdu) {
  B apdu = Bytes({0x68, static_cast<int>(asdu.size() + 4), (2 * ns) & 0xFF, (2 * ns) >> 8, 0, 0});
  apdu.insert(apdu.end(), asdu.begin(), asdu.end());
  return apdu;
}

// M_ME_NA_1, SQ = 1, three objects from 0x10 with values 0x1234, 0x5678, 0x9ABC.
B AllThree(int cause = 20) {
  return Bytes({9, 0x83, cause, 0, 1, 0, 0x10, 0, 0, 0x34, 0x12, 0, 0x78, 0x56, 0, 0xBC, 0x9A, 0});
}
B InterrogationReply(int cause) { return Bytes({100, 1, cause, 0, 1, 0, 0, 0, 0, 20}); }

B Cat(std::initializer_list<B> parts) {
  B out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class Iec104SessionTest : public ::testing::Test {
 protected:
  void Make(IecReadMode mode, std::vector<uint32_t> reads = {}) {
    SessionConfig c;
    c.mode = mode;
    c.pollPeriodMs = 500;
    c.readAddresses = std::move(reads);
    session = std::make_unique<Iec104Session>(
        c, MakeAsduDecoder(ThreeEntries(), kIec104FieldSizes, mode, 0), clock);
    session->Start();
  }
  std::vector<B> Sent() { return session->TakeOutgoing(); }
  void Feed(const B& b) { session->Feed(b); }
  void Pass(uint64_t ms) {
    clock.Advance(ms);
    session->Step();
  }
  std::vector<SessionEvent> Events() { return session->TakeEvents(); }
  const SessionEvent* Find(const std::vector<SessionEvent>& ev, SessionEvent::Kind kind) {
    for (const auto& e : ev) {
      if (e.kind == kind) return &e;
    }
    return nullptr;
  }

  VirtualClock clock;
  std::unique_ptr<Iec104Session> session;
};

TEST_F(Iec104SessionTest, InterrogatesWhenDataTransferIsConfirmed) {
  Make(IecReadMode::GroupPoll);
  EXPECT_EQ(Sent(), std::vector<B>{kStartAct});
  Feed(kStartCon);
  EXPECT_EQ(Sent(), std::vector<B>{Bytes({0x68, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01, 0x06, 0x00,
                                          0x01, 0x00, 0x00, 0x00, 0x00, 0x14})});
  EXPECT_EQ(session->SendSequence(), 2);
}

TEST_F(Iec104SessionTest, AcknowledgesOnceAfterEightOfNineIFormats) {
  Make(IecReadMode::LinkLevelRead);
  Sent();
  Feed(kStartCon);
  std::vector<B> all;
  for (int k = 0; k < 9; ++k) {
    Feed(StationI(k, Bytes({13, 1, 3, 0, 1, 0, 0x50, 0, 0, 0, 0, 0, 0, 0})));
    for (auto& s : Sent()) all.push_back(s);
  }
  EXPECT_EQ(all, std::vector<B>{Bytes({0x68, 0x04, 0x01, 0x00, 0x10, 0x00})});
  EXPECT_EQ(session->ReceiveSequence(), 18);
}

TEST_F(Iec104SessionTest, AnswersTheStationsUFormatsAndLeavesVrAloneOnSFormat) {
  struct Case {
    const char* name;
    B in;
    std::vector<B> out;
  };
  const Case cases[] = {
      {"TESTFR act echoes the rest", Bytes({0x68, 0x04, 0x43, 0x12, 0x34, 0x56}),
       {Bytes({0x68, 0x04, 0x83, 0x12, 0x34, 0x56})}},
      {"TESTFR con needs nothing", Bytes({0x68, 0x04, 0x83, 0x00, 0x00, 0x00}), {}},
      {"S-format needs nothing", Bytes({0x68, 0x04, 0x01, 0x00, 0x08, 0x00}), {}},
      {"STARTDT act is confirmed", kStartAct, {kStartCon}},
  };
  for (const auto& c : cases) {
    Make(IecReadMode::LinkLevelRead);
    Sent();
    Feed(c.in);
    EXPECT_EQ(Sent(), c.out) << c.name;
    EXPECT_EQ(session->ReceiveSequence(), 0) << c.name;
    EXPECT_FALSE(session->Ended()) << c.name;
  }
}

TEST_F(Iec104SessionTest, ClockSyncRestartsDataTransferAndTheCountContinues) {
  Make(IecReadMode::GroupPoll);
  Sent();
  Feed(kStartCon);
  Sent();  // interrogation, N(S) 0
  clock.SetUtc({2026, 6, 7, 0, 12, 34, 56, 400});
  session->RequestClockSync();
  session->Step();
  EXPECT_TRUE(Sent().empty()) << "waits for the start of a second";
  ASSERT_EQ(session->NextDeadlineMs(), clock.MonotonicMs() + 600);
  Pass(600);
  const auto sync = Sent();
  ASSERT_EQ(sync.size(), 1u);
  // N(S) 2, C_CS_NA_1, CP56Time2a of 15:34:57.000 local (12:34:56.400 UTC + 3 h, then the next second) on Sunday 7 June 2026.
  EXPECT_EQ(sync[0], Bytes({0x68, 0x14, 0x02, 0x00, 0x00, 0x00, 0x67, 0x01, 0x06, 0x00, 0x01, 0x00, 0x00,
                            0x00, 0x00, 0xA8, 0xDE, 0x22, 0x0F, 0xE7, 0x06, 0x1A}));
  Pass(499);
  EXPECT_TRUE(Sent().empty());
  Pass(1);
  EXPECT_EQ(Sent(), std::vector<B>{kStartAct});
  Feed(kStartCon);
  const auto again = Sent();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0][2], 0x04) << "N(S) continues after the clock synchronisation";
  EXPECT_EQ(again[0][6], 100);
}

TEST_F(Iec104SessionTest, ClockSyncWokenLateStillGoesOutWithTheTimeSampled) {
  // A station sending on every second keeps the client busy right at the start of each
  // second: the command must not wait for a quieter second that never comes.
  Make(IecReadMode::LinkLevelRead);
  Sent();
  Feed(kStartCon);
  clock.SetUtc({2026, 6, 7, 0, 12, 34, 56, 400});
  session->RequestClockSync();
  session->Step();
  EXPECT_TRUE(Sent().empty());
  Pass(620);  // woken 20 ms after the second began
  const auto sync = Sent();
  ASSERT_EQ(sync.size(), 1u);
  EXPECT_EQ(sync[0][15], (57020 & 0xFF));
  EXPECT_EQ(sync[0][16], (57020 >> 8));
}

TEST_F(Iec104SessionTest, EndsTheConnectionAsTheStationOrTheStreamDemands) {
  struct Case {
    const char* name;
    B in;
    std::vector<B> out;
    LinkResult result;
  };
  const Case cases[] = {
      {"STOPDT act from the station", kStopAct, {kStopCon}, LinkResult::kError},
      {"garbage instead of 0x68", Bytes({0x55, 0x68, 0x04, 0x01, 0x00}), {}, LinkResult::kBadStart},
      {"length below 4", Bytes({0x68, 0x02, 0x01, 0x00}), {}, LinkResult::kError},
  };
  for (const auto& c : cases) {
    Make(IecReadMode::GroupPoll);
    Sent();
    Feed(c.in);
    EXPECT_EQ(Sent(), c.out) << c.name;
    ASSERT_TRUE(session->Ended()) << c.name;
    EXPECT_EQ(session->EndResult(), c.result) << c.name;
    const auto ev = Events();
    ASSERT_NE(Find(ev, SessionEvent::Kind::Ended), nullptr) << c.name;
  }
  Make(IecReadMode::GroupPoll);
  session->PeerClosed();
  EXPECT_EQ(session->EndResult(), LinkResult::kError);
}

TEST_F(Iec104SessionTest, ALostConnectionEndsWithoutResettingTheSequence) {
  Make(IecReadMode::GroupPoll);
  Sent();
  Feed(kStartCon);
  Feed(StationI(0, AllThree()));
  Sent();
  session->ConnectionLost();
  EXPECT_TRUE(session->Ended());
  EXPECT_EQ(session->SendSequence(), 2);
  EXPECT_EQ(session->ReceiveSequence(), 2);
  Pass(20000);
  EXPECT_TRUE(Sent().empty()) << "no STARTDT on a dead connection";
}

TEST_F(Iec104SessionTest, CompletedImageIsHandedOverAndTheCycleStartsAgain) {
  Make(IecReadMode::GroupPoll);
  Sent();
  Feed(kStartCon);
  Feed(Cat({StationI(0, InterrogationReply(7)), StationI(1, AllThree()), StationI(2, InterrogationReply(10))}));
  const auto ev = Events();
  const auto* set = Find(ev, SessionEvent::Kind::DataSet);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->dataSet->image, Bytes({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}));
  EXPECT_EQ(set->dataSet->lastMonitorType, 9);
  EXPECT_EQ(set->dataSet->lastCause, 20);
  EXPECT_TRUE(set->dataSet->requestTime.has_value()) << "stamped at the confirmation";
  // The next interrogation follows one poll period after the termination, not before.
  Sent();
  Pass(499);
  EXPECT_TRUE(Sent().empty());
  Pass(1);
  const auto next = Sent();
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0][6], 100);
  EXPECT_EQ(next[0][2], 0x02);
  EXPECT_EQ(next[0][4], 0x06) << "N(R) counts the three received I-formats";
}

TEST_F(Iec104SessionTest, KeepsAnApduSplitAtEveryOffset) {
  const B stream = Cat({kStartCon, StationI(0, InterrogationReply(7)), StationI(1, AllThree()),
                        Bytes({0x68, 0x04, 0x43, 0x00, 0x00, 0x00})});
  for (size_t cut = 1; cut < stream.size(); ++cut) {
    Make(IecReadMode::GroupPoll);
    Sent();
    Feed(B(stream.begin(), stream.begin() + static_cast<long>(cut)));
    Feed(B(stream.begin() + static_cast<long>(cut), stream.end()));
    const auto ev = Events();
    ASSERT_FALSE(session->Ended()) << cut;
    const auto* set = Find(ev, SessionEvent::Kind::DataSet);
    ASSERT_NE(set, nullptr) << cut;
    EXPECT_EQ(set->dataSet->image, Bytes({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})) << cut;
    EXPECT_EQ(session->ReceiveSequence(), 4) << cut;
    const auto out = Sent();
    EXPECT_EQ(out.back(), Bytes({0x68, 0x04, 0x83, 0x00, 0x00, 0x00})) << cut;
  }
}

TEST_F(Iec104SessionTest, ABurstBeyondTheBufferLosesNothing) {
  Make(IecReadMode::LinkLevelRead);
  Sent();
  B burst = kStartCon;
  for (int k = 0; k < 300; ++k) {
    const auto i = StationI(k, AllThree(1));
    burst.insert(burst.end(), i.begin(), i.end());
  }
  ASSERT_GT(burst.size(), 5000u);
  Feed(burst);
  EXPECT_FALSE(session->Ended());
  EXPECT_EQ(session->ReceiveSequence(), 600);
  size_t sets = 0;
  for (const auto& e : Events()) sets += e.kind == SessionEvent::Kind::DataSet;
  EXPECT_EQ(sets, 300u);
  EXPECT_EQ(Sent().size(), 37u) << "an S-format for every 8 I-formats";
}

TEST_F(Iec104SessionTest, AcknowledgesAFewIFormatsAfterTenSeconds) {
  Make(IecReadMode::LinkLevelRead);
  Sent();
  Feed(kStartCon);
  Feed(StationI(0, AllThree(1)));
  Pass(2000);
  Feed(StationI(1, AllThree(1)));
  Pass(7999);
  EXPECT_TRUE(Sent().empty());
  Pass(1);
  EXPECT_EQ(Sent(), std::vector<B>{Bytes({0x68, 0x04, 0x01, 0x00, 0x04, 0x00})});
  Pass(20000);
  EXPECT_TRUE(Sent().empty()) << "nothing left to acknowledge";
}

TEST_F(Iec104SessionTest, SilenceEndsTheConnectionWithNoReply) {
  Make(IecReadMode::LinkLevelRead);
  Sent();
  Pass(11999);
  EXPECT_FALSE(session->Ended());
  Pass(1);
  ASSERT_TRUE(session->Ended());
  EXPECT_EQ(session->EndResult(), LinkResult::kNoReply);
}

// A clock that moves on by 1 ms whenever it is read, as a real one may between two readings.
class MovingClock : public VirtualClock {
 public:
  uint64_t MonotonicMs() override {
    Advance(1);
    return VirtualClock::MonotonicMs();
  }
};

TEST(Iec104SessionMovingClock, ACommandSentWithinAStepIsNotTakenForSilence) {
  MovingClock clock;
  SessionConfig c;
  c.mode = IecReadMode::Read102;
  c.readAddresses = {0x10};
  c.pollPeriodMs = 1;
  Iec104Session s(c, MakeAsduDecoder(ThreeEntries(), kIec104FieldSizes, c.mode, 0), clock);
  s.Start();
  s.Feed(kStartCon);
  for (int k = 0; k < 50; ++k) {
    s.Feed(StationI(k, Bytes({9, 0x83, 5, 0, 1, 0, 0x10, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0})));
    s.Step();
  }
  EXPECT_FALSE(s.Ended());
}

TEST_F(Iec104SessionTest, ReadModeReadsEachRunInTurnPacedByThePollPeriod) {
  Make(IecReadMode::Read102, {0x10, 0x12});
  Sent();
  Feed(kStartCon);
  auto first = Sent();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0], Bytes({0x68, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x66, 0x01, 0x05, 0x00, 0x01, 0x00,
                             0x10, 0x00, 0x00}));
  Pass(100);
  Feed(StationI(0, Bytes({9, 0x82, 5, 0, 1, 0, 0x10, 0, 0, 1, 0, 0, 2, 0, 0})));
  EXPECT_TRUE(Sent().empty()) << "the next read waits for the poll period";
  Pass(400);
  auto second = Sent();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0][12], 0x12);
  EXPECT_EQ(second[0][4], 0x02);
}

TEST_F(Iec104SessionTest, RefusedCommandsEndTheConnectionInOrder) {
  struct Case {
    const char* name;
    IecReadMode mode;
    B asdu;
    bool message;
    std::string text;
    LinkResult result;
  };
  const Case cases[] = {
      {"read: unknown object", IecReadMode::Read102, Bytes({102, 1, 0x40 | 47, 0, 1, 0, 0x10, 0, 0}), true,
       "Неизвестный адрес объекта информации", LinkResult::kUnknownObjectAddress},
      {"read: unknown type", IecReadMode::Read102, Bytes({102, 1, 44, 0, 1, 0, 0x10, 0, 0}), true,
       "Неизвестный идентификатор типа", LinkResult::kUnknownType},
      {"read: other cause", IecReadMode::Read102, Bytes({102, 1, 0x40 | 5, 0, 1, 0, 0x10, 0, 0}), true,
       "Ошибка", LinkResult::kError},
      {"interrogation: negative confirmation", IecReadMode::GroupPoll,
       Bytes({100, 1, 0x40 | 7, 0, 1, 0, 0, 0, 0, 20}), false, "", LinkResult::kNegativeAck},
  };
  for (const auto& c : cases) {
    Make(c.mode, {0x10});
    Sent();
    Feed(kStartCon);
    Sent();
    Feed(StationI(0, c.asdu));
    EXPECT_EQ(Sent(), std::vector<B>{kStopAct}) << c.name;
    const auto ev = Events();
    const auto* msg = Find(ev, SessionEvent::Kind::Message);
    EXPECT_EQ(msg != nullptr, c.message) << c.name;
    if (msg) {
      EXPECT_EQ(msg->text, c.text) << c.name;
    }
    EXPECT_FALSE(session->Ended());
    Feed(kStopCon);
    ASSERT_TRUE(session->Ended()) << c.name;
    EXPECT_EQ(session->EndResult(), c.result) << c.name;
  }
}

TEST_F(Iec104SessionTest, StopSendsStopDtAndEndsOnConfirmationOrAfterItsWait) {
  for (bool confirmed : {true, false}) {
    Make(IecReadMode::GroupPoll);
    Sent();
    Feed(kStartCon);
    Sent();
    session->RequestStop();
    EXPECT_EQ(Sent(), std::vector<B>{kStopAct});
    Feed(Cat({StationI(0, AllThree())}));  // data still on its way is taken without reply
    EXPECT_TRUE(Sent().empty());
    if (confirmed) Feed(kStopCon);
    Pass(confirmed ? 0 : kStopConfirmWaitMs);
    ASSERT_TRUE(session->Ended()) << confirmed;
    EXPECT_EQ(session->EndResult(), LinkResult::kGood);
  }
}

TEST_F(Iec104SessionTest, CyclicModeStampsEachCompletedImage) {
  Make(IecReadMode::LinkLevelRead);
  Sent();
  Feed(kStartCon);
  EXPECT_TRUE(Sent().empty()) << "nothing is requested";
  Feed(Cat({StationI(0, AllThree(1)), StationI(1, AllThree(1))}));
  size_t sets = 0;
  for (const auto& e : Events()) {
    if (e.kind != SessionEvent::Kind::DataSet) continue;
    ++sets;
    EXPECT_TRUE(e.dataSet->requestTime.has_value());
    EXPECT_EQ(e.dataSet->sequence, sets);
  }
  EXPECT_EQ(sets, 2u);
}

}  // namespace
}  // namespace tessvar::iec104
