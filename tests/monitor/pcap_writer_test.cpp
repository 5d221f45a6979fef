// Capture files of hand-written frames of each protocol, read back by tshark (when
// installed): every packet dissects as its protocol with the fields that were sent, and
// nothing is marked malformed or warned about.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "monitor/pcap_writer.h"
#include "tests/monitor/pcap_tshark.h"

namespace tessvar::monitor {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto kSent = FrameDirection::Sent;
constexpr auto kRecv = FrameDirection::Received;

struct Packet {
  FrameDirection direction;
  Bytes bytes;
  std::vector<std::string> fields;  // substrings of this frame's dissection
};

struct FileCase {
  const char* name;
  FrameFormat format;
  uint16_t devicePort;
  std::vector<Packet> packets;
};

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("tessvar_pcap_" + name + "_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".pcap"))
      .string();
}

TEST(PcapWriter, FileHeaderIsLittleEndianEthernet) {
  EXPECT_EQ(PcapFileHeader(), (Bytes{0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0xFF, 0xFF, 0, 0, 1, 0, 0, 0}));
}

TEST(PcapWriter, RecordCarriesTimeAndLength) {
  CapturedFrame f;
  f.utcMs = 1765312501234;  // 2025-12-09 20:35:01.234 UTC
  f.format.protocol = FrameProtocol::ModbusRtu;
  f.bytes = {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D};
  PcapEncoder e;
  Bytes out;
  e.Append(f, out);
  ASSERT_GE(out.size(), 16u);
  const auto le32 = [&](size_t at) { return out[at] | out[at + 1] << 8 | out[at + 2] << 16 | uint32_t(out[at + 3]) << 24; };
  EXPECT_EQ(le32(0), 1765312501u);
  EXPECT_EQ(le32(4), 234000u);
  EXPECT_EQ(le32(8), 14u + 20u + 8u + 8u);  // Ethernet, IPv4, UDP, the frame
  EXPECT_EQ(le32(12), le32(8));
  EXPECT_EQ(Bytes(out.end() - 8, out.end()), f.bytes);
}

TEST(PcapWriter, TsharkDissectsEveryProtocol) {
  if (!test::HaveTshark()) GTEST_SKIP() << "tshark not installed";
  FrameFormat ft12{FrameProtocol::Ft12};
  ft12.asdu = {1, 1, 2};
  const std::vector<FileCase> cases = {
      {"rtu", {FrameProtocol::ModbusRtu}, 0,
       {{kSent, {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D}, {"Modbus RTU", "Read Input Registers (4)", "Word Count: 10", "CRC-16 Status: Good"}},
        {kRecv, {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x84}, {"Byte Count: 2", "CRC-16 Status: Good"}},
        {kSent, {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D}, {"Word Count: 10"}},
        {kRecv, {0x01, 0x84, 0x02, 0xC2, 0xC1}, {"Exception Code: Illegal data address (2)"}}}},
      {"ascii", {FrameProtocol::ModbusAscii}, 0,
       {{kSent, {':', '0', '1', '0', '3', '0', '0', '0', '0', '0', '0', '0', '1', 'F', 'B', '\r', '\n'},
         {"Modbus/UDP", "Unit Identifier: 1", "Read Holding Registers (3)", "Word Count: 1"}},
        {kRecv, {':', '0', '1', '0', '3', '0', '2', '0', '0', '2', 'A', 'D', '0', '\r', '\n'},
         {"Byte Count: 2", "Register 0 (UINT16): 42"}}}},
      {"tcp", {FrameProtocol::ModbusTcp}, 1502,
       {{kSent, {0x00, 0x07, 0x00, 0x00, 0x00, 0x06, 0x01, 0x04, 0x00, 0x10, 0x00, 0x0A}, {"Modbus/TCP", "Transaction Identifier: 7", "Reference Number: 16"}},
        {kRecv, {0x00, 0x07, 0x00, 0x00, 0x00, 0x05, 0x01, 0x04, 0x02, 0x00, 0x2A}, {"Register 16 (UINT16): 42"}}}},
      {"iec104", {FrameProtocol::Iec104}, 2414,
       {{kSent, {0x68, 0x04, 0x07, 0x00, 0x00, 0x00}, {"<- U (STARTDT act)"}},
        {kRecv, {0x68, 0x04, 0x0B, 0x00, 0x00, 0x00}, {"-> U (STARTDT con)"}},
        {kSent, {0x68, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x64, 0x01, 0x06, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x14},
         {"<- I (0,0)", "C_IC_NA_1", "CauseTx: Act (6)", "QOI: Station interrogation (global) (20)"}},
        {kRecv, {0x68, 0x11, 0x00, 0x00, 0x02, 0x00, 0x15, 0x82, 0x14, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00,
                 0x00, 0xC0, 0xFF, 0x7F}, {"-> I (0,1)", "M_ME_ND_1", "IOA: 256", "IOA: 257"}},
        {kSent, {0x68, 0x04, 0x01, 0x00, 0x02, 0x00}, {"<- S (1)"}}}},
      {"ft12", ft12, 0,
       {{kSent, {0x10, 0x5B, 0x01, 0x5C, 0x16}, {"IEC 60870-5-101", "Data Link Address: 1"}},
        {kRecv, {0x68, 0x0B, 0x0B, 0x68, 0x08, 0x01, 0x09, 0x01, 0x14, 0x01, 0x01, 0x10, 0x00, 0x40, 0x00, 0x79, 0x16},
         {"M_ME_NA_1", "IOA: 4097"}},
        {kRecv, {0xE5}, {"IEC 60870-5-101"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<CapturedFrame> frames;
    int64_t t = 1765312501000;
    for (const auto& p : c.packets) {
      CapturedFrame f;
      f.direction = p.direction;
      f.bytes = p.bytes;
      f.format = c.format;
      f.utcMs = t += 120;
      f.connection = 1;
      f.devicePort = c.devicePort;
      f.deviceIpv4 = 0x7F000001;
      frames.push_back(f);
    }
    const std::string path = TempPath(c.name);
    std::string error;
    ASSERT_TRUE(WritePcapFile(path, frames, error)) << error;
    auto packets = test::DissectPackets(path, test::TsharkOptions(c.format, c.devicePort));
    std::filesystem::remove(path);
    const bool tcp = c.format.protocol == FrameProtocol::ModbusTcp || c.format.protocol == FrameProtocol::Iec104 ||
                     c.format.protocol == FrameProtocol::Ft12;
    ASSERT_EQ(packets.size(), c.packets.size() + (tcp ? 3 : 0));
    if (tcp) packets.erase(packets.begin(), packets.begin() + 3);  // the handshake
    for (size_t i = 0; i < c.packets.size(); ++i) {
      EXPECT_EQ(test::TroubleIn(packets[i]), "") << packets[i];
      for (const auto& field : c.packets[i].fields) {
        EXPECT_NE(packets[i].find(field), std::string::npos) << "packet " << i << " lacks " << field << "\n" << packets[i];
      }
    }
  }
}

}  // namespace
}  // namespace tessvar::monitor
