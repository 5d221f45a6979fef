#pragma once
// The raw value fields a data set is decoded into, and the decoder itself. A data set is
// the data bytes of all blocks of one pass in description order, big-endian registers.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "acquisition/poll_plan.h"
#include "model/converter_time.h"

namespace tessvar {

inline constexpr int kSlotCount = 45;
inline constexpr int kTmsSlot = 43;
inline constexpr int kThmSlot = 44;
inline constexpr int kEtaSlot = 42;

// A 32-bit counter starts at these slots and spans two description entries.
bool IsCounterSlot(int slot);
// f1 and f2 are unsigned; every other single quantity is signed 16-bit.
bool IsUnsignedSlot(int slot);

// One value per catalogue slot: 16-bit quantities sign-extended (f1, f2 zero-extended),
// counters as signed 32-bit. All 0 until the first data set.
struct RawValues {
  std::array<int32_t, kSlotCount> value{};
  ConverterTime time;
};

struct DecodeOptions {
  bool physicalUnits = false;             // divide by the entry's divisor
  bool iec = false;                       // clock entries carry no bytes in the data set
  std::span<const std::string> divisors;  // divisor text per entry position
};

// Reads the divisor text at position `index`; nothing for a missing, zero or non-numeric
// text, so the value stays unscaled.
std::optional<double> DivisorAt(std::span<const std::string> divisors, size_t index);

// Walks the entries over the data set. Reads never go past its end: a short data set gives
// values built from the bytes that are there (0 when none are).
void DecodeDataSet(std::span<const PollEntry> entries, std::span<const uint8_t> dataSet,
                   const DecodeOptions& options, RawValues& out);

}  // namespace tessvar
