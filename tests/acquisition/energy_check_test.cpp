#include "acquisition/energy_check.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace tessvar::test {
namespace {

using Step = EnergyCheckTracker::Step;

TEST(EnergyCheckTest, TimeTexts) {
  struct Case {
    unsigned h, m;
    uint16_t ms;
    const char* text;
  };
  const Case cases[] = {
      {10, 0, 30500, "10 : 00 : 30.50"}, {9, 5, 7250, "09 : 05 : 7.25"},
      {0, 3, 12000, "00 : 03 : 12.00"},  {23, 59, 59999, "23 : 59 : 59.99"},
      {0, 0, 5, "00 : 00 : 0.00"},       {12, 34, 10009, "12 : 34 : 10.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckTimeText(c.h, c.m, c.ms), c.text);
}

TEST(EnergyCheckTest, SixMinutesOnADial) {
  struct Case {
    uint8_t h, m, endH, endM;
  };
  const Case cases[] = {{10, 0, 10, 6}, {23, 57, 0, 3}, {9, 54, 10, 0}, {23, 53, 23, 59}, {12, 59, 13, 5}};
  for (const Case& c : cases) {
    const HourMinute e = SixMinutesLater(c.h, c.m);
    EXPECT_EQ(e.hour, c.endH);
    EXPECT_EQ(e.minute, c.endM);
  }
}

WallTime At(int h, int m, int s) {
  WallTime t;
  t.hour = h;
  t.minute = m;
  t.second = s;
  return t;
}

TEST(EnergyCheckTest, CountdownWithBorrows) {
  struct Case {
    CountdownEnd end;
    WallTime now;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {{0, 3, 10}, At(23, 58, 0), "00 : 05 : 10"},  // over midnight
      {{10, 6, 31}, At(10, 0, 31), "00 : 06 : 00"},
      {{10, 6, 31}, At(10, 0, 32), "00 : 05 : 59"},
      {{10, 6, 31}, At(10, 6, 30), "00 : 00 : 01"},
      {{10, 6, 31}, At(10, 6, 31), std::nullopt},   // reached
      {{10, 6, 31}, At(10, 6, 45), std::nullopt},
      {{0, 0, 5}, At(23, 59, 58), "00 : 00 : 07"},
  };
  for (const Case& c : cases) EXPECT_EQ(RemainingText(c.end, c.now), c.text);
  const CountdownEnd e = CountdownEndFrom(At(23, 58, 0));
  EXPECT_EQ((std::array<int, 3>{e.hour, e.minute, e.second}), (std::array<int, 3>{0, 4, 0}));
  const CountdownEnd f = CountdownEndFrom(At(10, 0, 31));
  EXPECT_EQ((std::array<int, 3>{f.hour, f.minute, f.second}), (std::array<int, 3>{10, 6, 31}));
}

TEST(EnergyCheckTest, CodeTexts) {
  struct Case {
    const char* text;
    int64_t value;
  };
  const Case cases[] = {{"4310", 4310},  {" -12", -12}, {"+7", 7},       {"abc", 0},
                        {"", 0},          {"12abc", 12}, {"4294967295", 4294967295},
                        {"99999999999999999999999", std::numeric_limits<int64_t>::max()}};
  for (const Case& c : cases) EXPECT_EQ(ParseCodeText(c.text), c.value) << c.text;

  RawValues raw;
  raw.value[3] = 4310;
  raw.value[5] = -1;  // 0xFFFFFFFF as a 32-bit code
  raw.value[24] = 0;
  raw.value[26] = 2147483647;
  EXPECT_EQ(CounterCodeTexts(raw), (CounterTexts{"4310", "4294967295", "0", "2147483647"}));
}

CheckSample Sample(uint8_t h, uint8_t m, uint16_t ms, CounterTexts codes = {"0", "0", "0", "0"}) {
  CheckSample s;
  s.time = {ms, m, h};
  s.codes = std::move(codes);
  s.pollPeriodMs = 200;
  return s;
}

TEST(EnergyCheckTest, StartAndEndByTheTransducerClock) {
  EnergyCheckTracker t;
  EXPECT_EQ(t.OnSample(Sample(10, 0, 30500, {"4294", "100", "7", "9"})), Step::Started);
  EXPECT_EQ(t.StartText(), "10 : 00 : 30.50");
  EXPECT_EQ(t.EndText(), "10 : 06 : 30.50");
  // Samples every 200 ms from 10:00:30.600 on; the one at 10:06:30.400 ends the check
  // (30400 + 200 / 2 >= 30500), the one before it does not.
  uint32_t ms = 30600 + 60000 * 0;
  int minute = 0;
  Step last = Step::Counting;
  int samples = 0;
  while (last != Step::Finished && samples < 5000) {
    const bool final = minute == 6 && ms == 30400;
    last = t.OnSample(Sample(10, static_cast<uint8_t>(minute), static_cast<uint16_t>(ms),
                             {final ? "4310" : "4300", "90", "7", "9"}));
    if (last == Step::Finished) {
      EXPECT_EQ(minute, 6);
      EXPECT_EQ(ms, 30400u);
    }
    ms += 200;
    if (ms >= 60000) {
      ms -= 60000;
      ++minute;
    }
    ++samples;
  }
  EXPECT_EQ(last, Step::Finished);
  EXPECT_EQ(t.Increment(), (CounterTexts{"16", "-10", "0", "0"}));
  // Finished: later samples change nothing.
  EXPECT_EQ(t.OnSample(Sample(10, 6, 40000, {"5000", "5000", "5000", "5000"})), Step::Finished);
  EXPECT_EQ(t.Final()[0], "4310");
}

TEST(EnergyCheckTest, EndSequences) {
  struct Case {
    const char* name;
    std::vector<CheckSample> samples;
    std::string start, end;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"over midnight",
       {Sample(23, 57, 12000), Sample(0, 3, 11800), Sample(0, 3, 11900)},
       "23 : 57 : 12.00",
       "00 : 03 : 12.00",
       {Step::Started, Step::Counting, Step::Finished}},
      {"replies too rare to see the matching second",
       {Sample(10, 0, 30500), Sample(10, 6, 20000), Sample(10, 7, 2000)},
       "10 : 00 : 30.50",
       "10 : 06 : 30.50",
       {Step::Started, Step::Counting, Step::Finished}},
      {"the same time twice is no new sample",
       {Sample(10, 0, 30500), Sample(10, 0, 30500), Sample(10, 0, 30700)},
       "10 : 00 : 30.50",
       "10 : 06 : 30.50",
       {Step::Started, Step::Counting, Step::Counting}},
      {"start late in a minute",
       {Sample(10, 0, 59950), Sample(10, 6, 59800), Sample(10, 7, 0)},
       "10 : 00 : 59.95",
       "10 : 06 : 59.95",
       {Step::Started, Step::Counting, Step::Finished}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EnergyCheckTracker t;
    std::vector<Step> steps;
    for (const CheckSample& s : c.samples) steps.push_back(t.OnSample(s));
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(t.StartText(), c.start);
    EXPECT_EQ(t.EndText(), c.end);
  }
}

TEST(EnergyCheckTest, NoTransducerTimeNoStart) {
  EnergyCheckTracker t;
  CheckSample s = Sample(0, 0, 0, {"1", "2", "3", "4"});
  s.time.reset();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(t.OnSample(s), Step::Waiting);
  EXPECT_FALSE(t.Started());
  EXPECT_EQ(t.Final(), (CounterTexts{"1", "2", "3", "4"}));  // mirrored all the same
  EXPECT_EQ(t.Initial(), (CounterTexts{"0", "0", "0", "0"}));
}

}  // namespace
}  // namespace tessvar::test
