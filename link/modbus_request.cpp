#include "link/modbus_request.h"

#include "link/modbus_checksum.h"

namespace tessvar {
namespace {

uint16_t Be16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}

void PushBe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

// Bytes the PDU of a known function occupies, computed from what is present; 0 = unknown
// function, SIZE_MAX = not enough bytes yet to tell.
constexpr size_t kNeedMore = static_cast<size_t>(-1);
size_t KnownPduLength(std::span<const uint8_t> pdu) {
  if (pdu.empty()) return kNeedMore;
  switch (pdu[0]) {
    case modbus_function::kReadHolding:
    case modbus_function::kReadInput:
      return 5;
    case modbus_function::kWriteMultiple:
      if (pdu.size() < 6) return kNeedMore;
      return 6 + static_cast<size_t>(pdu[5]);
    case modbus_function::kRtcTest:
      return 3;
    default:
      return 0;
  }
}

RequestParseResult Dropped(RequestStatus status, size_t consumed) {
  RequestParseResult r;
  r.status = status;
  r.consumed = consumed;
  return r;
}

}  // namespace

ModbusRequest ParseRequestPdu(std::span<const uint8_t> pdu) {
  ModbusRequest req;
  if (pdu.empty()) {
    req.exception = modbus_exception::kIllegalFunction;
    return req;
  }
  req.function = pdu[0];
  switch (req.function) {
    case modbus_function::kReadHolding:
    case modbus_function::kReadInput:
      if (pdu.size() != 5) {
        req.exception = modbus_exception::kIllegalDataValue;
        return req;
      }
      req.start = Be16(pdu, 1);
      req.quantity = Be16(pdu, 3);
      if (req.quantity == 0 || req.quantity > kMaxReadRegisters)
        req.exception = modbus_exception::kIllegalDataValue;
      return req;
    case modbus_function::kWriteMultiple: {
      if (pdu.size() < 6) {
        req.exception = modbus_exception::kIllegalDataValue;
        return req;
      }
      req.start = Be16(pdu, 1);
      req.quantity = Be16(pdu, 3);
      req.byteCount = pdu[5];
      if (pdu.size() != 6 + static_cast<size_t>(req.byteCount) || req.quantity == 0 ||
          req.quantity > kMaxWriteRegisters) {
        req.exception = modbus_exception::kIllegalDataValue;
        return req;
      }
      // One byte more than the registers need is tolerated: a clock write of this device
      // family carries a trailing weekday/month byte. The register map decides whether such
      // a write is acceptable.
      const size_t need = 2u * req.quantity;
      if (req.byteCount != need && req.byteCount != need + 1) {
        req.exception = modbus_exception::kIllegalDataValue;
        return req;
      }
      auto data = pdu.subspan(6);
      req.data.assign(data.begin(), data.end());
      return req;
    }
    case modbus_function::kRtcTest:
      if (pdu.size() != 3) {
        req.exception = modbus_exception::kIllegalDataValue;
        return req;
      }
      req.data.assign(pdu.begin() + 1, pdu.end());
      return req;
    default:
      req.exception = modbus_exception::kIllegalFunction;
      return req;
  }
}

RequestParseResult ParseRtuRequest(std::span<const uint8_t> bytes, bool frameEnded) {
  constexpr size_t kMaxRtuFrame = 1 + kMaxPduSize + 2;
  if (bytes.size() < 2) {
    return frameEnded && !bytes.empty() ? Dropped(RequestStatus::Malformed, bytes.size())
                                        : RequestParseResult{};
  }
  size_t frameLength = 0;
  const size_t pduLength = KnownPduLength(bytes.subspan(1));
  if (pduLength == kNeedMore) {
    if (frameEnded) return Dropped(RequestStatus::Malformed, bytes.size());
    return {};
  }
  if (pduLength != 0) {
    frameLength = 1 + pduLength + 2;
    if (bytes.size() < frameLength) {
      if (frameEnded) return Dropped(RequestStatus::Malformed, bytes.size());
      return {};
    }
  } else {
    // Unknown function: only the silence tells where the frame ends.
    if (!frameEnded) {
      if (bytes.size() > kMaxRtuFrame) return Dropped(RequestStatus::Malformed, bytes.size());
      return {};
    }
    if (bytes.size() < 4 || bytes.size() > kMaxRtuFrame)
      return Dropped(RequestStatus::Malformed, bytes.size());
    frameLength = bytes.size();
  }
  auto frame = bytes.first(frameLength);
  const uint16_t crc = ModbusCrc16(frame.first(frameLength - 2));
  const uint16_t got = static_cast<uint16_t>(frame[frameLength - 2] | (frame[frameLength - 1] << 8));
  if (crc != got) {
    // After a damaged frame a device waits for the next silence: drop everything gathered.
    return Dropped(RequestStatus::BadChecksum, bytes.size());
  }
  RequestParseResult r;
  r.status = RequestStatus::Complete;
  r.consumed = frameLength;
  r.request = ParseRequestPdu(frame.subspan(1, frameLength - 3));
  r.request.unit = frame[0];
  return r;
}

