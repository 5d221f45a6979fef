#include "link/modbus_frames.h"

#include "link/link_result.h"
#include "link/modbus_checksum.h"

namespace tessvar {
namespace {

// The binary PDU part of a request: address, function, start (except function 118), data.
std::vector<uint8_t> RequestBody(uint8_t address, uint8_t function, uint16_t start,
                                 std::span<const uint8_t> data) {
  std::vector<uint8_t> body;
  body.reserve(4 + data.size() + 2);
  body.push_back(address);
  body.push_back(function);
  if (function != kModbusRtcTestFunction) {
    body.push_back(static_cast<uint8_t>(start >> 8));
    body.push_back(static_cast<uint8_t>(start & 0xFF));
  }
  body.insert(body.end(), data.begin(), data.end());
  return body;
}

// Decodes address, function and data of a checked frame (checksum already removed).
LinkResult DecodeBody(std::span<const uint8_t> body, std::vector<uint8_t>& reply,
                      const ModbusExpectation& expect) {
  if (body.size() < 2) return LinkResult::kNoReply;
  reply.push_back(body[0]);
  reply.push_back(body[1]);
  if (body.size() == 2) return LinkResult::kNoReply;
  const uint8_t function = body[1];
  if (function & modbus::kExceptionFlag) {
    reply.push_back(0);
    reply.push_back(0);
    return ModbusExceptionResult(body[2]);
  }
  if (function == kModbusWriteMultipleRegisters) {
    reply.insert(reply.end(), body.begin() + 2, body.end());
    return LinkResult::kGood;
  }
  const size_t count = body[2];
  if (count > body.size() - 3) return LinkResult::kNoReply;
  if (expect.function == kModbusReadInputRegisters && function == kModbusReadInputRegisters &&
      count != size_t{2} * expect.registers) {
    return LinkResult::kNoReply;
  }
  reply.insert(reply.end(), body.begin() + 3, body.begin() + 3 + static_cast<std::ptrdiff_t>(count));
  return LinkResult::kGood;
}

}  // namespace

std::array<uint8_t, 2> ReadInputRegistersData(uint16_t quantity) {
  return {static_cast<uint8_t>(quantity >> 8), static_cast<uint8_t>(quantity & 0xFF)};
}

std::vector<uint8_t> WriteRegistersData(std::span<const uint16_t> values) {
  std::vector<uint8_t> data;
  data.reserve(3 + 2 * values.size());
  const auto quantity = static_cast<uint16_t>(values.size());
  data.push_back(static_cast<uint8_t>(quantity >> 8));
  data.push_back(static_cast<uint8_t>(quantity & 0xFF));
  data.push_back(static_cast<uint8_t>(2 * values.size()));
  for (uint16_t v : values) {
    data.push_back(static_cast<uint8_t>(v >> 8));
    data.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return data;
}

ModbusExpectation ExpectationFor(uint8_t function, std::span<const uint8_t> data) {
  ModbusExpectation e;
  e.function = function;
  if (function == kModbusReadInputRegisters && data.size() >= 2) {
    e.registers = static_cast<uint16_t>((data[0] << 8) | data[1]);
  }
  return e;
}

std::vector<uint8_t> BuildRtuRequest(uint8_t address, uint8_t function, uint16_t start,
                                     std::span<const uint8_t> data) {
  std::vector<uint8_t> frame = RequestBody(address, function, start, data);
  const uint16_t crc = ModbusCrc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

std::vector<uint8_t> BuildAsciiRequest(uint8_t address, uint8_t function, uint16_t start,
                                       std::span<const uint8_t> data) {
  return ModbusAsciiFrame(RequestBody(address, function, start, data));
}

std::vector<uint8_t> BuildTcpRequest(uint16_t transaction, uint8_t address, uint8_t function,
                                     uint16_t start, std::span<const uint8_t> data) {
  const std::vector<uint8_t> body = RequestBody(address, function, start, data);
  std::vector<uint8_t> adu;
  adu.reserve(kMbapHeaderSize + body.size());
  const auto length = static_cast<uint16_t>(body.size());
  adu.push_back(static_cast<uint8_t>(transaction >> 8));
  adu.push_back(static_cast<uint8_t>(transaction & 0xFF));
  adu.push_back(0);
  adu.push_back(0);
  adu.push_back(static_cast<uint8_t>(length >> 8));
  adu.push_back(static_cast<uint8_t>(length & 0xFF));
  adu.insert(adu.end(), body.begin(), body.end());
  return adu;
}

LinkResult ParseRtuReply(std::span<const uint8_t> frame, std::vector<uint8_t>& reply,
                      const ModbusExpectation& expect) {
  reply.clear();
  if (frame.size() <= 4) return LinkResult::kNoReply;
  const auto body = frame.first(frame.size() - 2);
  const uint16_t received = static_cast<uint16_t>(frame[frame.size() - 2] |
                                                  (frame[frame.size() - 1] << 8));
  if (ModbusCrc16(body) != received) return LinkResult::kBadChecksum;
  return DecodeBody(body, reply, expect);
}

LinkResult ParseAsciiReply(std::span<const uint8_t> text, std::vector<uint8_t>& reply,
                        const ModbusExpectation& expect) {
  reply.clear();
  const size_t n = text.size();
  if (n <= 4) return LinkResult::kNoReply;
  if (text[0] != ':') return LinkResult::kBadStart;
  if (text[n - 1] != '\n') return LinkResult::kBadStop;
  // ':' + address + function + LRC + CR LF is the least a frame can be.
  if (n < 9) return LinkResult::kNoReply;
  const size_t hexChars = n - 3;  // between ':' and CR LF, LRC included
  if (hexChars % 2 != 0) return LinkResult::kBadChecksum;
  std::vector<uint8_t> bytes;
  bytes.reserve(hexChars / 2);
  for (size_t i = 1; i + 1 < n - 2; i += 2) {
    const int hi = modbus::HexDigitValue(text[i], modbus::HexCase::kUpperOnly);
    const int lo = modbus::HexDigitValue(text[i + 1], modbus::HexCase::kUpperOnly);
    if (hi < 0 || lo < 0) return LinkResult::kBadChecksum;
    bytes.push_back(static_cast<uint8_t>((hi << 4) | lo));
  }
  const uint8_t lrc = bytes.back();
  bytes.pop_back();
  if (ModbusLrc(bytes) != lrc) return LinkResult::kBadChecksum;
  return DecodeBody(bytes, reply, expect);
}

std::optional<size_t> MbapFrameLength(std::span<const uint8_t> head) {
  if (head.size() < kMbapHeaderSize) return std::nullopt;
  const size_t length = static_cast<size_t>((head[4] << 8) | head[5]);
  if (length < 2 || length > kMaxModbusPdu + 1) return size_t{0};
  return kMbapHeaderSize + length;
}

FrameScan ScanMbapFrame(std::span<const uint8_t> head) {
  const std::optional<size_t> total = MbapFrameLength(head);
  if (!total) return {FrameStatus::kNeedMore, 0};
  if (*total == 0) return {FrameStatus::kInvalid, 0};
  if (head.size() < *total) return {FrameStatus::kNeedMore, 0};
  return {FrameStatus::kComplete, *total};
}

LinkResult ParseTcpReply(std::span<const uint8_t> adu, std::vector<uint8_t>& reply,
                      const ModbusExpectation& expect) {
  reply.clear();
  // Header, unit, function and one more byte at the least.
  if (adu.size() < kMbapHeaderSize + 3) return LinkResult::kNoReply;
  const std::optional<size_t> total = MbapFrameLength(adu);
  if (!total || *total == 0) return LinkResult::kError;
  if (*total > adu.size()) return LinkResult::kNoReply;
  return DecodeBody(adu.subspan(kMbapHeaderSize, *total - kMbapHeaderSize), reply, expect);
}

}  // namespace tessvar
