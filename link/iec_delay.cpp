#include "link/iec_delay.h"

namespace tessvar {
namespace {

constexpr uint8_t kSingleCharAck = 0xE5;
constexpr uint8_t kFixedStart = 0x10;
constexpr uint8_t kVariableStart = 0x68;
constexpr uint8_t kStop = 0x16;
constexpr uint16_t kMinuteMs = 60000;

uint8_t Sum(std::span<const uint8_t> octets) {
  uint8_t s = 0;
  for (uint8_t b : octets) s = static_cast<uint8_t>(s + b);
  return s;
}

size_t AddressOctets(const IecFieldLayout& f) {
  return size_t{f.linkAddress} + f.cause + f.commonAddress + f.objectAddress;
}

}  // namespace

size_t DelayReplyLength(const IecFieldLayout& f) { return 11 + AddressOctets(f); }

size_t DelayValueOffset(const IecFieldLayout& f) { return 7 + AddressOctets(f); }

bool IsDelayAcknowledgement(std::span<const uint8_t> octets, const IecFieldLayout& f) {
  if (octets.size() == 1) return octets[0] == kSingleCharAck;
  const size_t length = 4 + size_t{f.linkAddress};
  if (octets.size() != length || octets[0] != kFixedStart || octets[length - 1] != kStop) return false;
  const auto checked = octets.subspan(1, length - 3);  // control and link address
  if (Sum(checked) != octets[length - 2]) return false;
  const uint8_t control = octets[1];
  const bool fromPrimary = (control & 0x40) != 0;
  return !fromPrimary && (control & 0x0F) == 0;
}

std::optional<uint16_t> DelayReplyTime(std::span<const uint8_t> frame, const IecFieldLayout& f) {
  const size_t length = DelayReplyLength(f);
  if (frame.size() != length) return std::nullopt;
  if (frame[0] != kVariableStart || frame[3] != kVariableStart || frame[length - 1] != kStop)
    return std::nullopt;
  // Both length octets count the octets from the control field to the checksum, exclusive.
  if (frame[1] != length - 6 || frame[2] != length - 6) return std::nullopt;
  if (Sum(frame.subspan(4, length - 6)) != frame[length - 2]) return std::nullopt;
  const size_t at = DelayValueOffset(f);
  return static_cast<uint16_t>(frame[at] | (frame[at + 1] << 8));
}

uint32_t HalfRoundTripMs(uint16_t tFirst, uint16_t v) {
  uint32_t first = tFirst;
  if (first < v) first += kMinuteMs;
  return (first - v) / 2;
}

std::optional<uint16_t> DelayFromTimes(uint16_t tFirst, uint16_t v, uint32_t waitMs) {
  if (v == 0) return std::nullopt;
  const uint32_t delay = HalfRoundTripMs(tFirst, v);
  if (delay > waitMs) return std::nullopt;
  return static_cast<uint16_t>(delay);
}

}  // namespace tessvar
