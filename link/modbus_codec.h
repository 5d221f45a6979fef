#pragma once
// What the two sides of MODBUS share: function codes, size limits and the hexadecimal
// digits of ASCII framing. The master (modbus_frames) and the server side (modbus_request)
// both take their constants from here.
#include <cstddef>
#include <cstdint>

namespace tessvar::modbus {

inline constexpr uint8_t kReadHoldingRegisters = 3;
inline constexpr uint8_t kReadInputRegisters = 4;
inline constexpr uint8_t kWriteMultipleRegisters = 16;
inline constexpr uint8_t kRtcTestFunction = 118;  // device-specific, RTU only, no start
inline constexpr uint8_t kExceptionFlag = 0x80;   // set in the function code of an exception

inline constexpr size_t kMaxPdu = 253;
inline constexpr size_t kMbapHeaderSize = 6;  // transaction, protocol, length

// Which digits a reader of ASCII frames takes. The master holds replies to the upper case
// the standard writes; the server side also takes lower case from lenient masters.
enum class HexCase : uint8_t { kUpperOnly, kEither };

// The value of one hexadecimal digit, or -1 for any other character.
constexpr int HexDigitValue(uint8_t c, HexCase accepted) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (accepted == HexCase::kEither && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace tessvar::modbus
