#pragma once
// The one-byte outcome of every reply-collecting operation of the protocol engines.
#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace tessvar {

enum class LinkResult : uint8_t {
  kGood = 0,
  kBadStart = 1,     // also the negative acknowledgement of an FT1.2 fixed frame
  kBadStop = 2,
  kBadChecksum = 3,
  kNoReply = 4,      // nothing, or too short a reply
  kNegativeAck = 5,  // FT1.2: no data available
  kNotConfirmed = 6,    // FT1.2: interrogation not confirmed, or data-flow control set
  kBadShortReply = 7,   // FT1.2: 2..4 octets, or a single octet other than E5h
  kNoDescription = 10,
  kUnknownType = 44,
  kUnknownCause = 45,
  kUnknownObjectAddress = 47,
  kExceptionBase = 100,  // + MODBUS exception code
  kIllegalFunction = 101,
  kIllegalDataAddress = 102,
  kIllegalDataValue = 103,
  kDeviceFailure = 104,
  kSingleCharAck = 229,  // FT1.2 single-character acknowledgement E5h
  kError = 255,          // any failure without a code of its own (FT1.2: unexpected function)
};

inline constexpr uint8_t ToByte(LinkResult r) { return static_cast<uint8_t>(r); }

// The status text for a result (UTF-8); empty for kGood.
std::string_view LinkResultText(LinkResult result);

// The result of a MODBUS exception reply: 100 + the exception code where that fits the byte
// (exception codes 1..155), kError otherwise, so an exception can never read as a good reply.
LinkResult ModbusExceptionResult(uint8_t exceptionCode);

// The number, for test and trace output.
std::ostream& operator<<(std::ostream& out, LinkResult result);

}  // namespace tessvar
