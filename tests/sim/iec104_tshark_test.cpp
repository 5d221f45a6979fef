// Wireshark's IEC 60870-5-104 dissectors as an independent reader of a whole conversation
// between the client's connection loop and the simulated station: every APDU both ways must
// dissect without a malformed or unknown mark, and the fields must be what was exchanged.
// Skipped when tshark is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "iec104_harness.h"
#include "tests/support/tshark.h"

namespace tessvar::sim {
namespace {

using namespace test;
using tessvar::test::CommandOutput;
using tessvar::test::HaveTshark;
using tessvar::test::HexDumpLine;

class Recorder : public FrameTap {
 public:
  void OnFrame(FrameDirection d, uint64_t, std::span<const uint8_t> bytes) override {
    frames.push_back({d == FrameDirection::Sent, std::vector<uint8_t>(bytes.begin(), bytes.end())});
  }
  struct Frame {
    bool sent;
    std::vector<uint8_t> bytes;
  };
  std::vector<Frame> frames;
};

// One TCP segment per APDU, the client on port 50000 and the station on 2404.
std::string Dissect(const std::vector<Recorder::Frame>& frames, const std::string& tag) {
  const auto dir = std::filesystem::temp_directory_path() / ("tessvar_iec104_tshark_" + tag);
  std::filesystem::create_directories(dir);
  {
    std::ofstream dump(dir / "dump.txt");
    for (const auto& f : frames) {
      dump << (f.sent ? "O " : "I ") << HexDumpLine(f.bytes);
    }
  }
  const std::string cmd = "text2pcap -q -D -T 2404,50000 " + (dir / "dump.txt").string() + " " +
                          (dir / "dump.pcap").string() + " && tshark -r " + (dir / "dump.pcap").string() +
                          " -V -O iec60870_104,iec60870_asdu 2>/dev/null";
  std::string out = CommandOutput(cmd);
  std::filesystem::remove_all(dir);
  return out;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Iec104Tshark, DissectsTheWholeConversationOfEveryModeAndType) {
  if (!HaveTshark()) GTEST_SKIP() << "tshark not installed";
  struct Case {
    IecReadMode mode;
    uint8_t type;
    bool sq;
    const char* typeName;
  };
  const Case cases[] = {
      {IecReadMode::GroupPoll, 9, false, "M_ME_NA_1"},     {IecReadMode::GroupPoll, 9, true, "M_ME_NA_1"},
      {IecReadMode::GroupPoll, 10, false, "M_ME_TA_1"},    {IecReadMode::Read102, 21, true, "M_ME_ND_1"},
      {IecReadMode::Read102, 34, false, "M_ME_TD_1"},      {IecReadMode::LinkLevelRead, 35, false, "M_ME_TE_1"},
      {IecReadMode::LinkLevelRead, 21, false, "M_ME_ND_1"},
  };
  for (const auto& c : cases) {
    Recorder rec;
    Scenario run;
    run.mode = c.mode;
    run.station.monitorType = c.type;
    run.station.sequence = c.sq;
    run.station.cyclicMs = c.mode == IecReadMode::LinkLevelRead ? 1000 : 0;
    run.stopAfterSets = 10;  // more than 8 I-formats: S-formats appear
    run.clockSyncAfterSets = 2;
    run.tap = &rec;
    const auto o = Connect(run);
    ASSERT_EQ(o.sets.size(), 10u);
    const std::string name = std::string(c.typeName) + (c.sq ? " SQ" : "") + " mode " + std::to_string(int(c.mode));
    const std::string text = Dissect(rec.frames, std::to_string(int(c.mode)) + "_" + std::to_string(c.type));
    ASSERT_EQ(Count(text, "IEC 60870-5-104:"), rec.frames.size()) << name;
    EXPECT_EQ(Count(text, "Malformed"), 0u) << name;
    EXPECT_EQ(Count(text, "Unknown"), 0u) << name;
    EXPECT_EQ(Count(text, "[Expert Info (Error"), 0u) << name;
    EXPECT_GE(Count(text, "U (STARTDT act)"), 2u) << name << ": again after the clock synchronisation";
    EXPECT_GE(Count(text, "U (STARTDT con)"), 2u) << name;
    EXPECT_EQ(Count(text, "U (STOPDT act)"), 1u) << name;
    EXPECT_EQ(Count(text, "U (STOPDT con)"), 1u) << name;
    EXPECT_EQ(Count(text, "C_CS_NA_1 Act "), 1u) << name;
    EXPECT_EQ(Count(text, "C_CS_NA_1 ActCon"), 1u) << name;
    EXPECT_GE(Count(text, "TypeId: " + std::string(c.typeName)), 10u) << name;
    if (c.mode == IecReadMode::GroupPoll) {
      EXPECT_GE(Count(text, "C_IC_NA_1 Act "), 10u) << name;
      EXPECT_GE(Count(text, "C_IC_NA_1 ActTerm"), 10u) << name;
      EXPECT_GE(Count(text, "QOI: Station interrogation (global) (20)"), 10u) << name;
    }
    if (c.mode == IecReadMode::Read102) {
      EXPECT_GE(Count(text, "C_RD_NA_1 Req"), 10u) << name;
    }
    // The served values 0x1000 + address, as the dissector reads them.
    for (int a = 1; a < 8; ++a) {
      const std::string ioa = "IOA: " + std::to_string(a);
      EXPECT_GE(Count(text, ioa), 1u) << name << " " << ioa;
    }
    if (c.type != 35) {
      // Normalised: 0x1001 / 32768.
      EXPECT_GE(Count(text, "Value: 0.125"), 1u) << name;
    } else {
      EXPECT_GE(Count(text, "Value: 4097"), 1u) << name;
    }
    // The last N(R) the client sent in an S-format counts what it had received then.
    std::smatch m;
    std::regex s(R"(-> S \((\d+)\)|<- S \((\d+)\))");
    EXPECT_TRUE(std::regex_search(text, m, s)) << name;
  }
}

}  // namespace
}  // namespace tessvar::sim
