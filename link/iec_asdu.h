#pragma once
// IEC 60870-5-101/104 application data units: the four command ASDUs this client sends,
// the time tags they carry, and the judgement of a reply's cause of transmission.
//
// Builders are pure functions; multi-octet fields are little-endian and written with
// exactly the configured number of octets. Field sizes outside their ranges are clamped
// (cause 1..2, common address 1..2, object address 1..3).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/connection_settings.h"
#include "platform/clock.h"

namespace tessvar {

// Octet counts of the variable ASDU fields.
struct AsduFieldSizes {
  uint8_t cause = 1;          // 1, or 2 with the originator address
  uint8_t commonAddress = 1;  // 1 or 2
  uint8_t objectAddress = 2;  // 1, 2 or 3
  friend bool operator==(const AsduFieldSizes&, const AsduFieldSizes&) = default;
};

inline constexpr AsduFieldSizes kIec104FieldSizes{2, 2, 3};
inline constexpr uint8_t kIec101Originator = 2;
inline constexpr uint8_t kIec104Originator = 0;

// The sizes of the IEC page, clamped into their ranges.
AsduFieldSizes AsduSizesFrom(const IecFieldSizes& page);
AsduFieldSizes Clamped(const AsduFieldSizes& sizes);
// Octets before the first object address: type, qualifier, cause, common address.
size_t AsduHeaderSize(const AsduFieldSizes& sizes);

// Type identifications.
inline constexpr uint8_t kMeNa1 = 9;     // normalised value with quality
inline constexpr uint8_t kMeTa1 = 10;    // normalised, quality, CP24Time2a
inline constexpr uint8_t kMeNd1 = 21;    // normalised without quality
inline constexpr uint8_t kMeTd1 = 34;    // normalised, quality, CP56Time2a
inline constexpr uint8_t kMeNb1 = 11;    // scaled value with quality
inline constexpr uint8_t kMeNc1 = 13;    // short floating point with quality
inline constexpr uint8_t kItNa1 = 15;    // integrated total (32-bit counter reading)
inline constexpr uint8_t kMeTe1 = 35;    // scaled, quality, CP56Time2a
inline constexpr uint8_t kMeTf1 = 36;    // short floating point, quality, CP56Time2a
inline constexpr uint8_t kItTb1 = 37;    // integrated total, CP56Time2a
inline constexpr uint8_t kPrivateSequence = 143;  // value + one octet, SQ = 1, time at end
inline constexpr uint8_t kCIcNa1 = 100;  // interrogation
inline constexpr uint8_t kCRdNa1 = 102;  // read
inline constexpr uint8_t kCCsNa1 = 103;  // clock synchronisation
inline constexpr uint8_t kCCdNa1 = 106;  // delay acquisition

// Causes of transmission (low six bits of the first cause octet).
inline constexpr uint8_t kCauseSpontaneous = 3;
inline constexpr uint8_t kCauseRequest = 5;
inline constexpr uint8_t kCauseActivation = 6;
inline constexpr uint8_t kCauseActivationCon = 7;
inline constexpr uint8_t kCauseDeactivation = 8;
inline constexpr uint8_t kCauseDeactivationCon = 9;
inline constexpr uint8_t kCauseActivationTerm = 10;
inline constexpr uint8_t kCauseGroupBase = 20;  // 20 station, 21..36 groups 1..16
inline constexpr uint8_t kCauseUnknownType = 44;
inline constexpr uint8_t kCauseUnknownObject = 47;
inline constexpr uint8_t kCauseNegativeBit = 0x40;  // P/N
inline constexpr uint8_t kCauseTestBit = 0x80;

constexpr uint8_t CauseBits(uint8_t causeOctet) { return causeOctet & 0x3F; }
constexpr bool IsNegative(uint8_t causeOctet) { return (causeOctet & kCauseNegativeBit) != 0; }

// The result a received ASDU gives, from its type and first cause octet: 44..47 when the
// cause bits name one of the four unknown-field causes (whatever the P/N bit); for an
// interrogation reply 0 only for a positive activation/deactivation confirmation or an
// activation termination, else 6; for any other type 0, or 6 when the P/N bit is set.
uint8_t JudgeAsduReply(uint8_t type, uint8_t causeOctet);

// C_IC_NA_1 with qualifier 20 + group (group 0..16).
std::vector<uint8_t> BuildInterrogation(uint16_t commonAddress, uint32_t objectAddress,
                                        uint8_t cause, uint8_t group,
                                        const AsduFieldSizes& sizes, uint8_t originator);
// C_RD_NA_1 with cause 5 (request).
std::vector<uint8_t> BuildRead(uint16_t commonAddress, uint32_t objectAddress,
                               const AsduFieldSizes& sizes, uint8_t originator);
// C_CS_NA_1, activation, object address 0, the given time as CP56Time2a.
std::vector<uint8_t> BuildClockSyncAt(uint16_t commonAddress, const AsduFieldSizes& sizes,
                                      uint8_t originator, const WallTime& time);
// The same with the clock sampled at the start of a second (see SampleAtSecondStart).
std::vector<uint8_t> BuildClockSync(uint16_t commonAddress, const AsduFieldSizes& sizes,
                                    uint8_t originator, Clock& clock, TimeBase base);
// C_CD_NA_1 (cause 6 or 3), object address 0, CP16Time2a of the delay in milliseconds.
std::vector<uint8_t> BuildDelayAcquisition(uint16_t commonAddress, uint8_t cause,
                                           uint16_t delayMs, const AsduFieldSizes& sizes,
                                           uint8_t originator);

// A wall-clock reading taken within 10 ms after the start of a second: when the first
// sample is later in its second, sleeps to the next second and samples again (a few
// attempts at most; the last sample is used).
WallTime SampleAtSecondStart(Clock& clock, TimeBase base);

// CP56Time2a: milliseconds in the minute (low, high), minutes, hours, day of month with
// day of week in bits 5..7 (1 Monday .. 7 Sunday), month, year - 2000.
std::array<uint8_t, 7> EncodeCp56Time2a(const WallTime& t);
// The reverse; none when a field is out of range. Day of week comes back as 0 = Sunday.
std::optional<WallTime> DecodeCp56Time2a(std::span<const uint8_t> octets);
// CP16Time2a: milliseconds, low octet first.
std::array<uint8_t, 2> EncodeCp16Time2a(uint16_t ms);

}  // namespace tessvar
