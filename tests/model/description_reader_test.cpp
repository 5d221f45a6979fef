#include <gtest/gtest.h>

#include "model/device_description.h"
#include "tools/make_samples/description_writer.h"

namespace tessvar {
namespace {

using samples::AppendText;
using samples::DescriptionSpec;
using samples::RecordSpec;
using samples::TextForm;

std::vector<uint8_t> Hex(std::string_view hex) {
  std::vector<uint8_t> out;
  int hi = -1;
  for (char c : hex) {
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<uint8_t>(hi * 16 + v));
      hi = -1;
    }
  }
  return out;
}

// The complete RTU file with two quantities and the millisecond clock column.
std::vector<uint8_t> ReferenceFile() {
  std::vector<uint8_t> f(4 + 76, 0);
  f[14] = 0x88, f[15] = 0x13;               // nominal current 5000
  f[46] = 0xF8, f[47] = 0x24, f[48] = 0x01;  // nominal voltage 75000
  auto more = Hex(
      "03"
      "11 CD E0 EF F0 FF E6 E5 ED E8 E5 20 28 55 64 63 31 29"
      "08 30 78 30 30 30 30 30 31  01 32  00 00 00 00  02 31 30"
      "0A D2 EE EA 20 28 49 64 63 31 29"
      "08 30 78 30 30 30 30 30 32  01 32  00 00 00 00  04 31 30 30 30"
      "0B C2 F0 E5 EC FF 20 28 74 6D 73 29"
      "08 30 78 30 30 30 30 31 30  01 32  00 00 00 00  01 31"
      "01 85 00 00 00 01 02 10 01 00 00 00 14 14 14");
  f.insert(f.end(), more.begin(), more.end());
  f.insert(f.end(), 10, 0);
  auto rated = Hex("00 01 48 04 00 00 16 0C");
  f.insert(f.end(), rated.begin(), rated.end());
  f.insert(f.end(), 18 + 8 + 3, 0);
  f.push_back(0x02);
  f.insert(f.end(), 16 + 2, 0);
  f.push_back(0x00);  // empty network marker
  return f;
}

DescriptionLoad Load(std::span<const uint8_t> bytes, DisplayMode mode = DisplayMode::PhysicalUnits,
                     const DeviceDescription& previous = {}) {
  return ReadDeviceDescription(bytes, previous, LoadOptions{"x.dat", mode});
}

TEST(DescriptionReader, ReferenceFile) {
  const auto f = ReferenceFile();
  ASSERT_EQ(f.size(), 259u);
  const auto r = Load(f);
  ASSERT_FALSE(r.error);
  EXPECT_FALSE(r.quietEnd);
  const auto& d = r.description;
  ASSERT_EQ(d.entries.size(), 3u);
  EXPECT_EQ(d.entries[0], (DescriptionEntry{"Напряжение (Udc1)", "0x000001", "2"}));
  EXPECT_EQ(d.entries[1], (DescriptionEntry{"Ток (Idc1)", "0x000002", "2"}));
  EXPECT_EQ(d.entries[2], (DescriptionEntry{"Время (tms)", "0x000010", "2"}));
  EXPECT_EQ(d.divisors, (std::vector<std::string>{"10", "1000", "1"}));
  EXPECT_EQ(d.firstAddress, 1u);
  EXPECT_EQ(d.groupCodes, (std::vector<uint8_t>{20, 20, 20}));
  EXPECT_EQ(d.protocolCode, 0);
  EXPECT_EQ(r.deviceAddress, 1);
  EXPECT_TRUE(r.addressToBox);
  ASSERT_TRUE(r.serial);
  EXPECT_EQ(BuildSerialSettingsText(*r.serial), "9600,НЕТ,8,1");
  EXPECT_EQ(r.iecSizes, (IecFieldSizes{1, 2, 1, 16}));
  EXPECT_TRUE(r.protocolStep);
  EXPECT_EQ(r.protocolText, "MODBUS RTU");
  ASSERT_TRUE(r.nominals);
  EXPECT_EQ(r.nominals->voltageText, "100");
  EXPECT_EQ(r.nominals->currentText, "5");
  const std::vector<NominalAction> actions = {
      {NominalAction::Kind::VoltageSelect, 1, "75", false},
      {NominalAction::Kind::CurrentText, 1, "5.000", false},
  };
  EXPECT_EQ(r.ratedActions, actions);
  EXPECT_FALSE(r.network);
  ASSERT_TRUE(r.marks);
  for (int i = 0; i < kAvailabilityMarks; ++i) {
    EXPECT_EQ((*r.marks)[static_cast<size_t>(i)], (i == 0 || i == 1 || i == 43 || i >= 45) ? 1 : 0) << i;
  }
}

TEST(DescriptionReader, RawCodeTakesHeaderNominals) {
  const auto r = Load(ReferenceFile(), DisplayMode::RawCode);
  ASSERT_TRUE(r.nominals);
  EXPECT_EQ(r.nominals->voltageText, "75");
  EXPECT_EQ(r.nominals->currentText, "5");
}

}  // namespace
}  // namespace tessvar
