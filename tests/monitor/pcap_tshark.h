#pragma once
// Reading a capture file back with tshark: the options that make each protocol dissect, and
// the verbose dissection cut into one text per packet.
#include <string>
#include <vector>

#include "monitor/frame_summary.h"
#include "tests/support/tshark.h"

namespace tessvar::test {

// The options the README gives for reading a capture of this protocol.
inline std::string TsharkOptions(const monitor::FrameFormat& f, uint16_t tcpPort) {
  const auto octets = [](int n) { return "'" + std::to_string(n) + " octet'"; };
  switch (f.protocol) {
    case monitor::FrameProtocol::ModbusRtu:
      return "-d udp.port==5020,mbrtu -o mbrtu.crc_verification:TRUE";
    case monitor::FrameProtocol::ModbusAscii: return "";
    case monitor::FrameProtocol::ModbusTcp:
      return tcpPort == 502 ? "" : "-o mbtcp.tcp.port:" + std::to_string(tcpPort);
    case monitor::FrameProtocol::Iec104:
      return tcpPort == 2404 ? "" : "-d tcp.port==" + std::to_string(tcpPort) + ",iec60870_104";
    case monitor::FrameProtocol::Ft12:
      return "-d tcp.port==2405,iec60870_101 -o iec60870_101.linkaddr_len:" + octets(f.linkAddressSize) +
             " -o iec60870_101.cot_len:" + octets(f.asdu.cause) + " -o iec60870_101.asdu_addr_len:" +
             octets(f.asdu.commonAddress) + " -o iec60870_101.asdu_ioa_len:" + octets(f.asdu.objectAddress);
  }
  return "";
}

// The verbose dissection of each packet of a capture file (empty when tshark is missing).
inline std::vector<std::string> DissectPackets(const std::string& path, const std::string& options) {
  const std::string out = CommandOutput("tshark -r '" + path + "' " + options + " -V 2>&1");
  std::vector<std::string> parts;
  size_t at = out.find("Frame 1:");
  while (at != std::string::npos) {
    const size_t next = out.find("\nFrame ", at + 1);
    parts.push_back(out.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next == std::string::npos ? next : next + 1;
  }
  return parts;
}

// A line of the dissection that marks trouble: malformed packets and expert warnings or
// errors (TCP sequence complaints included).
inline std::string TroubleIn(const std::string& packet) {
  for (const char* mark : {"Malformed", "Expert Info (Warning", "Expert Info (Error", "[Checksum Status: Bad]",
                           "Status: Bad", "[incorrect"}) {
    if (packet.find(mark) != std::string::npos) return mark;
  }
  return {};
}

}  // namespace tessvar::test
