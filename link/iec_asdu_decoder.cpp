#include "link/iec_asdu_decoder.h"

#include <algorithm>

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

struct Layout {
  size_t element = 0;   // octets after each object address
  size_t timeAt = 0;    // offset of the time tag inside the element (0: none kept)
  bool sequenceAllowed = false;
  bool sequenceRequired = false;
  bool countFromWholeOctet = false;
};

bool LayoutOf(uint8_t type, Layout& l) {
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
  } else {
    d.time.hour = (tag[2] & 0x80) ? 0xFF : 0;  // CP24Time2a carries no hours
  }
}

// Stores one value; returns true when the address belongs to an entry.
bool Store(AsduDecoder& d, uint32_t address, std::span<const uint8_t> value) {
  const auto k = FindEntry(d, address);
  if (!k) return false;
  if (2 * *k + 1 < d.image.size()) {
    d.image[2 * *k] = value[1];
    d.image[2 * *k + 1] = value[0];
  }
  if (*k < d.marks.size()) d.marks[*k] = kMarkDone;
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
    const bool known = Store(d, address, element);
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
      awaited = awaited && (code == kCauseGroupBase || code == kCauseGroupBase + d.group);
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
  if (LayoutOf(type, l)) {
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
