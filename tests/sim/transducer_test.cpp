#include "sim/transducer.h"
#include "sim/code_scale.h"

#include <gtest/gtest.h>

#include "link/modbus_request.h"
#include "platform/virtual_clock.h"
#include "tests/sim/sim_fixture.h"

namespace tessvar::sim {
namespace {

TransducerOptions Options(uint64_t seed = 7) {
  TransducerOptions o;
  o.seed = seed;
  o.nominals[0] = {75, 5, 100, 5};
  o.nominals[1] = o.nominals[0];
  return o;
}

TEST(RegisterImage, PlacesEveryEntryAndSpansCountersOverTwo) {
  const RegisterImage image = BuildRegisterImage(test::SmallDescription());
  EXPECT_EQ(image.registers.size(), 12u);
  EXPECT_TRUE(image.warnings.empty());
  ASSERT_TRUE(image.clockStart);
  EXPECT_EQ(*image.clockStart, 0x100);
  EXPECT_EQ(image.Find(3)->kind, RegisterKind::CounterHigh);
  EXPECT_EQ(image.Find(4)->kind, RegisterKind::CounterLow);
  EXPECT_EQ(image.Find(4)->slot, 3);
  EXPECT_EQ(image.Find(7)->kind, RegisterKind::Unnamed);
  EXPECT_EQ(image.Find(0x103)->clock, ClockField::Year);
  EXPECT_DOUBLE_EQ(image.Find(7)->divisor, 100);
}

TEST(RegisterImage, ReportsAddressesItCannotServe) {
  DeviceDescription d;
  d.entries = {{"(Udc1)", "0x10000", "2"}, {"(Idc1)", "5", "2"}, {"(Pdc1)", "0x5", "2"}};
  const RegisterImage image = BuildRegisterImage(d);
  EXPECT_EQ(image.registers.size(), 1u);
  EXPECT_EQ(image.warnings.size(), 2u);
  EXPECT_EQ(image.Find(5)->slot, 1);  // the first of two entries at one address is kept
}

TEST(Transducer, ServesValuesNearNominalsConsistently) {
  VirtualClock clock;
  Transducer t(clock, test::SmallDescription(), Options());
  for (int step = 0; step < 50; ++step) {
    std::vector<uint16_t> r;
    ASSERT_EQ(t.ReadRegisters(0, 8, r), 0);
    ASSERT_EQ(r.size(), 8u);
    // The window's scale: 15000 is the nominal 75 V or 5 A, 20000 the nominal 375 W.
    const double u = static_cast<int16_t>(r[0]) * 75 / 15000.0;
    const double i = static_cast<int16_t>(r[1]) * 5 / 15000.0;
    const double p = static_cast<int16_t>(r[2]) * 375 / 20000.0;
    EXPECT_NEAR(u, 73.5, 1.5);
    EXPECT_NEAR(i, 3.0, 0.2);
    EXPECT_NEAR(p, u * i, 0.02 * u * i + 1);
    EXPECT_LE(r[5], 1000);  // power factor in thousandths
    EXPECT_GE(r[5], 930);
    EXPECT_NEAR(r[6] / 10.0, 50.0, 0.1);  // frequency in tenths of a hertz
    EXPECT_EQ(r[7], 0);
    clock.Advance(733);
  }
}

TEST(Transducer, SameSeedSameValuesWhateverThePollPattern) {
  VirtualClock a, b;
  Transducer ta(a, test::SmallDescription(), Options(42));
  Transducer tb(b, test::SmallDescription(), Options(42));
  Transducer other(b, test::SmallDescription(), Options(43));
  // b is polled often on the way, a only at the end: the counters still agree.
  for (int k = 0; k < 100; ++k) {
    std::vector<uint16_t> r;
    tb.ReadRegisters(0, 5, r);
    b.Advance(1234);
  }
  a.Advance(123400);
  std::vector<uint16_t> ra, rb, rc;
  ta.ReadRegisters(0, 7, ra);
  tb.ReadRegisters(0, 7, rb);
  other.ReadRegisters(0, 7, rc);
  EXPECT_EQ(ra, rb);
  EXPECT_NE(ra, rc);
}

TEST(Transducer, EnergyCounterIntegratesPower) {
  VirtualClock clock;
  Transducer t(clock, test::SmallDescription(), Options());
  auto energy = [&] {
    std::vector<uint16_t> r;
    EXPECT_EQ(t.ReadRegisters(3, 2, r), 0);
    // One count is 375 W / 20000 / 1.8 hours' worth of energy.
    return static_cast<double>((uint32_t{r[0]} << 16) | r[1]) * 375 / 20000.0 / 1.8;  // W·h
  };
  double powerSum = 0;
  const double before = energy();
  // Six minutes in 1 s steps, summing the served power.
  for (int s = 0; s < 360; ++s) {
    std::vector<uint16_t> r;
    t.ReadRegisters(2, 1, r);
    powerSum += static_cast<int16_t>(r[0]) * 375 / 20000.0;  // W
    clock.Advance(1000);
  }
  const double delta = energy() - before;
  EXPECT_NEAR(delta, powerSum / 3600.0, 0.02 * powerSum / 3600.0 + 0.2);
  EXPECT_GT(delta, 20);  // ~220 W for 0.1 h
}

TEST(Transducer, SteadyDcCountsOneCodeEvery100Ms) {
  VirtualClock clock;
  TransducerOptions o = Options();
  o.steadyDc = true;
  Transducer t(clock, test::SmallDescription(), o);
  auto read = [&](uint16_t start, uint16_t n) {
    std::vector<uint16_t> r;
    EXPECT_EQ(t.ReadRegisters(start, n, r), 0);
    return r;
  };
  auto energy = [&] {
    const auto r = read(3, 2);
    return (int64_t{r[0]} << 16) | r[1];
  };
  // At the nominals (75 V, 5 A) the codes read 15000, 15000 and 20000 exactly, always.
  const int64_t first = energy();
  struct Step {
    uint64_t advanceMs;
    int64_t codes;  // since the start
  };
  const Step steps[] = {{99, 0}, {1, 1}, {250, 3}, {360000 - 350, 3600}, {360000, 7200}};
  for (const Step& s : steps) {
    clock.Advance(s.advanceMs);
    EXPECT_EQ(energy() - first, s.codes) << clock.MonotonicMs();
    EXPECT_EQ(read(0, 3), (std::vector<uint16_t>{15000, 15000, 20000}));
  }
}

TEST(Transducer, RangeRules) {
  VirtualClock clock;
  TransducerOptions o = Options();
  o.pinned[2] = 0xBEEF;
  o.pinned[0x200] = 17;  // pinned outside the description: served too
  Transducer t(clock, test::SmallDescription(), o);
  std::vector<uint16_t> r;
  EXPECT_EQ(t.ReadRegisters(6, 3, r), modbus_exception::kIllegalDataAddress);  // 8 is not described
  EXPECT_TRUE(r.empty());
  EXPECT_EQ(t.ReadRegisters(0xFFFF, 2, r), modbus_exception::kIllegalDataAddress);
  ASSERT_EQ(t.ReadRegisters(2, 1, r), 0);
  EXPECT_EQ(r[0], 0xBEEF);
  ASSERT_EQ(t.ReadRegisters(0x200, 1, r), 0);
  EXPECT_EQ(r[0], 17);
}

TEST(Transducer, ClockWriteThreeRegisterFormSetsTheClock) {
  VirtualClock clock;
  Transducer t(clock, test::SmallDescription(false), Options());
  // 12:34:56.005 on Sunday 7 June 2026: ms, hour, minute, year, day, weekday × 32 + month.
  const uint8_t data[] = {0xDA, 0xC5, 0x0C, 0x22, 0x1A, 0x07, 0xE6};
  ASSERT_EQ(t.WriteRegisters(0x100, 3, data), 0);
  clock.Advance(1500);
  std::vector<uint16_t> r;
  ASSERT_EQ(t.ReadRegisters(0x100, 3, r), 0);
  EXPECT_EQ(r[0], 57505);  // 57.505 s
  EXPECT_EQ(r[1], 0x0C22);
  EXPECT_EQ(r[2], 26);  // year register
  const WallTime now = t.ClockOfDevice().Now();
  EXPECT_EQ(now.day, 7);
  EXPECT_EQ(now.month, 6);
  EXPECT_EQ(now.year, 2026);
}

TEST(Transducer, ClockWriteFourRegisterFormAndRefusals) {
  VirtualClock clock;
  Transducer t(clock, test::SmallDescription(true), Options());
  const uint8_t good[] = {0xDA, 0xC5, 0x0C, 0x22, 0x07, 0xE6, 0x00, 0x1A};
  ASSERT_EQ(t.WriteRegisters(0x100, 4, good), 0);
  std::vector<uint16_t> r;
  ASSERT_EQ(t.ReadRegisters(0x100, 4, r), 0);
  EXPECT_EQ(r[1], 0x0C22);
  EXPECT_EQ(r[2], (7 << 8) | (7 * 32 + 6));  // the weekday is the date's own: Sunday = 7
  EXPECT_EQ(r[3], 26);

  struct Case {
    uint16_t start;
    uint16_t quantity;
    std::vector<uint8_t> data;
    uint8_t exception;
  };
  const Case cases[] = {
      {0x000, 1, {0, 1}, modbus_exception::kIllegalDataAddress},  // measured values are read-only
      {0x101, 1, {0, 1}, modbus_exception::kIllegalDataAddress},  // must start at the ms register
      {0x100, 4, {0xEA, 0x60, 0x0C, 0x22, 0x07, 0xE6, 0x00, 0x1A}, modbus_exception::kIllegalDataValue},  // 60000 ms
      {0x100, 4, {0, 0, 24, 0, 7, 0xE6, 0, 26}, modbus_exception::kIllegalDataValue},     // hour 24
      {0x100, 4, {0, 0, 1, 0, 31, 0x04, 0, 26}, modbus_exception::kIllegalDataValue},     // 31 April
      {0x100, 4, {0, 0, 1, 0, 7, 0x0D, 0, 26}, modbus_exception::kIllegalDataValue},      // month 13
      {0x100, 2, {0, 0, 1, 0, 7}, modbus_exception::kIllegalDataValue},                   // odd byte, 2 registers
      {0x100, 5, {0, 0, 1, 0, 7, 6, 0, 26, 0, 0}, modbus_exception::kIllegalDataAddress}, // beyond the clock
  };
  for (const auto& c : cases) EXPECT_EQ(t.WriteRegisters(c.start, c.quantity, c.data), c.exception) << c.start;
  // A refused write leaves the clock alone.
  ASSERT_EQ(t.ReadRegisters(0x101, 1, r), 0);
  EXPECT_EQ(r[0], 0x0C22);
}

TEST(DeviceClock, RunsWithTheHostAndStartsAtLocalTime) {
  VirtualClock clock;
  DeviceClock dc(clock);
  const WallTime local = clock.LocalNow();
  EXPECT_EQ(dc.Now().hour, local.hour);
  clock.Advance(61000);
  EXPECT_EQ(ClockRegisterValue(ClockField::Ms, dc.Now()), (local.second + 1) % 60 * 1000 + local.millisecond);
  EXPECT_EQ(IsoWeekday(WallTime{2026, 6, 7}), 7);
  EXPECT_EQ(IsoWeekday(WallTime{2026, 6, 8}), 1);
}

}  // namespace
}  // namespace tessvar::sim

