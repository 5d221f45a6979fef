#pragma once
// The polled view of a device description: one row per entry with its address and sizes
// already parsed, and the choice of the next block of consecutive registers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar {

// A MODBUS reply carries at most this many registers.
inline constexpr uint16_t kMaxRegistersPerRequest = 125;

struct PollEntry {
  std::string name;          // UTF-8
  uint32_t address = 0;      // the address text read as hexadecimal
  uint32_t pollSize = 0;     // the size text read as hexadecimal; 0 = not polled
  uint32_t byteSize = 0;     // the size text read as decimal, kept in 8 bits
  std::optional<int> slot;   // catalogue slot of the name
};

// Reads "1A", "0x1A", " 1a " as 26; no hex digit reads 0. Stops at the first non-digit.
uint32_t ParseHexText(std::string_view text);
// Reads a leading decimal integer (blanks allowed before it); none reads 0.
int64_t ParseDecimalText(std::string_view text);

bool IsTmsColumn(std::string_view name);  // "Время (tms)" or "Time (tms)"

struct RequestBlock {
  size_t firstEntry = 0;  // entry the block begins at
  size_t nextCursor = 0;  // block cursor after the block
  uint32_t start = 0;     // first register
  uint16_t count = 0;     // registers
};

// Chooses the block that follows the block cursor `cursor`: a clock entry or the end of
// the list starts over at entry 0, entries of size 0 are skipped, and a run of consecutive
// addresses is cut at kMaxRegistersPerRequest registers. `entries` must not be empty.
RequestBlock SelectNextBlock(std::span<const PollEntry> entries, size_t cursor);

// True when the block just received is the last one of a pass: the block chosen after it
// begins again at or before its own first entry.
bool CompletesPass(std::span<const PollEntry> entries, const RequestBlock& received);

}  // namespace tessvar
