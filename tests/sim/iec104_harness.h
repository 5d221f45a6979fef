#pragma once
// The client's IEC 104 connection loop run against the simulated station on one thread and
// the virtual clock, with what came of it.
#include <gtest/gtest.h>

#include <stop_token>

#include "iec104_station_socket.h"
#include "link/iec104_worker.h"
#include "sim_fixture.h"

namespace tessvar::sim::test {

using iec104::SessionEvent;

// Values served: 0x1000 + address for the eight data registers.
inline TransducerOptions Pinned() {
  TransducerOptions o;
  for (uint16_t a = 0; a < 8; ++a) o.pinned[a] = static_cast<uint16_t>(0x1000 + a);
  return o;
}

inline std::vector<uint8_t> ExpectedImage(size_t entries) {
  std::vector<uint8_t> image(2 * entries, 0);
  for (size_t a = 0; a < 8; ++a) {
    image[2 * a] = 0x10;
    image[2 * a + 1] = static_cast<uint8_t>(a);
  }
  return image;
}

struct Outcome {
  std::vector<std::shared_ptr<const iec104::DataSetSnapshot>> sets;
  std::vector<std::string> messages;
  LinkResult result = LinkResult::kBadShortReply;  // not a result the loop gives
  uint64_t endedAtMs = 0;
  uint16_t sentSequence = 0;
};

struct Scenario {
  IecReadMode mode = IecReadMode::GroupPoll;
  Iec104StationOptions station;
  Iec104FaultPlan faults;
  size_t stopAfterSets = 3;   // then an orderly stop
  uint64_t limitMs = 120000;  // virtual time at most
  size_t clockSyncAfterSets = 0;  // ask for a clock synchronisation after this data set
  FrameTap* tap = nullptr;
};

inline Outcome Connect(const Scenario& run) {
  VirtualClock clock;
  const auto description = SmallDescription();
  Transducer transducer(clock, description, Pinned());
  SimStats stats;
  Iec104Station station(run.station, run.faults, transducer, description, stats);
  StationSocket socket(clock, station);
  iec104::SessionConfig config;
  config.mode = run.mode;
  config.readAddresses = {0};
  iec104::Iec104Session session(
      config, MakeAsduDecoder(description, kIec104FieldSizes, run.mode, 0), clock);
  iec104::WorkerShared shared;
  Outcome out;
  std::stop_source stop;
  session.SetFrameTap(run.tap);
  auto onEvent = [&](SessionEvent&& e) {
    if (e.kind == SessionEvent::Kind::DataSet) {
      out.sets.push_back(e.dataSet);
      if (out.sets.size() == run.clockSyncAfterSets) shared.clockSyncRequested = true;
    }
    if (e.kind == SessionEvent::Kind::Message) out.messages.push_back(e.text);
    if (out.sets.size() >= run.stopAfterSets) shared.stopRequested = true;
    if (clock.MonotonicMs() > run.limitMs) stop.request_stop();
  };
  // A guard against a loop that never ends: the virtual clock also ends it.
  clock.AddListener([&](uint64_t now) {
    if (now > run.limitMs) stop.request_stop();
  });
  iec104::RunConnection(session, socket, clock, shared, onEvent, stop.get_token());
  out.result = shared.endResult;
  out.endedAtMs = clock.MonotonicMs();
  out.sentSequence = session.SendSequence();
  EXPECT_TRUE(shared.done);
  return out;
}

}  // namespace tessvar::sim::test
