// The capture ring and counters: what a failed exchange marks, what the counters count,
// time stamps, bounded memory over a long run, and frames arriving from another thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "model/connection_settings.h"
#include "monitor/traffic_capture.h"
#include "platform/virtual_clock.h"

namespace tessvar::monitor {
namespace {

using Bytes = std::vector<uint8_t>;

ConnectionSettings Settings(ProtocolKind protocol) {
  ConnectionSettings s;
  s.protocol = protocol;
  return s;
}

// One step of a scripted run: a frame (sent or received) or an exchange result.
struct Step {
  enum Kind { Send, Receive, Result } kind;
  LinkResult result = LinkResult::kGood;
};

struct ExchangeCase {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::pair<size_t, LinkResult>> marked;  // index of the frame (0-based) and mark
  uint64_t good;
  std::map<uint8_t, uint64_t> failures;
};

TEST(TrafficCapture, FailedExchangesMarkTheFrameThatEndedThem) {
  const Step s{Step::Send}, r{Step::Receive};
  const auto res = [](LinkResult x) { return Step{Step::Result, x}; };
  const std::vector<ExchangeCase> cases = {
      {"all good", {s, r, res(LinkResult::kGood), s, r, res(LinkResult::kGood)}, {}, 2, {}},
      {"no reply marks the request", {s, r, res(LinkResult::kGood), s, res(LinkResult::kNoReply)},
       {{2, LinkResult::kNoReply}}, 1, {{4, 1}}},
      {"bad checksum marks the reply", {s, r, res(LinkResult::kBadChecksum)}, {{1, LinkResult::kBadChecksum}}, 0,
       {{3, 1}}},
      {"exception 2 twice", {s, r, res(LinkResult::kIllegalDataAddress), s, r, res(LinkResult::kIllegalDataAddress)},
       {{1, LinkResult::kIllegalDataAddress}, {3, LinkResult::kIllegalDataAddress}}, 0, {{102, 2}}},
      {"several replies: the last is marked", {s, r, r, res(LinkResult::kNotConfirmed)},
       {{2, LinkResult::kNotConfirmed}}, 0, {{6, 1}}},
      {"a failure before any frame marks nothing", {res(LinkResult::kError)}, {}, 0, {{255, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    TrafficCapture capture(clock);
    capture.OnRunStart(Settings(ProtocolKind::ModbusRtu), true);
    const Bytes frame = {0x01, 0x03};
    for (const Step& st : c.steps) {
      if (st.kind == Step::Result) {
        capture.OnExchange(st.result);
      } else {
        capture.OnFrame(st.kind == Step::Send ? FrameDirection::Sent : FrameDirection::Received,
                        clock.MonotonicMs(), frame);
      }
    }
    const auto frames = capture.Frames();
    std::vector<std::pair<size_t, LinkResult>> marked;
    for (size_t i = 0; i < frames.size(); ++i) {
      if (frames[i].failure) marked.emplace_back(i, *frames[i].failure);
    }
    EXPECT_EQ(marked, c.marked);
    const auto marks = capture.MarksAfter(0);
    ASSERT_EQ(marks.size(), c.marked.size());
    for (size_t i = 0; i < marks.size(); ++i) EXPECT_EQ(marks[i].first, frames[c.marked[i].first].sequence);
    const TrafficCounters counters = capture.Counters();
    EXPECT_EQ(counters.good, c.good);
    EXPECT_EQ(counters.failures, c.failures);
  }
}

TEST(TrafficCapture, CountersRunFromStartAndSurviveRestarts) {
  VirtualClock clock;
  TrafficCapture capture(clock);
  capture.OnRunStart(Settings(ProtocolKind::ModbusTcp), true);
  capture.OnFrame(FrameDirection::Sent, clock.MonotonicMs(), Bytes{1});
  capture.OnExchange(LinkResult::kNoReply);
  capture.OnRunStart(Settings(ProtocolKind::ModbusTcp), false);  // the restart after it
  capture.OnFrame(FrameDirection::Sent, clock.MonotonicMs(), Bytes{1});
  EXPECT_EQ(capture.Counters().requests, 2u);
  EXPECT_EQ(capture.Counters().failures.at(ToByte(LinkResult::kNoReply)), 1u);
  EXPECT_EQ(CounterLines(capture.Counters()),
            (std::vector<std::string>{"Запросов: 2", "Принято кадров: 0", "Удачных обменов: 0", "Нет ответа: 1"}));
  capture.OnRunStart(Settings(ProtocolKind::ModbusTcp), true);  // "Старт" again
  EXPECT_EQ(capture.Counters().requests, 0u);
  capture.OnFrame(FrameDirection::Sent, clock.MonotonicMs(), Bytes{1});
  capture.ResetCounters();
  EXPECT_EQ(capture.Counters().requests, 0u);
  EXPECT_EQ(capture.Size(), 3u);  // the reset leaves the frames
  capture.Clear();
  EXPECT_EQ(capture.Size(), 0u);
}

TEST(TrafficCapture, NegativeCausesAreCountedByCause) {
  struct Case {
    ProtocolKind protocol;
    Bytes frame;
    std::map<uint8_t, uint64_t> expected;
  };
  const std::vector<Case> cases = {
      // I-format, C_IC_NA_1 actcon with P/N
      {ProtocolKind::Iec104, {0x68, 0x0E, 0, 0, 0, 0, 0x64, 0x01, 0x47, 0, 1, 0, 0, 0, 0, 0x14}, {{7, 1}}},
      // positive actcon: nothing
      {ProtocolKind::Iec104, {0x68, 0x0E, 0, 0, 0, 0, 0x64, 0x01, 0x07, 0, 1, 0, 0, 0, 0, 0x14}, {}},
      // an S-format frame has no cause even when its octets look like one
      {ProtocolKind::Iec104, {0x68, 0x04, 0x01, 0x00, 0x47, 0x00, 0x47, 0x47}, {}},
      // FT1.2 user data, unknown object address with P/N (1-octet sizes)
      {ProtocolKind::Iec101, {0x68, 0x09, 0x09, 0x68, 0x08, 0x01, 0x64, 0x01, 0x6F, 0x01, 0x00, 0x00, 0x14, 0xF2, 0x16},
       {{47, 1}}},
      // a fixed frame
      {ProtocolKind::Iec101, {0x10, 0x49, 0x01, 0x4A, 0x16}, {}},
      // a truncated variable frame whose cause octet would be the checksum
      {ProtocolKind::Iec101, {0x68, 0x09, 0x09, 0x68, 0x08, 0x01, 0x64, 0x01}, {}},
  };
  for (const auto& c : cases) {
    VirtualClock clock;
    TrafficCapture capture(clock);
    capture.OnRunStart(Settings(c.protocol), true);
    capture.OnFrame(FrameDirection::Received, 0, c.frame);
    EXPECT_EQ(capture.Counters().negativeCauses, c.expected) << HexText(c.frame);
  }
}

TEST(TrafficCapture, TimeSinceStartAndWallTimeAcrossMidnight) {
  VirtualClock clock;
  clock.Advance(10000);
  clock.SetLocal(WallTime{2026, 12, 31, 4, 23, 59, 59, 500});
  TrafficCapture capture(clock);
  capture.OnRunStart(Settings(ProtocolKind::ModbusRtu), true);
  clock.Advance(700);
  capture.OnFrame(FrameDirection::Sent, clock.MonotonicMs(), Bytes{1});
  const auto f = capture.Frames().at(0);
  EXPECT_EQ(f.sinceStartMs, 700u);
  EXPECT_EQ(f.wall.year, 2027);
  EXPECT_EQ(f.wall.month, 1);
  EXPECT_EQ(f.wall.day, 1);
  EXPECT_EQ(f.wall.hour, 0);
  EXPECT_EQ(f.wall.second, 0);
  EXPECT_EQ(f.wall.millisecond, 200);
}

TEST(TrafficCapture, MemoryStaysFlatOverADayOfFrames) {
  VirtualClock clock;
  TrafficCapture capture(clock, 10000);
  capture.OnRunStart(Settings(ProtocolKind::ModbusRtu), true);
  Bytes request = {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D};
  Bytes reply(45, 0x11);
  size_t afterFirstFill = 0;
  // A day at a 100 ms poll: 864 000 exchanges.
  for (uint64_t i = 0; i < 864000; ++i) {
    clock.Advance(100);
    capture.OnFrame(FrameDirection::Sent, clock.MonotonicMs(), request);
    capture.OnFrame(FrameDirection::Received, clock.MonotonicMs(), reply);
    capture.OnExchange(i % 1000 == 0 ? LinkResult::kNoReply : LinkResult::kGood);
    if (i == 20000) afterFirstFill = capture.BufferBytes();
  }
  EXPECT_EQ(capture.Size(), 10000u);
  EXPECT_EQ(capture.BufferBytes(), afterFirstFill);
  EXPECT_LE(capture.MarksAfter(0).size(), 1024u);
  const auto frames = capture.Frames();
  EXPECT_EQ(frames.front().sequence, 2u * 864000 - 10000 + 1);
  EXPECT_EQ(frames.back().sequence, 2u * 864000);
  EXPECT_EQ(capture.Counters().requests, 864000u);
}

TEST(TrafficCapture, ReadsAfterASequenceInBatches) {
  VirtualClock clock;
  TrafficCapture capture(clock, 8);
  for (uint8_t i = 0; i < 20; ++i) capture.OnFrame(FrameDirection::Sent, 0, Bytes{i});
  EXPECT_EQ(capture.FramesAfter(0, 3).front().bytes, Bytes{12});  // the oldest held
  const auto tail = capture.FramesAfter(18);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[0].sequence, 19u);
  EXPECT_EQ(tail[1].bytes, Bytes{19});
  EXPECT_TRUE(capture.FramesAfter(20).empty());
}

// Frames from a worker thread while the window thread reads and counts (run under tsan).
TEST(TrafficCapture, FramesFromAnotherThread) {
  VirtualClock clock;
  TrafficCapture capture(clock, 256);
  constexpr int kFrames = 20000;
  std::thread worker([&] {
    for (int i = 0; i < kFrames; ++i) capture.OnFrame(FrameDirection::Received, static_cast<uint64_t>(i), Bytes{1, 2, 3});
  });
  uint64_t seen = 0;
  for (int round = 0; round < 100000 && seen < kFrames; ++round) {
    for (const auto& f : capture.FramesAfter(seen)) {
      EXPECT_GT(f.sequence, seen);
      seen = f.sequence;
    }
    capture.OnExchange(LinkResult::kGood);
  }
  worker.join();
  EXPECT_EQ(capture.Counters().received, static_cast<uint64_t>(kFrames));
}

}  // namespace
}  // namespace tessvar::monitor
