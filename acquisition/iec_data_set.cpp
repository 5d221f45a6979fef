#include "acquisition/iec_data_set.h"

#include <algorithm>
#include <cmath>

#include "model/device_description.h"

namespace tessvar {
namespace {

uint16_t Word(std::span<const uint8_t> image, size_t entry) {
  const size_t at = 2 * entry;
  if (at + 1 >= image.size()) return 0;
  return static_cast<uint16_t>(image[at] << 8 | image[at + 1]);
}

bool Awaited(const std::vector<bool>& awaited, size_t k) {
  return k >= awaited.size() || awaited[k];
}

int64_t Scaled(int64_t value, const DecodeOptions& options, size_t entry) {
  if (!options.physicalUnits) return value;
  const auto divisor = DivisorAt(options.divisors, entry);
  if (!divisor) return value;
  const double q = std::nearbyint(static_cast<double>(value) / *divisor);
  if (!std::isfinite(q) || std::fabs(q) > 9.0e18) return value;
  return static_cast<int64_t>(q);
}

}  // namespace

void DecodeIecImage(std::span<const PollEntry> entries, std::span<const uint8_t> image,
                    const std::vector<bool>& awaited, const DecodeOptions& options,
                    RawValues& out) {
  for (size_t k = 0; k < entries.size(); ++k) {
    const auto& slot = entries[k].slot;
    if (!slot || *slot < 0 || *slot >= kSlotCount || *slot == kTmsSlot || *slot == kThmSlot)
      continue;
    if (IsCounterSlot(*slot)) {
      // Both halves must have come in this cycle, or the counter keeps its last value.
      if (Awaited(awaited, k) && Awaited(awaited, k + 1) && k + 1 < entries.size()) {
        const uint32_t raw = static_cast<uint32_t>(Word(image, k)) << 16 | Word(image, k + 1);
        const auto value = Scaled(static_cast<int32_t>(raw), options, k);
        out.value[*slot] = static_cast<int32_t>(static_cast<uint32_t>(value));
      }
      ++k;  // the second half is not an entry of its own
      continue;
    }
    if (!Awaited(awaited, k)) continue;
    const uint16_t raw16 = Word(image, k);
    const int64_t raw = IsUnsignedSlot(*slot) ? int64_t{raw16} : int64_t{static_cast<int16_t>(raw16)};
    const auto kept = static_cast<uint16_t>(static_cast<uint64_t>(Scaled(raw, options, k)));
    out.value[*slot] = IsUnsignedSlot(*slot) ? int32_t{kept} : int32_t{static_cast<int16_t>(kept)};
  }
}

std::vector<uint32_t> BuildReadList(std::span<const PollEntry> entries) {
  size_t m = 0;
  while (m < entries.size() && !IsTmsColumn(entries[m].name) && entries[m].pollSize != 0) ++m;
  std::vector<bool> taken(m, false);
  std::vector<uint32_t> starts;
  for (size_t i = 0; i < m; ++i) {
    if (taken[i]) continue;
    taken[i] = true;
    starts.push_back(entries[i].address);
    uint32_t next = entries[i].address + 1;
    for (bool found = true; found;) {
      found = false;
      for (size_t j = i + 1; j < m; ++j) {
        if (!taken[j] && entries[j].address == next) {
          taken[j] = true;
          ++next;
          found = true;
          break;
        }
      }
    }
  }
  return starts;
}

uint32_t IecReadCursor::Next() {
  if (starts_.empty()) return 0;
  const uint32_t a = starts_[next_];
  next_ = (next_ + 1) % starts_.size();
  return a;
}

void RestrictToFirstRun(std::span<const PollEntry> entries, AvailabilityMarks& marks) {
  const size_t m = static_cast<size_t>(std::count_if(
      entries.begin(), entries.end(), [](const PollEntry& e) { return !IsTimeColumn(e.name); }));
  if (entries.empty()) return;
  std::vector<bool> onRun(entries.size(), false);
  onRun[0] = true;
  uint32_t next = entries[0].address + 1;
  size_t from = 1;
  for (bool found = true; found;) {
    found = false;
    for (size_t j = from; j < entries.size(); ++j) {
      if (entries[j].address == next) {
        onRun[j] = true;
        ++next;
        from = j + 1;
        found = true;
        break;
      }
    }
  }
  for (size_t i = 0; i < m && i < entries.size(); ++i) {
    const auto& slot = entries[i].slot;
    if (!onRun[i] && slot && *slot >= 0 && *slot < kAvailabilityMarks)
      marks.marks[static_cast<size_t>(*slot)] = 0;
  }
}

}  // namespace tessvar
