#include "sim/iec101_monitor.h"

#include <algorithm>

#include "link/iec_asdu_decoder.h"

namespace tessvar::sim {
namespace {

void PutLittle(std::vector<uint8_t>& out, uint32_t value, uint8_t octets) {
  for (uint8_t i = 0; i < octets; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool SequenceAllowed(uint8_t type) {
  return type == kMeNa1 || type == kMeNb1 || type == kMeNd1 || type == kPrivateSequence;
}

size_t ElementSize(uint8_t type) {
  switch (type) {
    case kMeTa1: return 6;
    case kMeNd1: return 2;
    case kMeTd1:
    case kMeTe1: return 10;
    default: return 3;  // 9, 11 and 143
  }
}

void PutElement(std::vector<uint8_t>& out, uint8_t type, uint16_t value, const WallTime& t) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
  if (type == kMeNd1) return;
  out.push_back(0);  // quality: good (type 143: the spare octet)
  if (type == kMeTa1) {
    const auto ms = static_cast<uint16_t>(t.second * 1000 + t.millisecond);
    out.insert(out.end(), {static_cast<uint8_t>(ms & 0xFF), static_cast<uint8_t>(ms >> 8),
                           static_cast<uint8_t>(t.minute)});
  } else if (type == kMeTd1 || type == kMeTe1) {
    const auto tag = EncodeCp56Time2a(t);
    out.insert(out.end(), tag.begin(), tag.end());
  }
}

// Header with a placeholder qualifier, patched when the ASDU is closed.
std::vector<uint8_t> StartAsdu(const Iec101Format& f, uint8_t cause) {
  std::vector<uint8_t> out{f.type, 0, cause};
  if (f.sizes.cause == 2) out.push_back(f.originator);
  PutLittle(out, f.commonAddress, f.sizes.commonAddress);
  return out;
}

}  // namespace

bool IsIec101MonitorType(uint8_t type) {
  return type == kMeNa1 || type == kMeNb1 || type == kMeTa1 || type == kMeNd1 || type == kMeTd1 ||
         type == kMeTe1 || type == kPrivateSequence;
}

std::vector<std::vector<uint8_t>> BuildIec101MonitorAsdus(const Iec101Format& given,
                                                          uint8_t cause,
                                                          std::span<const Iec101Point> points,
                                                          const WallTime& time) {
  Iec101Format f = given;
  f.sizes = Clamped(f.sizes);
  const bool sq = f.type == kPrivateSequence || (f.sequence && SequenceAllowed(f.type));
  const size_t element = ElementSize(f.type);
  const size_t ioa = f.sizes.objectAddress;
  const size_t trailer = f.type == kPrivateSequence ? 4 : 0;
  std::vector<std::vector<uint8_t>> asdus;
  std::vector<uint8_t> cur;
  size_t count = 0;
  uint32_t next = 0;
  auto close = [&] {
    if (count == 0) return;
    cur[1] = static_cast<uint8_t>(count | (sq ? 0x80 : 0));
    if (trailer) {
      const auto ms = static_cast<uint16_t>(time.second * 1000 + time.millisecond);
      cur.insert(cur.end(), {static_cast<uint8_t>(ms & 0xFF), static_cast<uint8_t>(ms >> 8),
                             static_cast<uint8_t>(time.minute), static_cast<uint8_t>(time.hour)});
    }
    asdus.push_back(std::move(cur));
    cur.clear();
    count = 0;
  };
  for (const auto& p : points) {
    const bool continues = count > 0 && (!sq || p.address == next);
    const size_t need = (sq && continues ? 0 : ioa) + element + trailer;
    if (!continues || count == 127 || cur.size() + need > f.maxAsdu) close();
    if (count == 0) {
      cur = StartAsdu(f, cause);
      PutLittle(cur, p.address, f.sizes.objectAddress);
    } else if (!sq) {
      PutLittle(cur, p.address, f.sizes.objectAddress);
    }
    PutElement(cur, f.type, p.value, time);
    ++count;
    next = p.address + 1;
  }
  close();
  return asdus;
}

std::vector<uint8_t> EchoAsduWithCause(std::span<const uint8_t> asdu, uint8_t causeOctet) {
  std::vector<uint8_t> out(asdu.begin(), asdu.end());
  if (out.size() > 2) out[2] = causeOctet;
  return out;
}

bool ParseIec101Command(std::span<const uint8_t> asdu, const AsduFieldSizes& given,
                        Iec101Command& out) {
  const AsduFieldSizes s = Clamped(given);
  const size_t head = AsduHeaderSize(s);
  if (asdu.size() < head + s.objectAddress) return false;
  out.type = asdu[0];
  out.cause = asdu[2];
  out.objectAddress = 0;
  for (size_t i = 0; i < s.objectAddress; ++i)
    out.objectAddress |= static_cast<uint32_t>(asdu[head + i]) << (8 * i);
  out.element = asdu.subspan(head + s.objectAddress);
  return true;
}

std::vector<size_t> SelectIec101Entries(const DeviceDescription& d, Iec101Selection how,
                                        uint32_t arg) {
  const IecEntryMap map = BuildIecEntryMap(d);
  std::vector<size_t> out;
  uint32_t next = arg;
  for (size_t k = 0; k < map.addresses.size(); ++k) {
    if (!map.transferred[k]) continue;
    const uint8_t code = map.groupCodes[k];
    switch (how) {
      case Iec101Selection::Station: out.push_back(k); break;
      case Iec101Selection::Group:
        if (code == kCauseGroupBase || code == kCauseGroupBase + arg) out.push_back(k);
        break;
      case Iec101Selection::RunFrom:
        if (map.addresses[k] == next) {
          out.push_back(k);
          ++next;
        }
        break;
      case Iec101Selection::LinkSequence:
        if (map.onLinkSequence[k]) out.push_back(k);
        break;
      case Iec101Selection::GroupMembers:
        if (code == kCauseGroupBase + arg) out.push_back(k);
        break;
    }
  }
  return out;
}

}  // namespace tessvar::sim
