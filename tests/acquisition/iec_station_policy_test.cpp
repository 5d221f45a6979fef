// The standard station profile's rules outside the wire: how floats become the window's
// codes, and which objects "Чтение (102)" asks for next.
#include "acquisition/iec_station_policy.h"

#include <gtest/gtest.h>

namespace tessvar {
namespace {

DeviceDescription Entries() {
  DeviceDescription d;
  d.entries = {{"Напряжение (Udc1)", "10", "2"}, {"Ток (Idc2)", "11", "2"},
               {"Мощность (Pdc1)", "12", "2"},   {"Частота (f1 )", "13", "2"},
               {"Коэффициент (PF1)", "14", "2"}, {"Прочее", "15", "2"}};
  d.divisors = {"1", "1", "10", "1", "1", "1"};
  return d;
}

TEST(IecStationPolicy, FloatsBecomeTheCodesOfTheWindowsScale) {
  DcNominals n;
  n.channel[0] = {"300", "5"};
  n.channel[1] = {"75", "20"};
  const auto scales = IecFloatScales(Entries(), n);
  ASSERT_EQ(scales.size(), 6u);
  struct Case {
    size_t entry;
    double codePerUnit;
    bool unsignedCode;
  };
  const Case cases[] = {
      {0, 15000.0 / 300, false},         // volts on channel 1's voltage
      {1, 15000.0 / 20, false},          // amperes on channel 2's current
      {2, 10 * 20000.0 / 1500, false},   // watts on Un x In, times the divisor
      {3, 10.0, true},                   // tenths of a hertz
      {4, 1000.0, false},                // thousandths
      {5, 1.0, false},                   // no quantity: the value as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_NEAR(scales[c.entry].codePerUnit, c.codePerUnit, 1e-9);
    EXPECT_EQ(scales[c.entry].unsignedCode, c.unsignedCode);
  }
}

TEST(IecStationPolicy, OnlyTheStandardProfileChangesAnything) {
  const IecStationPolicy t = StationPolicy(IecProfile::Transducer);
  EXPECT_FALSE(t.standard || t.interrogateAtZero || t.readWithSendConfirm || t.pollClass1OnAcd ||
               t.emptyPollIsNothing || t.repeatLostReply || t.decodeStandardTypes ||
               t.groupMembersOnly || t.readEveryObject);
  const IecStationPolicy s = StationPolicy(IecProfile::Standard);
  EXPECT_TRUE(s.standard && s.interrogateAtZero && s.readWithSendConfirm && s.pollClass1OnAcd &&
              s.emptyPollIsNothing && s.repeatLostReply && s.decodeStandardTypes &&
              s.groupMembersOnly && s.readEveryObject);
}

TEST(IecStationPolicy, TheReadAsksForTheObjectsStillMissing) {
  auto d = MakeAsduDecoder(Entries(), {1, 1, 2}, IecReadMode::Read102, 0);
  const auto addresses = AwaitedObjectAddresses(d);
  ASSERT_EQ(addresses, (std::vector<uint32_t>{0x10, 0x11, 0x12, 0x13, 0x14, 0x15}));
  size_t cursor = 0;
  EXPECT_EQ(NextMissingAddress(d, addresses, cursor), 0x10u);
  // The station answered the read of 0x10 with a run up to 0x12: those are not asked again.
  d.marks[0] = d.marks[1] = d.marks[2] = kMarkDone;
  EXPECT_EQ(NextMissingAddress(d, addresses, cursor), 0x13u);
  d.marks[4] = kMarkDone;
  EXPECT_EQ(NextMissingAddress(d, addresses, cursor), 0x15u);
  EXPECT_EQ(NextMissingAddress(d, addresses, cursor), 0x13u) << "wraps round to what is missing";
  size_t none = 0;
  EXPECT_EQ(NextMissingAddress(d, {}, none), std::nullopt);
}

}  // namespace
}  // namespace tessvar
