#pragma once
// Monitor-direction ASDUs of the simulated IEC 60870-5-104 station: measured values of the
// types the client understands, with the fixed field sizes of this protocol (cause 2 with
// originator 0, common address 2, object address 3), little-endian.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace tessvar::sim {

// One information object: its address and its 16-bit value code.
struct IecPoint {
  uint32_t address = 0;
  uint16_t value = 0;
};

// The monitor types served; 143 is the private sequence type (SQ = 1 only).
bool IsServedMonitorType(uint8_t type);
// Whether a type can be sent with SQ = 1 (one address, consecutive objects).
bool SequenceAllowed(uint8_t type);

struct MonitorFormat {
  uint8_t type = 9;
  bool sequence = false;  // SQ = 1; used only where the type allows it
  uint16_t commonAddress = 1;
};

// ASDUs carrying `points` with the given cause, cut so that each fits one APDU. With SQ = 1
// a new ASDU starts wherever the addresses stop being consecutive. `time` stamps the types
// with a time tag (and the time of day of type 143).
std::vector<std::vector<uint8_t>> BuildMonitorAsdus(const MonitorFormat& format, uint8_t cause,
                                                    std::span<const IecPoint> points,
                                                    const WallTime& time);

// A command ASDU answered in the same shape: the received octets with the first cause octet
// replaced (confirmation, termination or refusal).
std::vector<uint8_t> EchoWithCause(std::span<const uint8_t> asdu, uint8_t causeOctet);

// What the station needs to know of a command ASDU. Empty type for one too short to read.
struct CommandAsdu {
  uint8_t type = 0;
  uint8_t cause = 0;
  uint16_t commonAddress = 0;
  uint32_t objectAddress = 0;
  std::span<const uint8_t> element;  // the octets after the object address
};
bool ParseCommandAsdu(std::span<const uint8_t> asdu, CommandAsdu& out);

// The CP56Time2a of a clock synchronisation command as a wall time; false when a field is
// out of range.
bool ReadCp56(std::span<const uint8_t> octets, WallTime& out);

std::string HexText(std::span<const uint8_t> bytes);

}  // namespace tessvar::sim
