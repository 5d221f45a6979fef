#pragma once
// A cursor over received octets for the summarisers: every read is checked against what is
// left, so a lying length or count can only end the walk early.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace tessvar::monitor {

class OctetReader {
 public:
  explicit OctetReader(std::span<const uint8_t> octets) : octets_(octets) {}
  bool Has(size_t n) const { return octets_.size() - pos_ >= n; }
  size_t Left() const { return octets_.size() - pos_; }
  uint8_t U8() { return Has(1) ? octets_[pos_++] : 0; }
  // `n` octets, low first (n <= 4); zero when fewer are left.
  uint32_t Le(size_t n) {
    if (!Has(n)) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint32_t>(octets_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }
  uint16_t Be16() {
    if (!Has(2)) return 0;
    const auto v = static_cast<uint16_t>((octets_[pos_] << 8) | octets_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  std::span<const uint8_t> Take(size_t n) {
    if (!Has(n)) n = Left();
    const auto part = octets_.subspan(pos_, n);
    pos_ += n;
    return part;
  }

 private:
  std::span<const uint8_t> octets_;
  size_t pos_ = 0;
};

// printf-style formatting into a std::string (short texts only).
template <typename... Args>
std::string Fmt(const char* format, Args... args) {
  char buf[160];
  const int n = std::snprintf(buf, sizeof buf, format, args...);
  if (n <= 0) return {};
  return std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

}  // namespace tessvar::monitor
