#include "model/cp1251.h"

#include <gtest/gtest.h>

namespace tessvar {
namespace {

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Cp1251ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1251(utf8), all);
  // No two bytes share a code point.
  for (int a = 0; a < 256; ++a) {
    EXPECT_EQ(CodePointToCp1251(Cp1251ToCodePoint(static_cast<uint8_t>(a))), a) << a;
  }
}

TEST(Cp1251, KnownLetters) {
  struct Case {
    std::string cp;
    std::string utf8;
  } cases[] = {
      {"\xCD\xE0\xEF\xF0\xFF\xE6\xE5\xED\xE8\xE5", "Напряжение"},
      {"\xCC\xDD\xCA-101", "МЭК-101"},
      {"\xA8\xB8", "Ёё"},
      {"\xB9", "№"},
      {"\x88", "€"},
      {"\xB7", "·"},
      {"\xA5\xB4", "Ґґ"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Cp1251ToUtf8(c.cp), c.utf8);
    EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp);
  }
}

TEST(Cp1251, UnmappableAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("a中b"), "a?b");
  EXPECT_EQ(Utf8ToCp1251("x😀y"), "x?y");
  EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "??");
  EXPECT_EQ(Utf8ToCp1251("ok\xD0"), "ok?");         // cut sequence at the end
  EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");        // overlong NUL
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");   // encoded surrogate
}

TEST(Cp1251, Utf16) {
  const char16_t text[] = {u'В', u'р', u'е', u'м', u'я', 0x4E2D, 0xD83D, 0xDE00, 0xDC00, u'!'};
  EXPECT_EQ(Cp1251ToUtf8(Utf16ToCp1251(text)), "Время??" "?!");
}

}  // namespace
}  // namespace tessvar
