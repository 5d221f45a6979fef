#pragma once
// Windows-1251, the code page of description files, recording files and the stored
// setting. The core keeps every text in UTF-8 and converts only at those edges.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessvar {

// Every one of the 256 bytes maps to one code point; the one byte the code page leaves
// unassigned (0x98) maps to U+0098 so that any file survives a round trip.
char32_t Cp1251ToCodePoint(uint8_t byte);
// The byte for a code point, or '?' when the code page cannot hold it.
uint8_t CodePointToCp1251(char32_t cp);

std::string Cp1251ToUtf8(std::string_view cp1251);
// Characters the code page cannot hold, and malformed UTF-8 bytes, become "?" (one per
// character or bad byte), so the output never loses a position.
std::string Utf8ToCp1251(std::string_view utf8);
// UTF-16 code units (already in host order) to the code page; lone surrogates and
// characters outside the code page become "?".
std::string Utf16ToCp1251(std::span<const char16_t> units);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace tessvar