namespace tessvar::sim {
namespace {

// The simulator must encode on the scale the window reads back, or the demo shows nonsense.
TEST(CodeScale, MatchesTheWindowScaleOfEachChannel) {
  const std::array<ChannelNominals, 2> n{ChannelNominals{75, 5, 75, 5}, ChannelNominals{300, 10, 300, 10}};
  struct Case {
    int slot;
    double physical;
    double code;
  } cases[] = {
      {0, 75, 15000},          // Udc1 at nominal
      {1, 2.5, 7500},          // Idc1 at half nominal
      {2, 375, 20000},         // Pdc1 at nominal power
      {9, -375, -20000},       // P1 flowing back
      {3, 375 / 1.8, 20000},   // Wdc1: one hour at nominal power counts 20000 × 1.8 / 1.8
      {5, 5 / 2.4, 15000},     // Qdc1: charge in steps of In / 15000 / 2.4
      {12, 0.95, 950},         // PF1 in thousandths
      {15, 50.0, 500},         // f1 in tenths
      {21, 300, 15000},        // Udc2 on channel 2's nominal
      {23, 3000, 20000},       // Pdc2
      {42, 98.7, 987},         // ETA in tenths
      {43, 1234, 0},           // the clock is not a measured value
  };
  for (const auto& c : cases) EXPECT_NEAR(TransducerCode(c.slot, c.physical, n), c.code, 1e-6) << c.slot;
  EXPECT_TRUE(UnsignedCode(15));
  EXPECT_FALSE(UnsignedCode(0));
}

}  // namespace
}  // namespace tessvar::sim
