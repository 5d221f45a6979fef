#pragma once
// Small helpers shared by the link tests.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "link/modbus_checksum.h"

namespace tessvar::test {

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

inline std::vector<uint8_t> Text(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The frame followed by its CRC, low byte first.
inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  const uint16_t crc = ModbusCrc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

// ':' + hex of the bytes + hex LRC + CR LF, as a correct device would send it.
inline std::vector<uint8_t> AsciiFrame(const std::vector<uint8_t>& body) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::vector<uint8_t> text{':'};
  auto put = [&](uint8_t b) {
    text.push_back(static_cast<uint8_t>(kHex[b >> 4]));
    text.push_back(static_cast<uint8_t>(kHex[b & 15]));
  };
  for (uint8_t b : body) put(b);
  put(ModbusLrc(body));
  text.push_back('\r');
  text.push_back('\n');
  return text;
}

}  // namespace tessvar::test
