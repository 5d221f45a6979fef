#include "acquisition/data_set.h"

#include <charconv>
#include <cmath>

namespace tessvar {

bool IsCounterSlot(int slot) {
  switch (slot) {
    case 3: case 5: case 13: case 19: case 24: case 26: case 34: case 40:
      return true;
    default:
      return false;
  }
}

bool IsUnsignedSlot(int slot) { return slot == 15 || slot == 36; }

std::optional<double> DivisorAt(std::span<const std::string> divisors, size_t index) {
  if (index >= divisors.size()) return std::nullopt;
  std::string_view text = divisors[index];
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr == text.data() || !std::isfinite(value) || value == 0) {
    return std::nullopt;
  }
  return value;
}

namespace {

uint64_t ReadBigEndian(std::span<const uint8_t> data, size_t offset, size_t n) {
  uint64_t value = 0;
  for (size_t i = 0; i < n && offset + i < data.size(); ++i) {
    value = (value << 8) | data[offset + i];
  }
  return value;
}

int64_t Scale(int64_t value, const DecodeOptions& options, size_t entryIndex) {
  if (!options.physicalUnits) return value;
  const auto divisor = DivisorAt(options.divisors, entryIndex);
  if (!divisor) return value;
  const double q = std::nearbyint(static_cast<double>(value) / *divisor);
  if (!std::isfinite(q) || std::fabs(q) > 9.0e18) return value;
  return static_cast<int64_t>(q);
}

}  // namespace

void DecodeDataSet(std::span<const PollEntry> entries, std::span<const uint8_t> dataSet,
                   const DecodeOptions& options, RawValues& out) {
  size_t offset = 0;
  for (size_t e = 0; e < entries.size();) {
    const PollEntry& entry = entries[e];
    const size_t size = entry.byteSize & 0xFFu;
    if (!entry.slot || *entry.slot < 0 || *entry.slot >= kSlotCount) {
      // Unknown entries were polled all the same: step over their bytes.
      offset += size;
      ++e;
      continue;
    }
    const int slot = *entry.slot;
    if (IsCounterSlot(slot)) {
      const auto raw = static_cast<int32_t>(static_cast<uint32_t>(ReadBigEndian(dataSet, offset, 4)));
      out.value[slot] = static_cast<int32_t>(static_cast<uint32_t>(Scale(raw, options, e)));
      offset += 4;
      e += 2;
      continue;
    }
    if (slot == kTmsSlot || slot == kThmSlot) {
      if (!options.iec) {
        const auto raw = static_cast<uint16_t>(ReadBigEndian(dataSet, offset, size));
        if (slot == kTmsSlot) {
          out.time.milliseconds = raw;
        } else {
          out.time.minute = static_cast<uint8_t>(raw & 0xFF);
          out.time.hour = static_cast<uint8_t>(raw >> 8);
        }
        offset += size;
      }
      ++e;
      continue;
    }
    const size_t readSize = (slot == 16 || slot == 17) ? 2 : size;
    const auto raw16 = static_cast<uint16_t>(ReadBigEndian(dataSet, offset, readSize));
    const int64_t raw = IsUnsignedSlot(slot) ? int64_t{raw16} : int64_t{static_cast<int16_t>(raw16)};
    const auto kept = static_cast<uint16_t>(static_cast<uint64_t>(Scale(raw, options, e)));
    out.value[slot] = IsUnsignedSlot(slot) ? int32_t{kept} : int32_t{static_cast<int16_t>(kept)};
    offset += size;
    ++e;
  }
}

}  // namespace tessvar
