#pragma once
// The one-byte outcome of every reply-collecting operation of the protocol engines.
#include <cstdint>
#include <string_view>

namespace tessvar {

using LinkResultCode = uint8_t;

namespace LinkResult {
inline constexpr uint8_t kGood = 0;
inline constexpr uint8_t kBadStart = 1;
inline constexpr uint8_t kBadStop = 2;
inline constexpr uint8_t kBadChecksum = 3;
inline constexpr uint8_t kNoReply = 4;  // nothing, or too short a reply
inline constexpr uint8_t kNegativeAck = 5;
inline constexpr uint8_t kNoDescription = 10;
inline constexpr uint8_t kUnknownType = 44;
inline constexpr uint8_t kUnknownCause = 45;
inline constexpr uint8_t kUnknownObjectAddress = 47;
inline constexpr uint8_t kExceptionBase = 100;  // + MODBUS exception code
inline constexpr uint8_t kIllegalFunction = 101;
inline constexpr uint8_t kIllegalDataAddress = 102;
inline constexpr uint8_t kIllegalDataValue = 103;
inline constexpr uint8_t kDeviceFailure = 104;
inline constexpr uint8_t kError = 255;  // any failure without a code of its own
}  // namespace LinkResult

// The status text for a code (UTF-8); empty for 0 (good reply).
std::string_view LinkResultText(uint8_t code);

// The code of a MODBUS exception reply: 100 + the exception code where that fits the byte
// (exception codes 1..155), 255 otherwise, so an exception can never read as a good reply.
uint8_t ModbusExceptionResult(uint8_t exceptionCode);

}  // namespace tessvar
