#include "ui/text_compare.h"

#include <algorithm>

namespace tessvar {
namespace {

// Decodes one UTF-8 sequence; a malformed byte stands for itself.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](size_t k) -> int {
    if (i + k >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i + k]);
    return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
  };
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if ((b0 & 0xE0) == 0xC0) {
    int c1 = cont(1);
    if (c1 >= 0) {
      i += 2;
      return static_cast<char32_t>(((b0 & 0x1F) << 6) | c1);
    }
  } else if ((b0 & 0xF0) == 0xE0) {
    int c1 = cont(1), c2 = cont(2);
    if (c1 >= 0 && c2 >= 0) {
      i += 3;
      return static_cast<char32_t>(((b0 & 0x0F) << 12) | (c1 << 6) | c2);
    }
  } else if ((b0 & 0xF8) == 0xF0) {
    int c1 = cont(1), c2 = cont(2), c3 = cont(3);
    if (c1 >= 0 && c2 >= 0 && c3 >= 0) {
      i += 4;
      return static_cast<char32_t>(((b0 & 0x07) << 18) | (c1 << 12) | (c2 << 6) | c3);
    }
  }
  ++i;
  return b0;
}

char32_t Upper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;  // а..я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;  // ѐ..џ, ё among them
  return c;
}

}  // namespace

std::u32string FoldCase(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) out.push_back(Upper(NextCodePoint(utf8, i)));
  return out;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  const auto t = FoldCase(text);
  const auto p = FoldCase(prefix);
  return t.size() >= p.size() && std::equal(p.begin(), p.end(), t.begin());
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  const auto fa = FoldCase(a);
  const auto fb = FoldCase(b);
  return fa.compare(fb);
}

}  // namespace tessvar
