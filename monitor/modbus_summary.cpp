// MODBUS frames: the application unit (unit, function, start, count, byte count, exception)
// inside its RTU, ASCII or TCP framing, with the framing's own check.
#include <vector>

#include "link/modbus_checksum.h"
#include "link/modbus_codec.h"
#include "monitor/frame_summary.h"
#include "monitor/octet_reader.h"

namespace tessvar::monitor {

namespace {

const char* FunctionName(uint8_t function) {
  switch (function) {
    case 1: return "Read Coils";
    case 2: return "Read Discrete Inputs";
    case modbus::kReadHoldingRegisters: return "Read Holding Registers";
    case modbus::kReadInputRegisters: return "Read Input Registers";
    case 5: return "Write Single Coil";
    case 6: return "Write Single Register";
    case 15: return "Write Multiple Coils";
    case modbus::kWriteMultipleRegisters: return "Write Multiple Registers";
    case modbus::kRtcTestFunction: return "RTC test";
    default: return "";
  }
}

const char* ExceptionName(uint8_t code) {
  switch (code) {
    case 1: return "Illegal function";
    case 2: return "Illegal data address";
    case 3: return "Illegal data value";
    case 4: return "Server device failure";
    case 5: return "Acknowledge";
    case 6: return "Server device busy";
    case 8: return "Memory parity error";
    case 10: return "Gateway path unavailable";
    case 11: return "Gateway target device failed to respond";
    default: return "unknown exception";
  }
}

// The fields after the function code. `malformed` is set when the octets do not fit the
// function's layout.
std::string PduFields(uint8_t function, std::span<const uint8_t> data, FrameDirection direction,
                      bool& malformed) {
  OctetReader r(data);
  const bool request = direction == FrameDirection::Sent;
  const auto expect = [&](size_t n) {
    if (data.size() != n) malformed = true;
  };
  switch (function) {
    case 1: case 2: case modbus::kReadHoldingRegisters: case modbus::kReadInputRegisters: {
      if (request) {
        expect(4);
        const uint16_t start = r.Be16();
        const uint16_t count = r.Be16();
        return Fmt("start %u count %u", start, count);
      }
      const uint8_t bytes = r.U8();
      if (data.empty() || r.Left() != bytes) malformed = true;
      return Fmt("byte count %u", bytes) + (malformed ? Fmt(" (%zu data octets)", r.Left()) : "");
    }
    case 5: case 6:
      expect(4);
      return Fmt("address %u value 0x%04X", r.Be16(), r.Be16());
    case 15: case modbus::kWriteMultipleRegisters: {
      const uint16_t start = r.Be16();
      const uint16_t count = r.Be16();
      if (!request) {
        expect(4);
        return Fmt("start %u count %u", start, count);
      }
      const uint8_t bytes = r.U8();
      if (data.size() < 5 || r.Left() != bytes) malformed = true;
      return Fmt("start %u count %u byte count %u", start, count, bytes);
    }
    default:
      return Fmt("%zu data octets", data.size());
  }
}

// Unit, function and fields of an application unit (address first).
std::string UnitText(std::span<const uint8_t> adu, FrameDirection direction, FrameClass& cls,
                     bool& malformed) {
  OctetReader r(adu);
  if (!r.Has(2)) {
    malformed = true;
    return r.Has(1) ? Fmt("unit %u, no function", r.U8()) : "empty";
  }
  const uint8_t unit = r.U8();
  const uint8_t function = r.U8();
  std::string text = Fmt("unit %u fn %u", unit, function);
  if ((function & modbus::kExceptionFlag) != 0) {
    cls = FrameClass::kException;
    const uint8_t code = r.U8();
    if (adu.size() != 3) malformed = true;
    return text + Fmt(" exception %u %s", code, ExceptionName(code));
  }
  const char* name = FunctionName(function);
  if (*name != '\0') text += std::string(" ") + name;
  const std::string fields = PduFields(function, r.Take(r.Left()), direction, malformed);
  return text + ", " + fields;
}

FrameSummary Finish(std::string text, FrameClass cls, bool malformed) {
  if (malformed) {
    cls = FrameClass::kMalformed;
    text += " [malformed]";
  }
  return {cls, std::move(text)};
}

FrameSummary Rtu(std::span<const uint8_t> frame, FrameDirection direction) {
  FrameClass cls = FrameClass::kData;
  bool malformed = false;
  if (frame.size() < 4) {
    return Finish("RTU " + UnitText(frame, direction, cls, malformed) + ", too short for a CRC",
                  cls, true);
  }
  const auto adu = frame.first(frame.size() - 2);
  const uint16_t sent = static_cast<uint16_t>(frame[frame.size() - 2] | (frame[frame.size() - 1] << 8));
  const bool crcOk = ModbusCrc16(adu) == sent;
  std::string text = "RTU " + UnitText(adu, direction, cls, malformed);
  text += crcOk ? ", CRC ok" : Fmt(", CRC bad (0x%04X, expected 0x%04X)", sent, ModbusCrc16(adu));
  return Finish(std::move(text), cls, malformed || !crcOk);
}

FrameSummary Ascii(std::span<const uint8_t> frame, FrameDirection direction) {
  FrameClass cls = FrameClass::kData;
  bool malformed = false;
  const bool framed = frame.size() >= 3 && frame.front() == ':' && frame[frame.size() - 2] == '\r' &&
                      frame.back() == '\n';
  const auto digits = framed ? frame.subspan(1, frame.size() - 3) : frame;
  std::vector<uint8_t> binary;
  bool digitsOk = digits.size() % 2 == 0;
  for (size_t i = 0; digitsOk && i + 1 < digits.size(); i += 2) {
    const int hi = modbus::HexDigitValue(digits[i], modbus::HexCase::kEither);
    const int lo = modbus::HexDigitValue(digits[i + 1], modbus::HexCase::kEither);
    if (hi < 0 || lo < 0) digitsOk = false;
    binary.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  if (!framed || !digitsOk || binary.size() < 3) {
    return Finish(std::string("ASCII ") + (framed ? "unreadable hexadecimal characters"
                                                  : "no ':' ... CR LF framing"),
                  cls, true);
  }
  const auto adu = std::span<const uint8_t>(binary).first(binary.size() - 1);
  const bool lrcOk = ModbusLrc(adu) == binary.back();
  std::string text = "ASCII " + UnitText(adu, direction, cls, malformed);
  text += lrcOk ? ", LRC ok" : Fmt(", LRC bad (0x%02X, expected 0x%02X)", binary.back(), ModbusLrc(adu));
  return Finish(std::move(text), cls, malformed || !lrcOk);
}

FrameSummary Tcp(std::span<const uint8_t> frame, FrameDirection direction) {
  FrameClass cls = FrameClass::kData;
  bool malformed = false;
  OctetReader r(frame);
  if (!r.Has(modbus::kMbapHeaderSize + 2)) return Finish("TCP too short for a header", cls, true);
  const uint16_t transaction = r.Be16();
  const uint16_t protocol = r.Be16();
  const uint16_t length = r.Be16();
  std::string text = Fmt("TCP trans %u", transaction);
  if (protocol != 0) {
    text += Fmt(" protocol %u", protocol);
    malformed = true;
  }
  if (length != r.Left()) {
    text += Fmt(" length %u (%zu follow)", length, r.Left());
    malformed = true;
  }
  text += " " + UnitText(r.Take(r.Left()), direction, cls, malformed);
  return Finish(std::move(text), cls, malformed);
}

}  // namespace

FrameSummary SummariseModbus(std::span<const uint8_t> frame, FrameDirection direction,
                             FrameProtocol protocol) {
  switch (protocol) {
    case FrameProtocol::ModbusAscii: return Ascii(frame, direction);
    case FrameProtocol::ModbusTcp: return Tcp(frame, direction);
    default: return Rtu(frame, direction);
  }
}

}  // namespace tessvar::monitor
