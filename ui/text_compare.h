#pragma once
// Letter-case-insensitive comparisons of UTF-8 texts over the Latin and Cyrillic letters,
// as the window's lists compare their items.
#include <string>
#include <string_view>

namespace tessvar {

// Upper-cases ASCII and Cyrillic letters (including Ё/ё) of a UTF-8 text.
std::u32string FoldCase(std::string_view utf8);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
// <0, 0, >0 like strcmp, on folded code points (so Cyrillic sorts after Latin).
int CompareIgnoreCase(std::string_view a, std::string_view b);

}  // namespace tessvar
