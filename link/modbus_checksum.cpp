#include "link/modbus_checksum.h"

#include <array>

namespace tessvar {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    table[i] = crc;
  }
  return table;
}

constexpr auto kCrcTable = MakeCrcTable();

}  // namespace

uint16_t ModbusCrc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFF]);
  return crc;
}

uint8_t ModbusLrc(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

std::vector<uint8_t> ModbusAsciiFrame(std::span<const uint8_t> binary) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::vector<uint8_t> text;
  text.reserve(1 + 2 * binary.size() + 4);
  auto put = [&](uint8_t b) {
    text.push_back(static_cast<uint8_t>(kDigits[b >> 4]));
    text.push_back(static_cast<uint8_t>(kDigits[b & 0x0F]));
  };
  text.push_back(':');
  for (uint8_t b : binary) put(b);
  put(ModbusLrc(binary));
  text.push_back('\r');
  text.push_back('\n');
  return text;
}

}  // namespace tessvar
