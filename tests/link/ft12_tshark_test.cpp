// Wireshark's IEC 60870-5-101 dissector as an independent reader of the frames this client
// sends and of the replies the tests feed it: every frame must dissect to the expected
// fields, with no malformed mark. Skipped when tshark is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "link/ft12_frames.h"
#include "link/iec_asdu.h"
#include "link_test_util.h"
#include "tests/support/tshark.h"

namespace tessvar {
namespace {

using test::Bytes;
using test::HaveTshark;

struct Dissected {
  std::vector<uint8_t> frame;
  std::vector<std::string> expected;  // substrings of this frame's dissection
};

std::string RunTshark(const std::vector<Dissected>& frames, const AsduFieldSizes& s,
                      uint8_t addressSize) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tessvar_ft12_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                    "_" + std::to_string(s.cause) + std::to_string(s.commonAddress) +
                    std::to_string(s.objectAddress));
  std::filesystem::create_directories(dir);
  {
    std::ofstream dump(dir / "dump.txt");
    for (const auto& f : frames) {
      dump << test::HexDumpLine(f.frame);
    }
  }
  auto octets = [](int n) { return "'" + std::to_string(n) + " octet'"; };
  const std::string cmd =
      "text2pcap -q -T 2404,2404 " + (dir / "dump.txt").string() + " " +
      (dir / "dump.pcap").string() + " && tshark -r " + (dir / "dump.pcap").string() +
      " -d tcp.port==2404,iec60870_101 -o iec60870_101.linkaddr_len:" + octets(addressSize) +
      " -o iec60870_101.cot_len:" + octets(s.cause) + " -o iec60870_101.asdu_addr_len:" +
      octets(s.commonAddress) + " -o iec60870_101.asdu_ioa_len:" + octets(s.objectAddress) +
      " -V 2>/dev/null";
  std::string out = test::CommandOutput(cmd);
  std::filesystem::remove_all(dir);
  return out;
}

void ExpectDissection(const std::vector<Dissected>& frames, const AsduFieldSizes& s,
                      uint8_t addressSize) {
  const std::string out = RunTshark(frames, s, addressSize);
  // Each packet's dissection starts with "Frame N:".
  std::vector<std::string> parts;
  size_t at = out.find("Frame 1:");
  while (at != std::string::npos) {
    const size_t next = out.find("\nFrame ", at + 1);
    parts.push_back(out.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next == std::string::npos ? next : next + 1;
  }
  ASSERT_EQ(parts.size(), frames.size()) << out;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(parts[i].find("Malformed"), std::string::npos) << parts[i];
    EXPECT_NE(parts[i].find("IEC 60870-5-101"), std::string::npos) << parts[i];
    for (const auto& e : frames[i].expected)
      EXPECT_NE(parts[i].find(e), std::string::npos) << "frame " << i << " lacks " << e << "\n"
                                                      << parts[i];
  }
}

TEST(Ft12Tshark, SentFramesDissectCleanly) {
  if (!HaveTshark()) GTEST_SKIP() << "tshark not installed";
  const WallTime sunday{2026, 3, 1, 0, 13, 45, 7, 250};
  {
    const AsduFieldSizes s{1, 1, 2};
    ExpectDissection(
        {{BuildFixedFrame(kCtrlRequestStatus, 5, 1), {"Control Field: 0x49", "Data Link Address: 5"}},
         {BuildFixedFrame(kCtrlResetLink, 5, 1), {"Control Field: 0x40", "Reset of Remote Link"}},
         {BuildFixedFrame(kCtrlClass2 | kCtrlFcb, 5, 1), {"FCB: 1", "Request User Data Class 2"}},
         {BuildVariableFrame(0x53, 5, 1, BuildInterrogation(5, 0x10, 6, 0, s, 2)),
          {"C_IC_NA_1", "CauseTx: Act (6)", "IOA: 16", "Station interrogation (global) (20)"}},
         {BuildVariableFrame(0x73, 5, 1, BuildInterrogation(5, 0, 8, 16, s, 2)),
          {"CauseTx: Deact (8)", "Group 16 interrogation (36)"}},
         {BuildVariableFrame(0x5B, 5, 1, BuildRead(5, 0x10, s, 2)), {"C_RD_NA_1", "CauseTx: Req (5)"}},
         {BuildVariableFrame(0x53, 5, 1, BuildClockSyncAt(5, s, 2, sunday)),
          {"C_CS_NA_1", "CP56Time: Mar  1, 2026 13:45:07.250", "DOW: 7"}}},
        s, 1);
  }
  {
    const AsduFieldSizes s{2, 2, 3};
    ExpectDissection(
        {{BuildFixedFrame(kCtrlRequestStatus, 0x0102, 2), {"Data Link Address: 258"}},
         {BuildVariableFrame(0x73, 0x0102, 2, BuildInterrogation(0x0102, 0x123456, 6, 3, s, 2)),
          {"OA: 2", "Addr: 258", "IOA: 1193046", "Group 3 interrogation (23)"}},
         {BuildVariableFrame(0x53, 0x0102, 2, BuildClockSyncAt(0x0102, s, 2, sunday)),
          {"OA: 2", "Hour: 13", "Min: 45"}},
         {BuildVariableFrame(0x73, 0x0102, 2, BuildDelayAcquisition(0x0102, 6, 0x1234, s, 2)),
          {"TypeId: Unknown (106)", "CauseTx: Act (6)", "Raw Data: 3412"}}},
        s, 2);
  }
}

TEST(Ft12Tshark, RepliesTheClientDecodesDissectCleanly) {
  if (!HaveTshark()) GTEST_SKIP() << "tshark not installed";
  const AsduFieldSizes s{1, 1, 2};
  auto data = [](std::vector<uint8_t> asdu) { return BuildVariableFrame(0x08, 5, 1, asdu); };
  ExpectDissection(
      {{data(Bytes({9, 0x83, 5, 5, 0x10, 0, 0x34, 0x12, 0, 1, 0, 0, 2, 0, 0})),
        {"M_ME_NA_1", "SQ: True", "IOA: 18", "(4660)"}},
       {data(Bytes({21, 2, 5, 5, 0x81, 0, 0xFF, 0x7F, 0x10, 0, 1, 0})), {"M_ME_ND_1", "IOA: 129"}},
       {data(Bytes({34, 1, 3, 5, 0x10, 0, 1, 0, 0, 0x88, 0x13, 30, 12, 1, 1, 26})),
        {"M_ME_TD_1", "CP56Time: Jan  1, 2026 12:30:05.000"}},
       {data(Bytes({35, 1, 20, 5, 0x10, 0, 0xFE, 0xFF, 0, 0x88, 0x13, 30, 12, 1, 1, 26})),
        {"M_ME_TE_1", "Value: -2", "CauseTx: Inrogen (20)"}},
       {data(Bytes({10, 1, 3, 5, 0x10, 0, 1, 0, 0, 0x88, 0x13, 30})), {"M_ME_TA_1", "CP24Time"}},
       {data(Bytes({100, 1, 0x47, 5, 0, 0, 20})), {"Negative: True", "CauseTx: ActCon (7)"}},
       {data(Bytes({100, 1, 10, 5, 0, 0, 20})), {"CauseTx: ActTerm (10)"}},
       {BuildFixedFrame(0x09, 5, 1), {"Control Field: 0x09"}},
       {BuildFixedFrame(0x0B, 5, 1), {"Control Field: 0x0b"}}},
      s, 1);
}

}  // namespace
}  // namespace tessvar
