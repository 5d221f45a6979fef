#include "acquisition/presentation.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace tessvar {
namespace {

int IndexOf(int slot) {
  for (int k = 0; k < kPresentedCount; ++k) {
    if (PresentedSlots()[k].slot == slot) return k;
  }
  return -1;
}

PresentationInput Input(const RawValues& raw, bool physical, const char* un = "30",
                        const char* in = "75") {
  PresentationInput p;
  p.raw = &raw;
  p.physicalUnits = physical;
  p.channel1 = {un, in, ComputeKiloFlags(ParseNominal(in), ParseNominal(un))};
  p.channel2 = p.channel1;
  return p;
}

TEST(PresentationTest, FormatValueKeepsFourDigits) {
  struct Case {
    double x;
    const char* text;
  };
  const Case cases[] = {
      {0.123, "0.123"}, {12.34, "12.34"},   {123.4, "123.4"},  {1234.0, "1234"},
      {-300.0, "-300.0"}, {0.0, "0.000"},    {9.9996, "10.000"}, {5000.0, "5000"},
      {3.0e9, "3000000000"}, {-2.5e12, "-2500000000000"},      {2.25, "2.250"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatValue(c.x), c.text) << c.x;
}

TEST(PresentationTest, PhysicalUnitsOfTheChannel) {
  RawValues raw;
  raw.value[0] = -15000;  // Udc1
  raw.value[9] = 20000;   // P1
  raw.value[12] = 999;    // PF1
  raw.value[15] = 50000;  // f1, unsigned
  raw.value[42] = 1000;   // ETA
  raw.value[1] = 7500;    // Idc1

  const auto out300 = Present(Input(raw, true, "300", "75"));
  EXPECT_EQ(out300[IndexOf(0)].value, "-300.0");
  const auto out = Present(Input(raw, true, "30", "75"));
  EXPECT_EQ(out[IndexOf(9)].value, "2.250");  // 30 V × 75 A: kilowatts
  EXPECT_EQ(out[IndexOf(9)].caption, "P1, kВт");
  EXPECT_EQ(out[IndexOf(3)].caption, "Wdc1, kВт·ч");
  EXPECT_EQ(out[IndexOf(12)].value, "0.999");
  EXPECT_EQ(out[IndexOf(15)].value, "5000");
  EXPECT_EQ(out[IndexOf(15)].caption, "f1, Гц");
  EXPECT_EQ(out[IndexOf(42)].value, "100.0");
  EXPECT_EQ(out[IndexOf(42)].caption, "ETA, %");
  EXPECT_EQ(out[IndexOf(1)].value, "37.50");
  EXPECT_EQ(out[IndexOf(1)].caption, "Idc1, A");

  const auto small = Present(Input(raw, true, "100", "5"));
  EXPECT_EQ(small[IndexOf(9)].value, "500.0");
  EXPECT_EQ(small[IndexOf(9)].caption, "P1, Вт");
  EXPECT_EQ(small[IndexOf(10)].caption, "Pq1, вар");
  EXPECT_EQ(small[IndexOf(11)].caption, "Ps1, ВА");
}

TEST(PresentationTest, RawCodes) {
  RawValues raw;
  raw.value[2] = -5;
  raw.value[15] = 50000;
  raw.value[24] = -70000;
  const auto out = Present(Input(raw, false));
  EXPECT_EQ(out[IndexOf(2)].value, "-5");
  EXPECT_EQ(out[IndexOf(2)].caption, "Pdc1");
  EXPECT_EQ(out[IndexOf(15)].value, "50000");
  EXPECT_EQ(out[IndexOf(15)].caption, "f1");
  EXPECT_EQ(out[IndexOf(24)].value, "-70000");
}

TEST(PresentationTest, ChannelTwoUsesItsOwnNominals) {
  RawValues raw;
  raw.value[21] = 15000;
  PresentationInput p = Input(raw, true);
  p.channel2 = {"500", "1", ComputeKiloFlags(1, 500)};
  const auto out = Present(p);
  EXPECT_EQ(out[IndexOf(21)].value, "500.0");
  EXPECT_EQ(out[IndexOf(23)].caption, "Pdc2, Вт");
  EXPECT_EQ(out[IndexOf(2)].caption, "Pdc1, kВт");
}

TEST(PresentationTest, KiloFlagsAndNominalTexts) {
  EXPECT_TRUE(ComputeKiloFlags(75, 30).power);   // 2250
  EXPECT_FALSE(ComputeKiloFlags(5, 100).power);  // 500
  EXPECT_TRUE(ComputeKiloFlags(999.6, 1).energy);  // rounds to 1000
  EXPECT_FALSE(ComputeKiloFlags(999.4, 1).energy);
  EXPECT_DOUBLE_EQ(ParseNominal(" 7.5A"), 7.5);
  EXPECT_DOUBLE_EQ(ParseNominal("abc"), 0);
  EXPECT_DOUBLE_EQ(ParseNominal(""), 0);
}

TEST(PresentationTest, ClockTextsNeverShowSixtySeconds) {
  EXPECT_EQ(ConverterTimeText({7250, 5, 9}), "09 : 05 : 07.25");
  EXPECT_EQ(ConverterTimeText({59999, 59, 23}), "23 : 59 : 59.99");
  EXPECT_EQ(ConverterTimeText({9995, 0, 0}), "00 : 00 : 09.99");
  EXPECT_EQ(ConverterTimeText({0, 0, 0}), "00 : 00 : 00.00");
  WallTime t;
  t.hour = 14;
  t.minute = 5;
  t.second = 59;
  t.millisecond = 999;
  EXPECT_EQ(ComputerTimeText(t), "14 : 05 : 59.99");
}

TEST(PresentationTest, TextsIgnoreTheProcessLocale) {
  const char* ru = std::setlocale(LC_ALL, "ru_RU.UTF-8");
  if (!ru) ru = std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_EQ(FormatValue(12.34), "12.34");
  EXPECT_DOUBLE_EQ(ParseNominal("7.5"), 7.5);
  std::setlocale(LC_ALL, "C");
  if (!ru) GTEST_SKIP() << "no comma-decimal locale installed";
}

}  // namespace
}  // namespace tessvar
