#pragma once
// Captured frames as a pcap file that Wireshark and tshark dissect natively:
//   MODBUS TCP, IEC 104  Ethernet/IPv4/TCP to the port the run connected to (a handshake
//                        opens each connection, sequence numbers follow the bytes);
//   MODBUS RTU           Ethernet/IPv4/UDP to port 5020 (decode as mbrtu);
//   MODBUS ASCII         the binary unit of each frame (no LRC) as Modbus/UDP on port 502,
//                        with a transaction number pairing request and reply;
//   FT1.2                Ethernet/IPv4/TCP to port 2405 (decode as iec60870_101).
// The computer is 192.0.2.1; the device is the address connected to, or 192.0.2.2.
#include <cstdint>
#include <fstream>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "monitor/traffic_capture.h"

namespace tessvar::monitor {

inline constexpr uint16_t kRtuUdpPort = 5020;
inline constexpr uint16_t kAsciiUdpPort = 502;
inline constexpr uint16_t kFt12TcpPort = 2405;
inline constexpr uint16_t kClientPortBase = 50000;
inline constexpr uint32_t kClientIpv4 = 0xC0000201;  // 192.0.2.1
inline constexpr uint32_t kDeviceIpv4 = 0xC0000202;  // 192.0.2.2

// The 24-octet file header (microsecond time stamps, Ethernet).
std::vector<uint8_t> PcapFileHeader();

// Turns frames into pcap records, keeping the state that spans frames (TCP sequence numbers
// per connection, the MODBUS/UDP transaction number).
class PcapEncoder {
 public:
  // Appends the records of one frame (with a handshake ahead of a connection's first).
  void Append(const CapturedFrame& frame, std::vector<uint8_t>& out);

 private:
  struct TcpFlow {
    uint32_t clientNext = 0;
    uint32_t deviceNext = 0;
  };
  void Record(int64_t utcMs, std::span<const uint8_t> packet, std::vector<uint8_t>& out);
  void AppendTcp(const CapturedFrame& f, std::span<const uint8_t> payload, uint16_t devicePort,
                 std::vector<uint8_t>& out);
  void AppendUdp(const CapturedFrame& f, std::span<const uint8_t> payload, uint16_t devicePort,
                 std::vector<uint8_t>& out);

  std::map<uint32_t, TcpFlow> flows_;  // by connection number
  uint16_t transaction_ = 0;
  uint16_t ipId_ = 0;
};

// Writes a whole capture file; false (with the reason) when the file cannot be written.
bool WritePcapFile(const std::string& path, const std::vector<CapturedFrame>& frames, std::string& error);

// A pcap file written as a run goes on (tessvar-cli --pcap).
class PcapStream {
 public:
  bool Open(const std::string& path);
  void Write(const CapturedFrame& frame);
  bool Good() const { return file_.good(); }

 private:
  std::ofstream file_;
  PcapEncoder encoder_;
  std::vector<uint8_t> buffer_;
};

}  // namespace tessvar::monitor
