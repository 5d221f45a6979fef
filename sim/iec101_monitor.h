#pragma once
// Monitor-direction ASDUs of the simulated IEC 60870-5-101 station, with the field sizes
// the link is configured for, and the choice of which description entries a request gets.
#include <cstdint>
#include <span>
#include <vector>

#include "link/iec_asdu.h"
#include "model/device_description.h"
#include "platform/clock.h"

namespace tessvar::sim {

struct Iec101Point {
  uint32_t address = 0;
  uint16_t value = 0;
};

struct Iec101Format {
  uint8_t type = kMeNa1;  // 9, 10, 11, 21, 34, 35 or 143
  bool sequence = false;  // SQ = 1 where the type allows it (143 always)
  AsduFieldSizes sizes;
  uint16_t commonAddress = 1;
  uint8_t originator = 0;
  size_t maxAsdu = 249;   // what one variable frame carries
};

bool IsIec101MonitorType(uint8_t type);

// ASDUs carrying `points`, split where the frame is full or (SQ = 1) where the addresses
// stop being consecutive. `time` stamps the time-tagged types and type 143's time of day.
std::vector<std::vector<uint8_t>> BuildIec101MonitorAsdus(const Iec101Format& format,
                                                          uint8_t cause,
                                                          std::span<const Iec101Point> points,
                                                          const WallTime& time);

// A command ASDU answered in its own shape with another first cause octet.
std::vector<uint8_t> EchoAsduWithCause(std::span<const uint8_t> asdu, uint8_t causeOctet);

// The fields of a received command ASDU; false when it is too short for its header.
struct Iec101Command {
  uint8_t type = 0;
  uint8_t cause = 0;
  uint32_t objectAddress = 0;
  std::span<const uint8_t> element;  // octets after the object address
};
bool ParseIec101Command(std::span<const uint8_t> asdu, const AsduFieldSizes& sizes,
                        Iec101Command& out);

// Which description entries a request gets, in description order. Entries of size 0 and the
// device-clock entries are never served as values.
enum class Iec101Selection : uint8_t {
  Station,       // general interrogation: every served entry
  Group,         // group n: entries of group 20 (all groups) or 20 + n
  RunFrom,       // read: the consecutive addresses from one address on
  LinkSequence,  // class 2 without queued data: the run a link-level read awaits
  GroupMembers,  // group n of a standard station: the entries of group 20 + n only
};
std::vector<size_t> SelectIec101Entries(const DeviceDescription& description, Iec101Selection how,
                                        uint32_t arg);

}  // namespace tessvar::sim
