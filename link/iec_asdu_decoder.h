#pragma once
// The ASDU decoder of both IEC links. It does not hand back objects: it writes each
// received value into a value image shaped like a MODBUS register block (two octets per
// description entry, high octet first, at 2 x entry position), keeps one arrival mark per
// entry, and reports the data set complete when every awaited entry has arrived.
//
// Which entries are awaited is fixed per cycle by PresetMarks: never entries of size 0 or
// the device-clock entries; in a group poll only the station and the chosen group; in a
// link-level read only the entries before `awaitedEntries` on the run of consecutive
// addresses that starts at the first entry.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/iec_asdu.h"
#include "model/connection_settings.h"
#include "model/converter_time.h"
#include "model/device_description.h"

namespace tessvar {

inline constexpr uint8_t kMarkAwaited = 0;
inline constexpr uint8_t kMarkDone = 0xFF;

// How a floating-point value becomes the entry's code: the value times `codePerUnit`,
// rounded and held inside the 16-bit range of the entry (0..65535 when unsigned), or the
// signed 32-bit range of a wide entry.
struct IecFloatScale {
  double codePerUnit = 1.0;
  bool unsignedCode = false;
};

// What the decoder needs to know about each description entry, built once per run.
struct IecEntryMap {
  std::vector<uint32_t> addresses;   // object address of entry k (its hexadecimal text)
  std::vector<uint8_t> groupCodes;   // 20 station, 20 + n group n
  std::vector<bool> transferred;     // false: size text 0 or a device-clock entry
  std::vector<bool> onLinkSequence;  // on the consecutive-address run a link-level read gets
  // Entry k is the high half of a 32-bit counter whose low half is entry k + 1: a counter
  // reading or a float that arrives for it fills both.
  std::vector<bool> wide;
  // Per entry; shorter than the entries means 1 code per unit, signed.
  std::vector<IecFloatScale> floatScales;
};
IecEntryMap BuildIecEntryMap(const DeviceDescription& description);

struct AsduDecoder {
  // Set by the caller at run start.
  AsduFieldSizes sizes;
  IecReadMode mode = IecReadMode::GroupPoll;
  uint8_t group = 0;                // 0 station, 1..16
  size_t awaitedEntries = SIZE_MAX; // link-level read: entries from here on are not awaited
  IecEntryMap entries;
  // Also decodes the types a standard station sends (11, 13, 15, 36, 37); the transducer
  // sends none of them and they stay unknown for it.
  bool standardTypes = false;
  // A group poll awaits only the group's members (a standard station answers group n with
  // them alone), not the station entries (group code 20) besides.
  bool groupMembersOnly = false;

  // The cycle's data.
  std::vector<uint8_t> image;  // 2 octets per entry
  std::vector<uint8_t> marks;  // 1 per entry
  std::vector<bool> awaited;   // per entry: awaited this cycle (set by PresetMarks)
  bool complete = false;

  // What the last ASDU said.
  uint8_t lastType = 0;
  uint8_t lastMonitorType = 0;  // last type below 100 or 143
  uint8_t lastCause = 0;        // first cause octet with its P/N and T bits
  uint32_t lastAddress = 0;     // object address of the last object
  ConverterTime time;           // from the time tags of types 10, 34, 36, 37 and 143
  uint8_t asduCounter = 0;      // +1 (mod 256) for every ASDU of a known monitor type
};

// A decoder for the description with an empty image and preset marks.
AsduDecoder MakeAsduDecoder(const DeviceDescription& description, const AsduFieldSizes& sizes,
                            IecReadMode mode, uint8_t group, size_t awaitedEntries = SIZE_MAX);

// Decodes one ASDU into the decoder. Returns the number of objects the qualifier announces
// (without the SQ bit). Objects beyond the received octets are not read; an ASDU too short
// for its header changes nothing; unknown types change only the last type, cause and address.
size_t DecodeAsdu(AsduDecoder& decoder, std::span<const uint8_t> asdu);

// Sets the marks of the entries this cycle does not await to kMarkDone.
void PresetMarks(AsduDecoder& decoder);

// Clears the image, the marks and the completion flag and presets the marks: the start of
// a new cycle after a completed data set was handed over.
void StartCycle(AsduDecoder& decoder);

}  // namespace tessvar
