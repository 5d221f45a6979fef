#pragma once
// The server side of MODBUS: parsing a request ADU (RTU, ASCII or TCP framing) and building
// the normal and exception replies. Pure functions over byte spans; nothing here reads past
// the end of its input or trusts a length field it has not checked against the bytes present.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/modbus_codec.h"

namespace tessvar {

enum class ModbusFraming : uint8_t { Rtu, Ascii, Tcp };

// MODBUS exception codes a server sends.
namespace modbus_exception {
inline constexpr uint8_t kIllegalFunction = 1;
inline constexpr uint8_t kIllegalDataAddress = 2;
inline constexpr uint8_t kIllegalDataValue = 3;
inline constexpr uint8_t kServerFailure = 4;
}  // namespace modbus_exception

namespace modbus_function {
inline constexpr uint8_t kReadHolding = modbus::kReadHoldingRegisters;
inline constexpr uint8_t kReadInput = modbus::kReadInputRegisters;
inline constexpr uint8_t kWriteMultiple = modbus::kWriteMultipleRegisters;
inline constexpr uint8_t kRtcTest = modbus::kRtcTestFunction;  // no start, two code octets
}  // namespace modbus_function

// Largest quantities a well-formed request may carry.
inline constexpr uint16_t kMaxReadRegisters = 125;
inline constexpr uint16_t kMaxWriteRegisters = 123;
// Largest PDU (function code + data) of any MODBUS frame.
inline constexpr size_t kMaxPduSize = modbus::kMaxPdu;

enum class RequestStatus : uint8_t {
  Complete,     // a whole frame was taken; see ModbusRequest (which may call for an exception)
  Incomplete,   // the frame is not finished yet: gather more bytes (nothing consumed)
  BadChecksum,  // CRC or LRC does not match: a device stays silent
  Malformed,    // framing is broken (bad hex text, bad MBAP header, oversize): stay silent
};

struct ModbusRequest {
  uint16_t transaction = 0;  // MBAP transaction identifier (TCP only)
  uint8_t unit = 0;          // device address / unit identifier
  uint8_t function = 0;
  uint16_t start = 0;
  uint16_t quantity = 0;
  uint8_t byteCount = 0;      // function 16 only
  std::vector<uint8_t> data;  // function 16: the byteCount value bytes as sent; 118: the code
  // Non-zero: the frame is sound but the request must be refused with this exception
  // (1 for a function this server does not know, 3 for a quantity or byte count out of range).
  uint8_t exception = 0;
};

struct RequestParseResult {
  RequestStatus status = RequestStatus::Incomplete;
  // Bytes of the input that this result accounts for (the frame, or the bytes to drop).
  // Always <= the input size; 0 only for Incomplete.
  size_t consumed = 0;
  ModbusRequest request;
};

// Parses the PDU (function code and data) of a request. Never fails: a PDU that is too short
// for its function or breaks a rule yields an exception code in the request.
ModbusRequest ParseRequestPdu(std::span<const uint8_t> pdu);

// RTU: `bytes` starts at the first byte after an inter-frame silence. For functions 3, 4
// and 16 the frame length follows from the content and the frame is taken as soon as it is
// complete. For any other function the length is unknown, so the frame is everything gathered
// up to the silence: pass frameEnded = true once t3.5 of silence has passed. With frameEnded,
// an unfinished frame is Malformed (all bytes consumed).
RequestParseResult ParseRtuRequest(std::span<const uint8_t> bytes, bool frameEnded);

// ASCII: ':' hex pairs LRC CR LF. Bytes before the first ':' are consumed as Malformed, and a
// new ':' before the end of a frame drops the unfinished one, as a MODBUS ASCII device does.
RequestParseResult ParseAsciiRequest(std::span<const uint8_t> bytes);

// TCP: MBAP header + PDU. A protocol identifier other than 0 or a length outside 2..254 is
// Malformed with every byte consumed: the stream cannot be resynchronised, close it.
RequestParseResult ParseTcpRequest(std::span<const uint8_t> bytes);

// Reply PDUs.
std::vector<uint8_t> BuildReadRegistersPdu(uint8_t function, std::span<const uint16_t> values);
std::vector<uint8_t> BuildWriteMultipleReplyPdu(uint16_t start, uint16_t quantity);
std::vector<uint8_t> BuildExceptionPdu(uint8_t function, uint8_t code);
// Function 118 accepted: the function, a byte count and the code echoed.
std::vector<uint8_t> BuildRtcTestReplyPdu(std::span<const uint8_t> code);

// Frames a PDU for the wire: RTU appends the CRC (low byte first), ASCII writes ':' hex LRC
// CR LF, TCP puts the MBAP header in front.
std::vector<uint8_t> FrameRtu(uint8_t unit, std::span<const uint8_t> pdu);
std::vector<uint8_t> FrameAscii(uint8_t unit, std::span<const uint8_t> pdu);
std::vector<uint8_t> FrameTcp(uint16_t transaction, uint8_t unit, std::span<const uint8_t> pdu);
std::vector<uint8_t> FrameAdu(ModbusFraming framing, uint16_t transaction, uint8_t unit,
                              std::span<const uint8_t> pdu);

// Upper-case hexadecimal text of bytes, and the reverse (false on any non-hex character).
void AppendHex(std::vector<uint8_t>& out, uint8_t byte);
bool DecodeHexPairs(std::span<const uint8_t> text, std::vector<uint8_t>& out);

}  // namespace tessvar
