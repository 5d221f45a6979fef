#pragma once
// Bounds-checked little-endian reads over a byte span, and the length-prefixed texts of
// description files. Nothing is allocated before the bytes it describes are known to be
// there.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tessvar {

enum class TextStatus { Ok, EndOfFile, BadLength };

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Offset() const { return pos_; }
  size_t Remaining() const { return bytes_.size() - pos_; }

  std::optional<std::span<const uint8_t>> Take(size_t n);
  std::optional<uint8_t> U8();
  std::optional<uint16_t> U16();
  std::optional<uint32_t> U32();
  std::optional<uint64_t> U64();
  // Moves over up to n bytes; false when fewer than n were left.
  bool Skip(size_t n);

  // A length-prefixed text, converted to UTF-8. On failure the position is undefined
  // (reading stops anyway) and `out` is untouched.
  TextStatus Text(std::string& out);

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace tessvar
