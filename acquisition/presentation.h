#pragma once
// Raw values to the texts of the main window: captions with units and multiplier letters,
// value texts, and the clock read-outs. Pure; the run control writes the result into the
// controls. Numbers always use "." whatever the process locale.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/data_set.h"
#include "platform/clock.h"

namespace tessvar {

// A presented quantity: its catalogue slot and its bare name.
struct PresentedSlot {
  int slot;
  std::string_view name;  // bare caption in codes
};
inline constexpr int kPresentedCount = 35;
const std::array<PresentedSlot, kPresentedCount>& PresentedSlots();
// The presented quantity of a slot, or nullptr (second halves of counters, clock columns).
const PresentedSlot* FindPresented(int slot);

struct KiloFlags {
  bool power = false;
  bool energy = false;
};
// Set when In × Un, written without decimals, is longer than three characters.
KiloFlags ComputeKiloFlags(double nominalCurrent, double nominalVoltage);

// A nominal text as a number: leading blanks, then the longest decimal prefix; none is 0.
double ParseNominal(std::string_view text);

// Fixed-point text with `decimals` digits, "." as separator.
std::string FormatDecimals(double value, int decimals);
// Four significant digits while below 1000: 0.123, 12.34, 123.4, 1234.
std::string FormatValue(double value);

struct ChannelNominals {
  std::string voltage;  // list text, "30" ...
  std::string current;  // free text
  KiloFlags kilo;
};

struct PresentationInput {
  const RawValues* raw = nullptr;
  bool physicalUnits = true;
  ChannelNominals channel1;
  ChannelNominals channel2;
};

struct PresentedText {
  std::string caption;
  std::string value;
};

// The physical value of one code step of a presented slot in base units (no kilo), on the
// scale of its channel's nominals; 0 for a slot that is not presented.
double PhysicalPerCode(int slot, const ChannelNominals& nominals);

// Caption and value text of every presented quantity, in PresentedSlots() order.
std::array<PresentedText, kPresentedCount> Present(const PresentationInput& in);

// "hh : mm : ss.ss"; the seconds are cut (not rounded) to hundredths, so they never read 60.
std::string ConverterTimeText(const ConverterTime& t);
std::string ComputerTimeText(const WallTime& t);

}  // namespace tessvar
