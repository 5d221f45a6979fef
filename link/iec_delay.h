#pragma once
// The frames and arithmetic of the IEC 60870-5-101 delay acquisition (C_CD_NA_1, type 106),
// for any field sizes: the acknowledgement of the activation, the returned time in the
// station's reply, and the one-way delay from the two times. Pure functions over spans.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tessvar {

// Octet counts of the address fields of a link.
struct IecFieldLayout {
  uint8_t linkAddress = 1;    // 1 or 2
  uint8_t cause = 1;          // 1 or 2
  uint8_t commonAddress = 1;  // 1 or 2
  uint8_t objectAddress = 2;  // 1..3
};

inline constexpr uint32_t kDelayReplyWaitMs = 500;

// The variable frame of a C_CD_NA_1 reply: 68 L L 68, control, link address, type, VSQ,
// cause, common address, object address, CP16Time2a (2), checksum, 16.
size_t DelayReplyLength(const IecFieldLayout& f);
// Where its CP16Time2a starts.
size_t DelayValueOffset(const IecFieldLayout& f);

// The station's positive acknowledgement of the activation: the single character E5, or a
// fixed frame (10, control, link address, checksum, 16) of the configured link-address size
// with a sound checksum and function 0 (ACK), whatever its ACD and DFC bits say.
bool IsDelayAcknowledgement(std::span<const uint8_t> octets, const IecFieldLayout& f);

// The CP16Time2a (milliseconds within the minute) of a returned C_CD_NA_1: only when the
// octets are exactly one sound variable frame of the expected length.
std::optional<uint16_t> DelayReplyTime(std::span<const uint8_t> frame, const IecFieldLayout& f);

// Half the round trip from the time sent back (v) to the first reply octet (tFirst), both
// milliseconds within the minute; a reply in the next minute counts 60 000 on.
uint32_t HalfRoundTripMs(uint16_t tFirst, uint16_t v);
// The delay the acquisition reports: the half round trip, or nothing when v is 0 (no time
// returned) or the result exceeds the reply wait (a time from another exchange, such as a
// v ahead of tFirst that reads as about 30 s). 0 ms is a delay like any other.
std::optional<uint16_t> DelayFromTimes(uint16_t tFirst, uint16_t v,
                                       uint32_t waitMs = kDelayReplyWaitMs);

}  // namespace tessvar
