#include "sim/iec104_monitor.h"

#include <algorithm>
#include <cstdio>

namespace tessvar::sim {
namespace {

constexpr size_t kHeader = 6;         // type, qualifier, cause (2), common address (2)
constexpr size_t kAddress = 3;
constexpr size_t kMaxAsdu = 253 - 4;  // what an APDU's length octet leaves for the ASDU

// Octets of one element after its address: value and what follows it.
size_t ElementSize(uint8_t type) {
  switch (type) {
    case 9: return 3;
    case 11: return 3;
    case 10: return 6;
    case 21: return 2;
    case 34:
    case 35: return 10;
    case 143: return 3;
    default: return 0;
  }
}

void PutAddress(std::vector<uint8_t>& out, uint32_t a) {
  out.push_back(static_cast<uint8_t>(a));
  out.push_back(static_cast<uint8_t>(a >> 8));
  out.push_back(static_cast<uint8_t>(a >> 16));
}

void PutCp56(std::vector<uint8_t>& out, const WallTime& t) {
  const int ms = t.second * 1000 + t.millisecond;
  const int dow = t.dayOfWeek == 0 ? 7 : t.dayOfWeek;
  out.push_back(static_cast<uint8_t>(ms));
  out.push_back(static_cast<uint8_t>(ms >> 8));
  out.push_back(static_cast<uint8_t>(t.minute));
  out.push_back(static_cast<uint8_t>(t.hour));
  out.push_back(static_cast<uint8_t>(t.day | (dow << 5)));
  out.push_back(static_cast<uint8_t>(t.month));
  out.push_back(static_cast<uint8_t>(t.year - 2000));
}

void PutElement(std::vector<uint8_t>& out, uint8_t type, uint16_t value, const WallTime& t) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
  switch (type) {
    case 9:
    case 11: out.push_back(0x00); break;  // quality: good
    case 10: {
      const int ms = t.second * 1000 + t.millisecond;
      out.push_back(0x00);
      out.push_back(static_cast<uint8_t>(ms));
      out.push_back(static_cast<uint8_t>(ms >> 8));
      out.push_back(static_cast<uint8_t>(t.minute));
      break;
    }
    case 34:
    case 35:
      out.push_back(0x00);
      PutCp56(out, t);
      break;
    case 143: out.push_back(0x00); break;
    default: break;
  }
}

std::vector<uint8_t> Header(const MonitorFormat& f, uint8_t cause, size_t count, bool sq) {
  return {f.type, static_cast<uint8_t>((sq ? 0x80 : 0) | count), cause, 0x00,
          static_cast<uint8_t>(f.commonAddress), static_cast<uint8_t>(f.commonAddress >> 8)};
}

}  // namespace

bool IsServedMonitorType(uint8_t type) { return ElementSize(type) != 0; }

bool SequenceAllowed(uint8_t type) {
  return type == 9 || type == 11 || type == 21 || type == 143;
}

std::vector<std::vector<uint8_t>> BuildMonitorAsdus(const MonitorFormat& format, uint8_t cause,
                                                    std::span<const IecPoint> points,
                                                    const WallTime& time) {
  std::vector<std::vector<uint8_t>> out;
  const size_t element = ElementSize(format.type);
  if (element == 0) return out;
  const bool sq = format.type == 143 || (format.sequence && SequenceAllowed(format.type));
  const size_t tail = format.type == 143 ? 4 : 0;  // time of day after the last element
  size_t k = 0;
  while (k < points.size()) {
    size_t n = 1;
    if (sq) {
      const size_t room = (kMaxAsdu - kHeader - kAddress - tail) / element;
      while (k + n < points.size() && n < std::min<size_t>(room, 127) &&
             points[k + n].address == points[k].address + n) {
        ++n;
      }
    } else {
      const size_t room = (kMaxAsdu - kHeader) / (kAddress + element);
      n = std::min({points.size() - k, room, size_t{127}});
    }
    auto asdu = Header(format, cause, n, sq);
    for (size_t j = 0; j < n; ++j) {
      if (!sq || j == 0) PutAddress(asdu, points[k + j].address);
      PutElement(asdu, format.type, points[k + j].value, time);
    }
    if (tail) {
      const int ms = time.second * 1000 + time.millisecond;
      asdu.push_back(static_cast<uint8_t>(ms));
      asdu.push_back(static_cast<uint8_t>(ms >> 8));
      asdu.push_back(static_cast<uint8_t>(time.minute));
      asdu.push_back(static_cast<uint8_t>(time.hour));
    }
    out.push_back(std::move(asdu));
    k += n;
  }
  return out;
}

std::vector<uint8_t> EchoWithCause(std::span<const uint8_t> asdu, uint8_t causeOctet) {
  std::vector<uint8_t> out(asdu.begin(), asdu.end());
  if (out.size() > 2) out[2] = causeOctet;
  return out;
}

bool ParseCommandAsdu(std::span<const uint8_t> asdu, CommandAsdu& out) {
  if (asdu.size() < kHeader + kAddress) return false;
  out.type = asdu[0];
  out.cause = asdu[2];
  out.commonAddress = static_cast<uint16_t>(asdu[4] | (asdu[5] << 8));
  out.objectAddress = static_cast<uint32_t>(asdu[6] | (asdu[7] << 8) | (asdu[8] << 16));
  out.element = asdu.subspan(kHeader + kAddress);
  return true;
}

bool ReadCp56(std::span<const uint8_t> o, WallTime& out) {
  if (o.size() < 7) return false;
  const int ms = o[0] | (o[1] << 8);
  WallTime t;
  t.second = ms / 1000;
  t.millisecond = ms % 1000;
  t.minute = o[2] & 0x3F;
  t.hour = o[3] & 0x1F;
  t.day = o[4] & 0x1F;
  t.month = o[5] & 0x0F;
  t.year = 2000 + (o[6] & 0x7F);
  if (ms > 59999 || t.minute > 59 || t.hour > 23 || t.day < 1 || t.month < 1 || t.month > 12) {
    return false;
  }
  out = t;
  return true;
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
    s += b;
  }
  return s;
}

}  // namespace tessvar::sim
