#include "link/iec_asdu.h"

#include <algorithm>

namespace tessvar {
namespace {

uint8_t Clamp(uint8_t v, uint8_t lo, uint8_t hi) { return std::clamp(v, lo, hi); }

void PutLittle(std::vector<uint8_t>& out, uint32_t value, uint8_t octets) {
  for (uint8_t i = 0; i < octets; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Type, qualifier 1 (one object, SQ = 0), cause, originator, common address, object address.
std::vector<uint8_t> Header(uint8_t type, uint8_t cause, uint16_t commonAddress,
                            uint32_t objectAddress, const AsduFieldSizes& given,
                            uint8_t originator) {
  const AsduFieldSizes s = Clamped(given);
  std::vector<uint8_t> out{type, 1, cause};
  if (s.cause == 2) out.push_back(originator);
  PutLittle(out, commonAddress, s.commonAddress);
  PutLittle(out, objectAddress, s.objectAddress);
  return out;
}

}  // namespace

AsduFieldSizes Clamped(const AsduFieldSizes& s) {
  return {Clamp(s.cause, 1, 2), Clamp(s.commonAddress, 1, 2), Clamp(s.objectAddress, 1, 3)};
}

AsduFieldSizes AsduSizesFrom(const IecFieldSizes& page) {
  return Clamped({page.causeOfTransmission, page.commonAddress, page.objectAddress});
}

size_t AsduHeaderSize(const AsduFieldSizes& sizes) {
  const AsduFieldSizes s = Clamped(sizes);
  return 2u + s.cause + s.commonAddress;
}

uint8_t JudgeAsduReply(uint8_t type, uint8_t causeOctet) {
  const uint8_t cause = CauseBits(causeOctet);
  if (cause >= kCauseUnknownType && cause <= kCauseUnknownObject) return cause;
  if (IsNegative(causeOctet)) return 6;
  if (type == kCIcNa1) {
    const bool confirmed = cause == kCauseActivationCon || cause == kCauseDeactivationCon ||
                           cause == kCauseActivationTerm;
    return confirmed ? 0 : 6;
  }
  return 0;
}

std::vector<uint8_t> BuildInterrogation(uint16_t commonAddress, uint32_t objectAddress,
                                        uint8_t cause, uint8_t group,
                                        const AsduFieldSizes& sizes, uint8_t originator) {
  auto out = Header(kCIcNa1, cause, commonAddress, objectAddress, sizes, originator);
  out.push_back(static_cast<uint8_t>(kCauseGroupBase + std::min<uint8_t>(group, 16)));
  return out;
}

std::vector<uint8_t> BuildRead(uint16_t commonAddress, uint32_t objectAddress,
                               const AsduFieldSizes& sizes, uint8_t originator) {
  return Header(kCRdNa1, kCauseRequest, commonAddress, objectAddress, sizes, originator);
}

std::vector<uint8_t> BuildClockSyncAt(uint16_t commonAddress, const AsduFieldSizes& sizes,
                                      uint8_t originator, const WallTime& time) {
  auto out = Header(kCCsNa1, kCauseActivation, commonAddress, 0, sizes, originator);
  const auto tag = EncodeCp56Time2a(time);
  out.insert(out.end(), tag.begin(), tag.end());
  return out;
}

std::vector<uint8_t> BuildClockSync(uint16_t commonAddress, const AsduFieldSizes& sizes,
                                    uint8_t originator, Clock& clock, TimeBase base) {
  return BuildClockSyncAt(commonAddress, sizes, originator, SampleAtSecondStart(clock, base));
}

std::vector<uint8_t> BuildDelayAcquisition(uint16_t commonAddress, uint8_t cause,
                                           uint16_t delayMs, const AsduFieldSizes& sizes,
                                           uint8_t originator) {
  auto out = Header(kCCdNa1, cause, commonAddress, 0, sizes, originator);
  const auto tag = EncodeCp16Time2a(delayMs);
  out.insert(out.end(), tag.begin(), tag.end());
  return out;
}

WallTime SampleAtSecondStart(Clock& clock, TimeBase base) {
  auto sample = [&] { return base == TimeBase::Gmt ? clock.UtcNow() : clock.LocalNow(); };
  WallTime t = sample();
  // A sleep to the next second instead of a busy loop; bounded in case the host clock jumps.
  for (int attempt = 0; attempt < 4 && t.millisecond > 10; ++attempt) {
    clock.Sleep(static_cast<uint32_t>(1000 - std::clamp(t.millisecond, 0, 999)));
    t = sample();
  }
  return t;
}

std::array<uint8_t, 7> EncodeCp56Time2a(const WallTime& t) {
  const auto ms = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
  const int dow = t.dayOfWeek == 0 ? 7 : t.dayOfWeek;
  return {static_cast<uint8_t>(ms & 0xFF),
          static_cast<uint8_t>(ms >> 8),
          static_cast<uint8_t>(t.minute & 0x3F),
          static_cast<uint8_t>(t.hour & 0x1F),
          static_cast<uint8_t>((t.day & 0x1F) | ((dow & 7) << 5)),
          static_cast<uint8_t>(t.month & 0x0F),
          static_cast<uint8_t>((t.year - 2000) & 0x7F)};
}

std::optional<WallTime> DecodeCp56Time2a(std::span<const uint8_t> o) {
  if (o.size() < 7) return std::nullopt;
  WallTime t;
  const int ms = o[0] | (o[1] << 8);
  t.second = ms / 1000;
  t.millisecond = ms % 1000;
  t.minute = o[2] & 0x3F;
  t.hour = o[3] & 0x1F;
  t.day = o[4] & 0x1F;
  t.dayOfWeek = (o[4] >> 5) % 7;
  t.month = o[5] & 0x0F;
  t.year = 2000 + (o[6] & 0x7F);
  if (ms > 59999 || t.minute > 59 || t.hour > 23 || t.day < 1 || t.month < 1 || t.month > 12)
    return std::nullopt;
  return t;
}

std::array<uint8_t, 2> EncodeCp16Time2a(uint16_t ms) {
  return {static_cast<uint8_t>(ms & 0xFF), static_cast<uint8_t>(ms >> 8)};
}

}  // namespace tessvar
