#include "acquisition/poll_plan.h"

namespace tessvar {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

uint32_t ParseHexText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = HexDigit(text[i]);
    if (d < 0) break;
    value = ((value << 4) | static_cast<uint64_t>(d)) & 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(value);
}

int64_t ParseDecimalText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < (int64_t{1} << 40)) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool IsTmsColumn(std::string_view name) {
  return name.find("Время (tms)") != std::string_view::npos ||
         name.find("Time (tms)") != std::string_view::npos;
}

RequestBlock SelectNextBlock(std::span<const PollEntry> entries, size_t cursor) {
  const size_t n = entries.size();
  RequestBlock block;
  if (n == 0) return block;
  if (cursor >= n) cursor = 0;
  if (IsTmsColumn(entries[cursor].name)) cursor = 0;
  while (cursor < n && entries[cursor].pollSize == 0) ++cursor;
  if (cursor == n) cursor = 0;
  block.firstEntry = cursor;
  block.start = entries[cursor].address;
  ++cursor;
  uint32_t count = 1;
  while (cursor < n && count < kMaxRegistersPerRequest &&
         entries[cursor].address == block.start + count && entries[cursor].pollSize != 0) {
    ++cursor;
    ++count;
  }
  block.count = static_cast<uint16_t>(count);
  block.nextCursor = cursor;
  return block;
}

bool CompletesPass(std::span<const PollEntry> entries, const RequestBlock& received) {
  return SelectNextBlock(entries, received.nextCursor).firstEntry <= received.firstEntry;
}

}  // namespace tessvar