RequestParseResult ParseAsciiRequest(std::span<const uint8_t> bytes) {
  // ':' + 2 × (address + PDU + LRC) + CR LF
  constexpr size_t kMaxAsciiFrame = 1 + 2 * (1 + kMaxPduSize + 1) + 2;
  if (bytes.empty()) return {};
  if (bytes[0] != ':') {
    size_t skip = 0;
    while (skip < bytes.size() && bytes[skip] != ':') ++skip;
    return Dropped(RequestStatus::Malformed, skip);
  }
  size_t end = 1;
  while (end < bytes.size() && bytes[end] != '\n') {
    if (bytes[end] == ':') return Dropped(RequestStatus::Malformed, end);  // restart here
    ++end;
  }
  if (end >= bytes.size()) {
    if (bytes.size() > kMaxAsciiFrame) return Dropped(RequestStatus::Malformed, bytes.size());
    return {};
  }
  const size_t consumed = end + 1;
  // Text between ':' and CR LF.
  if (end < 2 || bytes[end - 1] != '\r') return Dropped(RequestStatus::Malformed, consumed);
  auto hex = bytes.subspan(1, end - 2);
  std::vector<uint8_t> binary;
  if (hex.size() % 2 != 0 || hex.size() < 2 * 3 || !DecodeHexPairs(hex, binary))
    return Dropped(RequestStatus::Malformed, consumed);
  const uint8_t lrc = binary.back();
  binary.pop_back();
  if (ModbusLrc(binary) != lrc) return Dropped(RequestStatus::BadChecksum, consumed);
  RequestParseResult r;
  r.status = RequestStatus::Complete;
  r.consumed = consumed;
  r.request = ParseRequestPdu(std::span<const uint8_t>(binary).subspan(1));
  r.request.unit = binary[0];
  return r;
}

RequestParseResult ParseTcpRequest(std::span<const uint8_t> bytes) {
  if (bytes.size() < 7) return {};
  const uint16_t protocol = Be16(bytes, 2);
  const uint16_t length = Be16(bytes, 4);
  if (protocol != 0 || length < 2 || length > 1 + kMaxPduSize)
    return Dropped(RequestStatus::Malformed, bytes.size());
  const size_t total = 6 + static_cast<size_t>(length);
  if (bytes.size() < total) return {};
  RequestParseResult r;
  r.status = RequestStatus::Complete;
  r.consumed = total;
  r.request = ParseRequestPdu(bytes.subspan(7, length - 1));
  r.request.transaction = Be16(bytes, 0);
  r.request.unit = bytes[6];
  return r;
}

std::vector<uint8_t> BuildReadRegistersPdu(uint8_t function, std::span<const uint16_t> values) {
  std::vector<uint8_t> pdu;
  pdu.reserve(2 + 2 * values.size());
  pdu.push_back(function);
  pdu.push_back(static_cast<uint8_t>(2 * values.size()));
  for (uint16_t v : values) PushBe16(pdu, v);
  return pdu;
}

std::vector<uint8_t> BuildWriteMultipleReplyPdu(uint16_t start, uint16_t quantity) {
  std::vector<uint8_t> pdu{modbus_function::kWriteMultiple};
  PushBe16(pdu, start);
  PushBe16(pdu, quantity);
  return pdu;
}

std::vector<uint8_t> BuildExceptionPdu(uint8_t function, uint8_t code) {
  return {static_cast<uint8_t>(function | modbus::kExceptionFlag), code};
}

std::vector<uint8_t> BuildRtcTestReplyPdu(std::span<const uint8_t> code) {
  std::vector<uint8_t> pdu = {modbus_function::kRtcTest, static_cast<uint8_t>(code.size())};
  pdu.insert(pdu.end(), code.begin(), code.end());
  return pdu;
}

std::vector<uint8_t> FrameRtu(uint8_t unit, std::span<const uint8_t> pdu) {
  std::vector<uint8_t> frame;
  frame.reserve(pdu.size() + 3);
  frame.push_back(unit);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  const uint16_t crc = ModbusCrc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

std::vector<uint8_t> FrameAscii(uint8_t unit, std::span<const uint8_t> pdu) {
  std::vector<uint8_t> binary;
  binary.reserve(pdu.size() + 1);
  binary.push_back(unit);
  binary.insert(binary.end(), pdu.begin(), pdu.end());
  return ModbusAsciiFrame(binary);
}

std::vector<uint8_t> FrameTcp(uint16_t transaction, uint8_t unit, std::span<const uint8_t> pdu) {
  std::vector<uint8_t> frame;
  frame.reserve(pdu.size() + 7);
  PushBe16(frame, transaction);
  PushBe16(frame, 0);
  PushBe16(frame, static_cast<uint16_t>(pdu.size() + 1));
  frame.push_back(unit);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  return frame;
}

std::vector<uint8_t> FrameAdu(ModbusFraming framing, uint16_t transaction, uint8_t unit,
                              std::span<const uint8_t> pdu) {
  switch (framing) {
    case ModbusFraming::Rtu: return FrameRtu(unit, pdu);
    case ModbusFraming::Ascii: return FrameAscii(unit, pdu);
    case ModbusFraming::Tcp: return FrameTcp(transaction, unit, pdu);
  }
  return {};
}

void AppendHex(std::vector<uint8_t>& out, uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.push_back(static_cast<uint8_t>(kDigits[byte >> 4]));
  out.push_back(static_cast<uint8_t>(kDigits[byte & 0x0F]));
}

bool DecodeHexPairs(std::span<const uint8_t> text, std::vector<uint8_t>& out) {
  if (text.size() % 2 != 0) return false;
  out.reserve(out.size() + text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int hi = modbus::HexDigitValue(text[i], modbus::HexCase::kEither);
    const int lo = modbus::HexDigitValue(text[i + 1], modbus::HexCase::kEither);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>((hi << 4) | lo));
  }
  return true;
}

}  // namespace tessvar
