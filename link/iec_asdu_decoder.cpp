#include "link/iec_asdu_decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "model/catalogue.h"

namespace tessvar {
namespace {

// Little-endian reads that report failure instead of reading past the end.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> octets) : octets_(octets) {}
  bool Has(size_t n) const { return octets_.size() - pos_ >= n; }
  uint32_t Little(size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint32_t>(octets_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }
  uint8_t Octet() { return octets_[pos_++]; }
  std::span<const uint8_t> Take(size_t n) {
    auto s = octets_.subspan(pos_, n);
    pos_ += n;
    return s;
  }

 private:
  std::span<const uint8_t> octets_;
  size_t pos_ = 0;
};

// What the first octets of an element hold.
enum class Value { Word, Float, Counter };

struct Layout {
  size_t element = 0;   // octets after each object address
  size_t timeAt = 0;    // offset of the time tag inside the element (0: none kept)
  bool sequenceAllowed = false;
  bool sequenceRequired = false;
  bool countFromWholeOctet = false;
  Value value = Value::Word;
};

// The types of a standard station: scaled and floating-point values, counter readings.
bool StandardLayoutOf(uint8_t type, Layout& l) {
  switch (type) {
    case kMeNb1: l = {3, 0, true, false, false}; return true;
    case kMeNc1: l = {5, 0, true, false, false, Value::Float}; return true;
    case kItNa1: l = {5, 0, true, false, false, Value::Counter}; return true;
    case kMeTf1: l = {12, 5, false, false, false, Value::Float}; return true;
    case kItTb1: l = {12, 5, false, false, false, Value::Counter}; return true;
    default: return false;
  }
}

bool LayoutOf(uint8_t type, bool standardTypes, Layout& l) {
  if (standardTypes && StandardLayoutOf(type, l)) return true;
  switch (type) {
    case kMeNa1: l = {3, 0, true, false, false}; return true;
    case kMeTa1: l = {6, 3, false, false, true}; return true;
    case kMeNd1: l = {2, 0, true, false, false}; return true;
    case kMeTd1: l = {10, 3, false, false, true}; return true;
    case kMeTe1: l = {10, 0, false, false, true}; return true;
    case kPrivateSequence: l = {3, 0, true, true, false}; return true;
    default: return false;
  }
}

std::optional<size_t> FindEntry(const AsduDecoder& d, uint32_t address) {
  const auto& a = d.entries.addresses;
  const auto it = std::find(a.begin(), a.end(), address);
  if (it == a.end()) return std::nullopt;
  return static_cast<size_t>(it - a.begin());
}

bool AllArrived(const AsduDecoder& d) {
  return std::none_of(d.marks.begin(), d.marks.end(),
                      [](uint8_t m) { return m == kMarkAwaited; });
}

void KeepTime(AsduDecoder& d, uint8_t type, std::span<const uint8_t> tag) {
  d.time.milliseconds = static_cast<uint16_t>(tag[0] | (tag[1] << 8));
  d.time.minute = tag[2];
  if (type == kMeTd1) {
    d.time.hour = tag[3];
  } else if (type == kMeTf1 || type == kItTb1) {
    d.time.hour = tag[3] & 0x1F;  // without the summer-time bit
  } else {
    d.time.hour = (tag[2] & 0x80) ? 0xFF : 0;  // CP24Time2a carries no hours
  }
}

void PutWord(AsduDecoder& d, size_t k, uint16_t word) {
  if (2 * k + 1 < d.image.size()) {
    d.image[2 * k] = static_cast<uint8_t>(word >> 8);
    d.image[2 * k + 1] = static_cast<uint8_t>(word & 0xFF);
  }
  if (k < d.marks.size()) d.marks[k] = kMarkDone;
}

bool Wide(const AsduDecoder& d, size_t k) {
  return k < d.entries.wide.size() && d.entries.wide[k] && k + 1 < d.marks.size();
}

// A 32-bit value: both halves of a wide entry (high first), else its low half.
void PutLong(AsduDecoder& d, size_t k, uint32_t value) {
  if (!Wide(d, k)) {
    PutWord(d, k, static_cast<uint16_t>(value & 0xFFFF));
    return;
  }
  PutWord(d, k, static_cast<uint16_t>(value >> 16));
  PutWord(d, k + 1, static_cast<uint16_t>(value & 0xFFFF));
}

// An IEEE 754 single (little-endian) as the entry's code; NaN gives 0.
void PutFloat(AsduDecoder& d, size_t k, std::span<const uint8_t> octets) {
  const auto bits = static_cast<uint32_t>(octets[0] | octets[1] << 8 | octets[2] << 16 |
                                          static_cast<uint32_t>(octets[3]) << 24);
  const double physical = std::bit_cast<float>(bits);
  const auto& scales = d.entries.floatScales;
  const IecFloatScale scale = k < scales.size() ? scales[k] : IecFloatScale{};
  double code = std::isnan(physical) ? 0.0 : std::nearbyint(physical * scale.codePerUnit);
  if (std::isnan(code)) code = 0.0;
  if (Wide(d, k)) {
    code = std::clamp(code, double{std::numeric_limits<int32_t>::min()},
                      double{std::numeric_limits<int32_t>::max()});
    PutLong(d, k, static_cast<uint32_t>(static_cast<int32_t>(code)));
    return;
  }
  const double low = scale.unsignedCode ? 0.0 : -32768.0;
  const double high = scale.unsignedCode ? 65535.0 : 32767.0;
  code = std::clamp(code, low, high);
  PutWord(d, k, static_cast<uint16_t>(static_cast<int32_t>(code)));
}

// Stores one value; returns true when the address belongs to an entry.
bool Store(AsduDecoder& d, uint32_t address, std::span<const uint8_t> value, Value kind) {
  const auto k = FindEntry(d, address);
  if (!k) return false;
  switch (kind) {
    case Value::Word: PutWord(d, *k, static_cast<uint16_t>(value[0] | value[1] << 8)); break;
    case Value::Float: PutFloat(d, *k, value); break;
    case Value::Counter:
      PutLong(d, *k, static_cast<uint32_t>(value[0] | value[1] << 8 | value[2] << 16 |
                                           static_cast<uint32_t>(value[3]) << 24));
      break;
  }
  return true;
}

void DecodeObjects(AsduDecoder& d, Reader& r, uint8_t type, const Layout& l, size_t n,
                   bool sequence, uint32_t firstAddress) {
  const size_t ioaSize = d.sizes.objectAddress;
  bool timeKept = false;
  for (size_t i = 0; i < n; ++i) {
    uint32_t address = firstAddress + static_cast<uint32_t>(i);
    if (!sequence && i > 0) {
      if (!r.Has(ioaSize)) return;
      address = r.Little(ioaSize);
    }
    if (!r.Has(l.element)) return;
    const auto element = r.Take(l.element);
    d.lastAddress = address;
    const bool known = Store(d, address, element, l.value);
    if (known && l.timeAt != 0 && !timeKept) {
      KeepTime(d, type, element.subspan(l.timeAt));
      timeKept = true;
    }
  }
  if (type == kPrivateSequence && r.Has(4) && AllArrived(d)) {
    const auto tag = r.Take(4);
    d.time = {static_cast<uint16_t>(tag[0] | (tag[1] << 8)), tag[2], tag[3]};
    d.complete = true;
  }
}

}  // namespace

IecEntryMap BuildIecEntryMap(const DeviceDescription& description) {
  IecEntryMap m;
  const auto& e = description.entries;
  size_t dataCount = 0;
  for (size_t k = 0; k < e.size(); ++k) {
    m.addresses.push_back(ParseHexAddress(e[k].address));
    m.groupCodes.push_back(description.GroupCode(k));
    const bool clock = IsTimeColumn(e[k].name);
    m.transferred.push_back(!clock && ParseDecimalInt(e[k].size) != 0);
    if (!clock) ++dataCount;
  }
  m.wide.assign(e.size(), false);
  for (size_t k = 0; k + 1 < e.size(); ++k) {
    const auto slot = FindCatalogueSlot(e[k].name);
    if (slot && CatalogueTable()[static_cast<size_t>(*slot)].widthBits == 32) {
      m.wide[k] = true;
      ++k;  // the low half is no counter of its own
    }
  }
  // The link-level read delivers consecutive addresses from the first entry's address on,
  // over as many entries as there are non-clock entries.
  m.onLinkSequence.assign(e.size(), false);
  uint32_t next = m.addresses.empty() ? 0 : m.addresses[0];
  for (size_t k = 0; k < std::min(dataCount, e.size()); ++k) {
    if (m.addresses[k] == next) {
      m.onLinkSequence[k] = true;
      ++next;
    }
  }
  return m;
}

AsduDecoder MakeAsduDecoder(const DeviceDescription& description, const AsduFieldSizes& sizes,
                            IecReadMode mode, uint8_t group, size_t awaitedEntries) {
  AsduDecoder d;
  d.sizes = Clamped(sizes);
  d.mode = mode;
  d.group = group;
  d.awaitedEntries = awaitedEntries;
  d.entries = BuildIecEntryMap(description);
  StartCycle(d);
  return d;
}

void PresetMarks(AsduDecoder& d) {
  const auto& m = d.entries;
  d.awaited.assign(d.marks.size(), false);
  for (size_t k = 0; k < d.marks.size(); ++k) {
    bool awaited = k < m.transferred.size() && m.transferred[k];
    if (d.mode == IecReadMode::GroupPoll && d.group != 0 && k < m.groupCodes.size()) {
      const uint8_t code = m.groupCodes[k];
      const bool station = code == kCauseGroupBase && !d.groupMembersOnly;
      awaited = awaited && (station || code == kCauseGroupBase + d.group);
    }
    if (d.mode == IecReadMode::LinkLevelRead) {
      awaited = awaited && k < d.awaitedEntries && k < m.onLinkSequence.size() &&
                m.onLinkSequence[k];
    }
    if (!awaited) d.marks[k] = kMarkDone;
    d.awaited[k] = awaited;
  }
}

void StartCycle(AsduDecoder& d) {
  const size_t n = d.entries.addresses.size();
  d.image.assign(2 * n, 0);
  d.marks.assign(n, kMarkAwaited);
  d.complete = false;
  PresetMarks(d);
}

size_t DecodeAsdu(AsduDecoder& d, std::span<const uint8_t> asdu) {
  const AsduFieldSizes s = Clamped(d.sizes);
  d.sizes = s;
  Reader r(asdu);
  if (!r.Has(AsduHeaderSize(s) + s.objectAddress)) return 0;
  const uint8_t type = r.Octet();
  const uint8_t qualifier = r.Octet();
  const size_t n = qualifier & 0x7F;
  const bool sequence = (qualifier & 0x80) != 0;
  d.lastType = type;
  if (type < 100 || type == kPrivateSequence) d.lastMonitorType = type;
  d.lastCause = r.Octet();
  r.Take(s.cause - 1u + s.commonAddress);
  const uint32_t first = r.Little(s.objectAddress);
  if (qualifier != 0) d.lastAddress = first;

  Layout l;
  if (LayoutOf(type, d.standardTypes, l)) {
    ++d.asduCounter;
    const bool decodable = l.sequenceRequired ? sequence : (l.sequenceAllowed || !sequence ||
                                                             l.countFromWholeOctet);
    const size_t count = l.countFromWholeOctet ? qualifier : n;
    if (decodable) DecodeObjects(d, r, type, l, count, sequence && l.sequenceAllowed, first);
  }
  if (AllArrived(d)) d.complete = true;
  return n;
}

}  // namespace tessvar
