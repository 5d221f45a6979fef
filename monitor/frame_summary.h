#pragma once
// The decoded one-line summary of a frame as the traffic monitor and the trace show it:
// MODBUS (RTU, ASCII, TCP), FT1.2 with its ASDU, and the APCI of IEC 104 with its ASDU.
// Pure functions over the octets given; a short, long or inconsistent frame is summarised
// as far as it can be read and marked malformed, never read past its end.
#include <cstdint>
#include <span>
#include <string>

#include "link/frame_tap.h"
#include "link/iec_asdu.h"

namespace tessvar::monitor {

enum class FrameProtocol : uint8_t { ModbusRtu, ModbusAscii, ModbusTcp, Ft12, Iec104 };

// How the frames of a run are laid out.
struct FrameFormat {
  FrameProtocol protocol = FrameProtocol::ModbusRtu;
  AsduFieldSizes asdu = kIec104FieldSizes;  // FT1.2: the sizes of the IEC page
  uint8_t linkAddressSize = 1;              // FT1.2: octets of the link address (1 or 2)
};

// What a frame is, for the monitor's filter and colours.
enum class FrameClass : uint8_t {
  kData,       // a MODBUS request or reply, an I-format APDU, an FT1.2 frame with an ASDU
  kControl,    // S/U formats, FT1.2 fixed frames and the single character
  kException,  // a MODBUS exception, an ASDU with a negative cause
  kMalformed,  // too short, inconsistent length, bad checksum, unreadable characters
};

struct FrameSummary {
  FrameClass cls = FrameClass::kData;
  std::string text;  // UTF-8, one line
};

FrameSummary SummariseFrame(std::span<const uint8_t> frame, FrameDirection direction,
                            const FrameFormat& format);

// The parts, for tests and for callers that know what they hold.
FrameSummary SummariseModbus(std::span<const uint8_t> frame, FrameDirection direction,
                             FrameProtocol protocol);
FrameSummary SummariseFt12(std::span<const uint8_t> frame, const FrameFormat& format);
FrameSummary SummariseApci(std::span<const uint8_t> frame);
// The ASDU alone (no link frame around it).
FrameSummary SummariseAsdu(std::span<const uint8_t> asdu, const AsduFieldSizes& sizes);

// The octets as upper-case hexadecimal pairs separated by spaces.
std::string HexText(std::span<const uint8_t> bytes);

}  // namespace tessvar::monitor
