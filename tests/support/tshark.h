#pragma once
// Wireshark's text2pcap and tshark as independent readers of the frames a test exchanged:
// frames are written as a text2pcap hex dump, and the dissection is read back as text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace tessvar::test {

inline bool HaveTshark() {
  return std::system("command -v tshark >/dev/null 2>&1 && command -v text2pcap >/dev/null 2>&1") == 0;
}

// One text2pcap packet line: offset 0000 and the octets in hexadecimal.
inline std::string HexDumpLine(std::span<const uint8_t> bytes) {
  std::string line = "0000";
  for (uint8_t b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02x", b);
    line += hex;
  }
  return line + "\n";
}

// What a shell command prints on stdout (empty when it cannot be started).
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

}  // namespace tessvar::test
