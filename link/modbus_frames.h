#pragma once
// MODBUS master frames: request builders and reply parsers for RTU, ASCII and TCP. Pure
// functions; the parsers never read past the bytes they are given and never trust a count
// or length field.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/link_result.h"
#include "link/modbus_codec.h"
#include "link/tcp_link.h"

namespace tessvar {

inline constexpr uint8_t kModbusReadInputRegisters = modbus::kReadInputRegisters;
inline constexpr uint8_t kModbusWriteMultipleRegisters = modbus::kWriteMultipleRegisters;
inline constexpr uint8_t kModbusRtcTestFunction = modbus::kRtcTestFunction;
inline constexpr size_t kMbapHeaderSize = modbus::kMbapHeaderSize;
inline constexpr size_t kMaxModbusPdu = modbus::kMaxPdu;

// What the request asked for, so that a reply can be held against it. function 0: nothing
// known, no check beyond the frame's own.
struct ModbusExpectation {
  uint8_t function = 0;
  uint16_t registers = 0;  // function 4: the quantity asked for
};

// Request data for function 4: the quantity, high byte first.
std::array<uint8_t, 2> ReadInputRegistersData(uint16_t quantity);
// Request data for function 16: quantity, byte count, the values big-endian.
std::vector<uint8_t> WriteRegistersData(std::span<const uint16_t> values);
// The expectation a request implies (function 4 with its quantity, else just the function).
ModbusExpectation ExpectationFor(uint8_t function, std::span<const uint8_t> data);

// address, function, start (not for function 118), data, CRC low, CRC high.
std::vector<uint8_t> BuildRtuRequest(uint8_t address, uint8_t function, uint16_t start,
                                     std::span<const uint8_t> data);
// ':' then address, function, start, data and LRC as upper-case hexadecimal text, CR LF.
std::vector<uint8_t> BuildAsciiRequest(uint8_t address, uint8_t function, uint16_t start,
                                       std::span<const uint8_t> data);
// MBAP header (transaction, protocol 0, length) + unit identifier + PDU.
std::vector<uint8_t> BuildTcpRequest(uint16_t transaction, uint8_t address, uint8_t function,
                                     uint16_t start, std::span<const uint8_t> data);

// Reply parsers. Each returns a LinkResult code and fills `reply` with the address (unit)
// byte, the function byte and the data bytes: for function 16 everything after the
// function byte, otherwise the bytes the byte-count field announces. An exception reply
// gives 100 + its code (255 for codes beyond the table) and `reply` = address, function,
// 0, 0. A byte count beyond the bytes present, or (for function 4 with a known quantity)
// other than 2 x the quantity, gives 4.
LinkResult ParseRtuReply(std::span<const uint8_t> frame, std::vector<uint8_t>& reply,
                         const ModbusExpectation& expect = {});
LinkResult ParseAsciiReply(std::span<const uint8_t> text, std::vector<uint8_t>& reply,
                           const ModbusExpectation& expect = {});
// `adu` is one MBAP frame as received; the header's length decides where the frame ends.
LinkResult ParseTcpReply(std::span<const uint8_t> adu, std::vector<uint8_t>& reply,
                         const ModbusExpectation& expect = {});

// The full length of the MBAP frame whose first bytes are `head`: empty while fewer than
// 6 bytes are there, 0 when the length field is impossible (below 2 or above 254).
std::optional<size_t> MbapFrameLength(std::span<const uint8_t> head);

// MbapFrameLength as a stream scan: need more, one complete frame, or an impossible header.
FrameScan ScanMbapFrame(std::span<const uint8_t> head);


}  // namespace tessvar
