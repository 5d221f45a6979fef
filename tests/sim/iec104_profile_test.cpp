// The IEC 104 client against the simulator's standard station (group answers with the
// members only, one object per read, interrogation only at object address 0), with the
// client set up by the transducer profile and by the standard one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stop_token>

#include "acquisition/iec_station_policy.h"
#include "iec104_station_socket.h"
#include "link/iec104_worker.h"
#include "sim_fixture.h"
#include "tests/support/tshark.h"

namespace tessvar::sim::test {
namespace {

using iec104::SessionEvent;

// Every APDU both ways, as the client saw it.
class Recorder : public FrameTap {
 public:
  void OnFrame(FrameDirection d, uint64_t, std::span<const uint8_t> bytes) override {
    dump += (d == FrameDirection::Sent ? "O " : "I ") + tessvar::test::HexDumpLine(bytes);
    ++frames;
  }
  std::string dump;
  size_t frames = 0;
};

struct Result {
  size_t sets = 0;
  std::vector<uint8_t> lastImage;
  std::vector<std::string> messages;
};

// The served description with groups: Udc1 and Idc1 in group 1, the rest in every group
// (code 20), as the transducer's descriptions mark them.
DeviceDescription Grouped() {
  DeviceDescription d = SmallDescription();
  d.groupCodes.assign(d.entries.size(), 20);
  d.groupCodes[0] = d.groupCodes[1] = 21;
  return d;
}

Result RunStation(IecProfile profile, IecReadMode mode, uint8_t group, uint64_t limitMs = 60000,
                  FrameTap* tap = nullptr) {
  VirtualClock clock;
  const DeviceDescription description = Grouped();
  TransducerOptions to;
  for (uint16_t a = 0; a < 8; ++a) to.pinned[a] = static_cast<uint16_t>(0x1000 + a);
  Transducer transducer(clock, description, to);
  SimStats stats;
  Iec104StationOptions so;
  so.standard = true;
  so.monitorType = kMeNb1;
  so.cyclicMs = mode == IecReadMode::LinkLevelRead ? 1000 : 0;
  Iec104Station station(so, {}, transducer, description, stats);
  StationSocket socket(clock, station);

  const IecStationPolicy policy = StationPolicy(profile);
  ConnectionSettings settings;
  settings.iecProfile = profile;
  AsduDecoder decoder = MakeAsduDecoder(description, kIec104FieldSizes, mode, group);
  ApplyStationPolicy(policy, description, settings, decoder);
  iec104::SessionConfig config;
  config.mode = mode;
  config.group = group;
  config.readAddresses = policy.readEveryObject ? AwaitedObjectAddresses(decoder)
                                                : std::vector<uint32_t>{0};
  iec104::Iec104Session session(config, std::move(decoder), clock);
  session.SetFrameTap(tap);
  iec104::WorkerShared shared;
  Result out;
  std::stop_source stop;
  auto onEvent = [&](SessionEvent&& e) {
    if (e.kind == SessionEvent::Kind::DataSet) {
      ++out.sets;
      out.lastImage = e.dataSet->image;
    }
    if (e.kind == SessionEvent::Kind::Message) out.messages.push_back(e.text);
    if (out.sets >= 3) shared.stopRequested = true;
  };
  clock.AddListener([&](uint64_t now) {
    if (now > limitMs) stop.request_stop();
  });
  iec104::RunConnection(session, socket, clock, shared, onEvent, stop.get_token());
  return out;
}

TEST(Iec104Profile, TheStandardProfileCompletesEveryMode) {
  struct Case {
    IecReadMode mode;
    uint8_t group;
  };
  const Case cases[] = {{IecReadMode::GroupPoll, 0},
                        {IecReadMode::GroupPoll, 1},
                        {IecReadMode::Read102, 0},
                        {IecReadMode::LinkLevelRead, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode) * 10 + c.group);
    const Result r = RunStation(IecProfile::Standard, c.mode, c.group);
    EXPECT_EQ(r.sets, 3u);
    EXPECT_TRUE(r.messages.empty());
    ASSERT_GE(r.lastImage.size(), 4u);
    EXPECT_EQ(r.lastImage[0], 0x10);  // Udc1 = 0x1000
    EXPECT_EQ(r.lastImage[1], 0x00);
    EXPECT_EQ(r.lastImage[3], 0x01);  // Idc1 = 0x1001
  }
}

TEST(Iec104Profile, TheTransducerProfileNeverCompletesAGroupOrARead) {
  // Group 1 also awaits the station entries, which a standard station leaves out; a read
  // of a run start gets one object, so the run's other objects never come.
  for (IecReadMode mode : {IecReadMode::GroupPoll, IecReadMode::Read102}) {
    SCOPED_TRACE(static_cast<int>(mode));
    const uint8_t group = mode == IecReadMode::GroupPoll ? 1 : 0;
    const Result r = RunStation(IecProfile::Transducer, mode, group, 20000);
    EXPECT_EQ(r.sets, 0u);
  }
}

}  // namespace
}  // namespace tessvar::sim::test

namespace tessvar::sim::test {
namespace {

TEST(Iec104Profile, TsharkReadsTheStandardConversationWithoutAMalformedApdu) {
  if (!tessvar::test::HaveTshark()) GTEST_SKIP() << "tshark not installed";
  Recorder rec;
  for (IecReadMode mode :
       {IecReadMode::GroupPoll, IecReadMode::Read102, IecReadMode::LinkLevelRead}) {
    ASSERT_EQ(RunStation(IecProfile::Standard, mode, 0, 60000, &rec).sets, 3u);
  }
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tessvar_std104_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  { std::ofstream(dir / "dump.txt") << rec.dump; }
  const std::string out = tessvar::test::CommandOutput(
      "text2pcap -q -D -T 2404,50000 " + (dir / "dump.txt").string() + " " +
      (dir / "dump.pcap").string() + " && tshark -r " + (dir / "dump.pcap").string() +
      " 2>/dev/null");
  std::filesystem::remove_all(dir);
  size_t lines = 0;
  for (size_t at = 0; (at = out.find('\n', at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, rec.frames) << out;
  EXPECT_EQ(out.find("Malformed"), std::string::npos) << out;
  for (const char* seen : {"M_ME_NB_1", "C_IC_NA_1", "C_RD_NA_1", "STARTDT"})
    EXPECT_NE(out.find(seen), std::string::npos) << seen;
}

}  // namespace
}  // namespace tessvar::sim::test
