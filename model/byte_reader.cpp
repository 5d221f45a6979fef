#include "model/byte_reader.h"

#include <vector>

#include "model/cp1251.h"

namespace tessvar {

std::optional<std::span<const uint8_t>> ByteReader::Take(size_t n) {
  if (n > Remaining()) return std::nullopt;
  auto s = bytes_.subspan(pos_, n);
  pos_ += n;
  return s;
}

std::optional<uint8_t> ByteReader::U8() {
  auto s = Take(1);
  if (!s) return std::nullopt;
  return (*s)[0];
}

std::optional<uint16_t> ByteReader::U16() {
  auto s = Take(2);
  if (!s) return std::nullopt;
  return static_cast<uint16_t>((*s)[0] | ((*s)[1] << 8));
}

std::optional<uint32_t> ByteReader::U32() {
  auto s = Take(4);
  if (!s) return std::nullopt;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | (*s)[static_cast<size_t>(i)];
  return v;
}

std::optional<uint64_t> ByteReader::U64() {
  auto s = Take(8);
  if (!s) return std::nullopt;
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | (*s)[static_cast<size_t>(i)];
  return v;
}

bool ByteReader::Skip(size_t n) {
  const bool full = n <= Remaining();
  pos_ += full ? n : Remaining();
  return full;
}

TextStatus ByteReader::Text(std::string& out) {
  bool wide = false;
  uint64_t length = 0;
  // At most one UTF-16 marker: a second one cannot come from a writer and would let a
  // file chain markers without end.
  for (;;) {
    const auto b = U8();
    if (!b) return TextStatus::EndOfFile;
    if (*b != 0xFF) {
      length = *b;
      break;
    }
    const auto w = U16();
    if (!w) return TextStatus::EndOfFile;
    if (*w == 0xFFFE) {
      if (wide) return TextStatus::BadLength;
      wide = true;
      continue;
    }
    if (*w != 0xFFFF) {
      length = *w;
      break;
    }
    const auto d = U32();
    if (!d) return TextStatus::EndOfFile;
    if (*d != 0xFFFFFFFF) {
      length = *d;
      break;
    }
    const auto q = U64();
    if (!q) return TextStatus::EndOfFile;
    if (*q >= (uint64_t{1} << 31)) return TextStatus::BadLength;
    length = *q;
    break;
  }
  const uint64_t byteCount = wide ? length * 2 : length;  // length < 2^32, no overflow
  if (byteCount > Remaining()) return TextStatus::EndOfFile;
  const auto body = *Take(static_cast<size_t>(byteCount));
  if (!wide) {
    out = Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    return TextStatus::Ok;
  }
  std::vector<char16_t> units(body.size() / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(body[2 * i] | (body[2 * i + 1] << 8));
  }
  out = Cp1251ToUtf8(Utf16ToCp1251(units));
  return TextStatus::Ok;
}

}  // namespace tessvar
