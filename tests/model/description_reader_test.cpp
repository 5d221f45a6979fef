#include <gtest/gtest.h>

#include "model/device_description.h"
#include "tools/make_samples/description_writer.h"

namespace tessvar {
namespace {

using samples::AppendText;
using samples::DescriptionLayout;
using samples::RecordLayout;
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

namespace tessvar {
namespace {

DescriptionLayout TwoQuantities() {
  DescriptionLayout s;
  s.records = {{"Напряжение (Udc1)", "0x000001", "2", 0, "10"}, {"Ток (Idc1)", "0x000002", "2", 0, "1000"}};
  return s;
}

DescriptionLoad LoadSpec(const DescriptionLayout& s, const DeviceDescription& previous = {}) {
  const auto bytes = samples::WriteDescription(s);
  return Load(bytes, DisplayMode::PhysicalUnits, previous);
}

TEST(DescriptionReader, RecordsFlagsAndNames) {
  DescriptionLayout s;
  s.records = {
      {"Пропуск (Udc2)", "0x000007", "2", 1, "7"},  // flag set: only its divisor counts
      {"Без адреса (Udc1)", "zz", "2", 0, "10"},
      {"Q'Q' (Idc1)", "0x000009", "2", 0, "1000"},
  };
  const auto r = LoadSpec(s);
  ASSERT_FALSE(r.error);
  const auto& d = r.description;
  ASSERT_EQ(d.entries.size(), 2u);
  EXPECT_EQ(d.divisors, (std::vector<std::string>{"7", "10", "1000"}));
  EXPECT_EQ(d.firstAddress, 0u);  // the first flag-0 record sets it, even without digits
  EXPECT_EQ(d.entries[1].name, "Qf" "Q' (Idc1)");
  EXPECT_EQ(r.entryRecord, (std::vector<int>{1, 2}));
  EXPECT_FALSE(r.marks->Available(21));
  EXPECT_TRUE(r.marks->Available(0));
}

TEST(DescriptionReader, NoEntries) {
  DescriptionLayout s;
  s.records = {{"(Udc1)", "1", "2", 5, "1"}};
  const auto r = LoadSpec(s);
  ASSERT_FALSE(r.error);
  EXPECT_TRUE(r.description.entries.empty());
  EXPECT_EQ(r.description.firstAddress, kNoFirstAddress);
  for (int i = 0; i < kCatalogueSlots; ++i) EXPECT_FALSE(r.marks->Available(i));
  EXPECT_TRUE(r.marks->Available(50));
}

TEST(DescriptionReader, EveryLengthForm) {
  for (auto form : {TextForm::Byte, TextForm::Word, TextForm::Dword, TextForm::Qword, TextForm::Utf16}) {
    DescriptionLayout s = TwoQuantities();
    for (auto& rec : s.records) rec.form = form;
    const auto r = LoadSpec(s);
    ASSERT_FALSE(r.error) << static_cast<int>(form);
    ASSERT_EQ(r.description.entries.size(), 2u);
    EXPECT_EQ(r.description.entries[0].name, "Напряжение (Udc1)");
    EXPECT_EQ(r.description.entries[1].address, "0x000002");
    EXPECT_EQ(r.description.divisors[1], "1000");
    EXPECT_EQ(r.protocolText, "MODBUS RTU");
  }
}

TEST(DescriptionReader, Utf16OutsideTheCodePageBecomesQuestionMarks) {
  auto bytes = samples::WriteDescription(DescriptionLayout{});
  // Replace the empty record list by one record whose name is UTF-16 "中(Udc1)".
  std::vector<uint8_t> f(bytes.begin(), bytes.begin() + 80);
  f.push_back(1);
  const uint8_t name[] = {0xFF, 0xFE, 0xFF, 7, 0x2D, 0x4E, '(', 0, 'U', 0, 'd', 0, 'c', 0, '1', 0, ')', 0};
  f.insert(f.end(), std::begin(name), std::end(name));
  AppendText(f, "1");
  AppendText(f, "2");
  f.insert(f.end(), 4, 0);
  AppendText(f, "1");
  f.insert(f.end(), bytes.begin() + 81, bytes.end());
  const auto r = Load(f);
  ASSERT_FALSE(r.error);
  ASSERT_EQ(r.description.entries.size(), 1u);
  EXPECT_EQ(r.description.entries[0].name, "?(Udc1)");
}

// Files whose text lengths cannot be right are refused before anything is allocated.
TEST(DescriptionReader, LengthsAreNotTrusted) {
  const auto good = samples::WriteDescription(TwoQuantities());
  struct Case {
    const char* what;
    std::vector<uint8_t> lengthBytes;
    LoadErrorKind kind;
  } cases[] = {
      {"byte length past the end", {200}, LoadErrorKind::EndOfFile},
      {"word length past the end", {0xFF, 0xF0, 0xFF}, LoadErrorKind::EndOfFile},
      {"dword length near 4 GiB", {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF}, LoadErrorKind::EndOfFile},
      {"qword length of 2^31", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 0},
       LoadErrorKind::BadTextLength},
      {"qword length of 2^63", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0x80},
       LoadErrorKind::BadTextLength},
      {"qword length within bounds but past the end",
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x7F, 0, 0, 0, 0}, LoadErrorKind::EndOfFile},
      {"UTF-16 length past the end", {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, LoadErrorKind::EndOfFile},
      {"two UTF-16 markers", {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 2}, LoadErrorKind::BadTextLength},
      {"marker cut off", {0xFF, 0xFE}, LoadErrorKind::EndOfFile},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> f(good.begin(), good.begin() + 81);  // up to the first name
    f.insert(f.end(), c.lengthBytes.begin(), c.lengthBytes.end());
    const auto r = Load(f);
    ASSERT_TRUE(r.error) << c.what;
    EXPECT_EQ(r.error->kind, c.kind) << c.what;
    EXPECT_EQ(r.error->offset, 81u) << c.what;
    EXPECT_EQ(r.error->message, c.kind == LoadErrorKind::EndOfFile ? kEndOfFileMessage : kBadFormatMessage);
  }
}

TEST(DescriptionReader, RecordCountRunningPastTheEnd) {
  auto f = samples::WriteDescription(TwoQuantities());
  f[80] = 250;
  const auto r = Load(f);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->kind, LoadErrorKind::EndOfFile);
  EXPECT_TRUE(r.description.entries.empty());
}

// A file cut before the protocol code must not leave a mix of the old and the new file.
TEST(DescriptionReader, FailedLoadLeavesNoEntries) {
  DeviceDescription previous;
  previous.fileName = "old.dat";
  previous.entries = {{"(Udc2)", "0x10", "2"}};
  previous.divisors = {"1"};
  previous.groupCodes = {21};
  previous.protocolCode = 255;
  auto f = samples::WriteDescription(TwoQuantities());
  // After the variant: protocol code, sizes, high byte, 2, groups, 10, rated, 18, 4 per
  // rated, 3, network code, 18, empty marker.
  const size_t variantAt = f.size() - (1 + 4 + 1 + 2 + 2 + 10 + 8 + 18 + 8 + 3 + 1 + 18 + 1) - 1;
  ASSERT_EQ(f[variantAt - 2], 0x85);  // serial settings byte
  f.resize(variantAt);                 // ends before the device variant
  const auto r = Load(f, DisplayMode::PhysicalUnits, previous);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->message, "Attempted to access an unnamed file past its end.");
  EXPECT_EQ(r.error->offset, variantAt);
  EXPECT_TRUE(r.description.entries.empty());
  EXPECT_TRUE(r.description.divisors.empty());
  EXPECT_TRUE(r.description.groupCodes.empty());
  EXPECT_EQ(r.description.fileName, "x.dat");
  EXPECT_FALSE(r.marks);  // marks and title stay as they were
  EXPECT_EQ(r.deviceAddress, 1);  // what was read before the cut still applies
  EXPECT_TRUE(r.serial);
  EXPECT_FALSE(r.protocolStep);
}

TEST(DescriptionReader, EndRightAfterTheDeviceVariant) {
  DeviceDescription previous;
  previous.protocolCode = 1;
  auto f = samples::WriteDescription(TwoQuantities());
  const auto full = Load(f);
  ASSERT_FALSE(full.error);
  // The protocol code sits right after the variant; find it from the reference load.
  f.resize(f.size() - (1 + 4 + 1 + 2 + 2 + 10 + 8 + 18 + 8 + 3 + 1 + 18 + 1));
  const auto r = Load(f, DisplayMode::PhysicalUnits, previous);
  ASSERT_FALSE(r.error);
  ASSERT_TRUE(r.quietEnd);
  EXPECT_EQ(r.quietEnd->section, ReadSection::ProtocolCode);
  EXPECT_EQ(r.quietEnd->offset, f.size());
  EXPECT_EQ(r.description.entries.size(), 2u);
  EXPECT_EQ(r.description.protocolCode, 1);  // not given: the previous one stays
  EXPECT_EQ(r.deviceAddress, 1);
  EXPECT_TRUE(r.addressToBox);  // the address the file holds is the one the run polls
  EXPECT_FALSE(r.iecSizes);
  EXPECT_FALSE(r.protocolStep);
  EXPECT_FALSE(r.nominals);
  EXPECT_FALSE(r.network);
  ASSERT_TRUE(r.marks);
  EXPECT_TRUE(r.marks->Available(0));
}

TEST(DescriptionReader, RatedValues) {
  struct Case {
    std::string name;
    std::array<uint8_t, 4> raw;
    std::vector<NominalAction> actions;
  } cases[] = {
      {"(Udc1)", samples::EncodeRatedValue(30, 4, 0), {{NominalAction::Kind::VoltageSelect, 1, "30", true}}},
      {"(Udc1)", samples::EncodeRatedValue(60, 4, 0), {{NominalAction::Kind::VoltageSelect, 1, "60", true}}},
      {"(Udc2)", samples::EncodeRatedValue(300, 4, 0), {{NominalAction::Kind::VoltageSelect, 2, "300", false}}},
      {"(Udc1)", samples::EncodeRatedValue(100, 4, 0), {{NominalAction::Kind::VoltageSelect, 1, "100", false}}},
      {"(Idc1)", {0, 0, 22, 4}, {{NominalAction::Kind::CurrentText, 1, "0.005", false}}},
      {"(Idc2)", {0, 0, 22, 0x0C}, {{NominalAction::Kind::CurrentText, 2, "5.000", false}}},
      {"(Idc1)", {0, 0, 22, 0x24}, {{NominalAction::Kind::CurrentText, 1, "5.000", false}}},
      {"(Idc1)", {0x01, 0x00, 0x00, 2}, {{NominalAction::Kind::CurrentText, 1, "0.150", false}}},  // x=15000, d=2
      {"(Udc1) (Idc2)", {0, 0, 22, 0x0C},
       {{NominalAction::Kind::VoltageSelect, 1, "5", false}, {NominalAction::Kind::CurrentText, 2, "5.000", false}}},
      {"(Udc1)", {0, 0, 22, 5}, {}},  // decimal codes 5..7 are refused
      {"(Idc1)", {0xFF, 0xFF, 0xFF, 7}, {}},
      {"(Pdc1)", samples::EncodeRatedValue(75, 4, 0), {}},
  };
  for (const auto& c : cases) {
    DescriptionLayout s;
    s.records = {{"Время (tms)", "0x10", "2", 0, "1"}, {c.name, "0x11", "2", 0, "1"}};
    s.ratedValues = {c.raw};
    const auto r = LoadSpec(s);
    ASSERT_FALSE(r.error) << c.name;
    EXPECT_EQ(r.ratedActions, c.actions) << c.name << " " << int{c.raw[3]};
    EXPECT_FALSE(r.quietEnd);
  }
}

TEST(DescriptionReader, DecodeRatedValueExamples) {
  const std::array<uint8_t, 4> volt = {0, 1, 0x48, 4};
  EXPECT_EQ(DecodeRatedValue(volt, false), 75.0);
  const std::array<uint8_t, 4> big = {0xFF, 0xFF, 0xFF, 0};  // the product wraps at 32 bits
  EXPECT_DOUBLE_EQ(*DecodeRatedValue(big, false), ((0xFFFFFFu * 15000u) >> 16) / 10000.0);
}

TEST(DescriptionReader, DateColumns) {
  struct Case {
    std::vector<RecordLayout> records;
    std::vector<DescriptionEntry> expected;
  } cases[] = {
      {{{"(Udc1)", "0x1", "2"}, {"Время (ty)", "0x10", "2"}},
       {{"(Udc1)", "0x1", "2"}, {"Время (tmd)", "0x10", "2"}, {"Время (ty)", "0x000011", "2"}}},
      {{{"Time (ty)", "0xFFFFFF", "258"}},
       {{"Время (tmd)", "0xFFFFFF", "2"}, {"Time (ty)", "0x1000000", "258"}}},
      {{{"Время (ty)", "0x10", "1"}}, {{"Время (ty)", "0x10", "1"}}},
      {{{"Time (tmd)", "0x0F", "2"}, {"Время (ty)", "0x10", "2"}},
       {{"Time (tmd)", "0x0F", "2"}, {"Время (ty)", "0x10", "2"}}},
  };
  for (const auto& c : cases) {
    DescriptionLayout s;
    s.records = c.records;
    s.groupCodes = {21, 22};
    const auto r = LoadSpec(s);
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.description.entries, c.expected);
    EXPECT_EQ(r.dateColumnInserted, c.expected.size() != c.records.size());
    if (r.dateColumnInserted) {
      EXPECT_EQ(r.description.groupCodes.back(), kGeneralInterrogation);
      EXPECT_EQ(r.description.groupCodes.size(), r.description.entries.size());
      EXPECT_EQ(r.entryRecord.size(), r.description.entries.size());
    }
  }
}

TEST(DescriptionReader, ProtocolAndNetworkCodes) {
  struct Case {
    uint8_t code;
    uint8_t netCode;
    bool network;
    std::optional<std::string> serialText;
    std::optional<std::string> netText;
  } cases[] = {
      {0, 2, false, "MODBUS RTU", std::nullopt},
      {1, 2, false, "МЭК-101", std::nullopt},
      {255, 2, false, "MODBUS ASCII", std::nullopt},
      {7, 2, false, std::nullopt, std::nullopt},
      {0, 0, true, "MODBUS RTU", "MODBUS TCP/IP"},
      {1, 255, true, "МЭК-101", "MODBUS TCP/IP"},
      {1, 1, true, "МЭК-101", "МЭК-104"},
      {0, 9, true, "MODBUS RTU", std::nullopt},
  };
  for (const auto& c : cases) {
    DescriptionLayout s = TwoQuantities();
    s.protocolCode = c.code;
    s.networkCode = c.netCode;
    if (c.network) s.network = samples::NetworkSpec{0xC0A8000A, 502, "xxIPconf:yy"};
    const auto r = LoadSpec(s);
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.protocolText, c.serialText);
    ASSERT_EQ(r.network.has_value(), c.network);
    if (!c.network) continue;
    EXPECT_EQ(r.network->protocolText, c.netText);
    EXPECT_EQ(r.network->ipAddress, 0xC0A8000Au);
    EXPECT_EQ(r.network->tcpPort, 502);
    EXPECT_TRUE(r.network->tcpPortGiven);
  }
}

TEST(DescriptionReader, NetworkBytesOnTheWire) {
  DescriptionLayout s = TwoQuantities();
  s.network = samples::NetworkSpec{0xC0A8000A, 502, "IPconf:"};
  const auto f = samples::WriteDescription(s);
  // The IP address and port at the end as the transducer's tools store them.
  const std::vector<uint8_t> ip = {0x0A, 0x00, 0xA8, 0xC0};
  EXPECT_TRUE(std::equal(ip.begin(), ip.end(), f.end() - 18));
  EXPECT_EQ(f[f.size() - 2], 0xF6);
  EXPECT_EQ(f[f.size() - 1], 0x01);
  s.network->marker = "IPconf";  // lacks the colon: no network section is taken
  EXPECT_FALSE(LoadSpec(s).network);
}

TEST(DescriptionReader, SerialSettingsByte) {
  struct Case {
    uint8_t b;
    const char* text;
  } cases[] = {
      {0x85, "9600,НЕТ,8,1"}, {0x12, "1200,НЕТ,7,2"}, {0x4A, "64000,ЧЕТ,7,1"}, {0x6B, ",НЕЧЕТ,7,1"},
      {0x20, ",НЕТ,7,1"},     {0xF7, "19200,НЕЧЕТ,8,2"},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildSerialSettingsText(DecodeSerialSettingsByte(c.b)), c.text);
}

TEST(DescriptionReader, GroupCodesAndSizesInFileOrder) {
  DescriptionLayout s = TwoQuantities();
  s.groupCodes = {21, 36};
  s.iecSizes = {2, 3, 17, 2};
  s.deviceAddress = 0x1234;
  const auto r = LoadSpec(s);
  EXPECT_EQ(r.description.groupCodes, (std::vector<uint8_t>{21, 36}));
  EXPECT_EQ(r.iecSizes, (IecFieldSizes{2, 3, 2, 17}));
  EXPECT_EQ(r.deviceAddress, 0x1234);
  EXPECT_EQ(r.description.GroupCode(5), kGeneralInterrogation);
}

TEST(DescriptionRules, ParseHexAddress) {
  struct Case {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"0x000010", 0x10}, {"  1A", 0x1A},       {"0X1f", 0x1F},         {"+10", 0x10},
      {"-1", 0xFFFFFFFF}, {"", 0},              {"zz", 0},              {"0x", 0},
      {"0xg", 0},         {"12g4", 0x12},       {"FFFFFFFF", 0xFFFFFFFF}, {"123456789", 0xFFFFFFFF},
      {"\t\n7", 7},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseHexAddress(c.text), c.value) << c.text;
  EXPECT_EQ(FormatHexAddress(0x11), "0x000011");
  EXPECT_EQ(FormatHexAddress(0xABCDEF12), "0xABCDEF12");
  EXPECT_EQ(ParseDecimalInt(" -12x"), -12);
  EXPECT_EQ(ParseDecimalInt("99999999999"), 2147483647);
  EXPECT_EQ(FormatFixed(0.0005, 3), "0.001");
  EXPECT_EQ(FormatFixed(74.5, 0), "74");  // round half to even, as printf does
}

TEST(DescriptionRules, TitleAndMarks) {
  EXPECT_EQ(DescriptionTitle("Tessvar", "a.dat"), "Tessvar (a.dat)");
  const std::string once = DescriptionTitle("Tessvar", "a.dat");
  EXPECT_EQ(DescriptionTitle(once, "a.dat"), once);
  EXPECT_EQ(DescriptionTitle("Окно (старое)", "b.dat"), "Окно (b.dat)");
  EXPECT_EQ(DescriptionTitle("Окно(x)", "b.dat"), "Окн (b.dat)");  // the character before "(" goes
  EXPECT_EQ(DescriptionTitle("(x)", "b.dat"), "(x) (b.dat)");

  DeviceDescription d;
  for (int k = 0; k < kCatalogueSlots; ++k) {
    d.entries.push_back({"(" + std::string(CatalogueTable()[static_cast<size_t>(k)].name) + ")", "1", "2"});
  }
  d.deviceVariant = kDeviceVariantReduced;
  const auto m = ComputeAvailabilityMarks(d, AvailabilityMarks{});
  const std::vector<int> kept = {4, 5, 6, 8, 9, 10, 14, 18, 22, 26, 28, 29, 38, 39, 40, 41, 42, 43, 44};
  for (int k = 0; k < kCatalogueSlots; ++k) {
    const bool expectKept = std::find(kept.begin(), kept.end(), k) != kept.end();
    // Second halves of counters are never found by name, so they stay clear.
    const bool secondHalf = k > 0 && CatalogueTable()[static_cast<size_t>(k)].name ==
                                         CatalogueTable()[static_cast<size_t>(k - 1)].name;
    EXPECT_EQ(m.Available(k), expectKept && !secondHalf) << k;
  }
}

}  // namespace
}  // namespace tessvar

namespace tessvar {
namespace {

// Where a file that ends after the device variant stops, and what it still gives.
TEST(DescriptionReader, QuietEnds) {
  DescriptionLayout s = TwoQuantities();
  s.ratedValues = {samples::EncodeRatedValue(75, 4, 0), samples::EncodeRatedValue(5, 4, 1)};
  s.network = samples::NetworkSpec{0x7F000001, 1502, "IPconf:"};
  const auto full = samples::WriteDescription(s);
  const size_t tail = 1 + 4 + 1 + 2 + 2 + 10 + 8 + 18 + 8 + 3 + 1 + 16 + 2 + 8 + 4 + 12 + 2;
  const size_t base = full.size() - tail;  // offset of the protocol code
  struct Case {
    size_t cut;  // bytes kept after the device variant
    ReadSection section;
    size_t groupCodes;
    size_t actions;
    bool protocolStep;
    bool nominals;
    bool network;
  } cases[] = {
      {0, ReadSection::ProtocolCode, 0, 0, false, false, false},
      {3, ReadSection::IecSizes, 0, 0, false, false, false},
      {5, ReadSection::AddressHigh, 0, 0, false, false, false},
      {7, ReadSection::GroupCodes, 0, 0, false, false, false},
      {9, ReadSection::GroupCodes, 1, 0, false, false, false},
      {15, ReadSection::RatedValues, 2, 0, true, false, false},
      {24, ReadSection::RatedValues, 2, 1, true, true, false},
      {40, ReadSection::NetworkProtocol, 2, 2, true, true, false},
      {70, ReadSection::NetworkMarker, 2, 2, true, true, false},
      {75, ReadSection::NetworkMarker, 2, 2, true, true, false},  // cut in the last 2 reserved
      {84, ReadSection::IpAddress, 2, 2, true, true, false},
      {90, ReadSection::TcpPort, 2, 2, true, true, true},
      {tail - 1, ReadSection::TcpPort, 2, 2, true, true, true},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(base + c.cut));
    const auto r = Load(part);
    ASSERT_FALSE(r.error) << c.cut;
    ASSERT_TRUE(r.quietEnd) << c.cut;
    EXPECT_EQ(r.quietEnd->section, c.section) << c.cut;
    EXPECT_EQ(r.description.groupCodes.size(), c.groupCodes) << c.cut;
    EXPECT_EQ(r.ratedActions.size(), c.actions) << c.cut;
    EXPECT_EQ(r.protocolStep, c.protocolStep) << c.cut;
    EXPECT_EQ(r.nominals.has_value(), c.nominals) << c.cut;
    EXPECT_EQ(r.network.has_value(), c.network) << c.cut;
    // The low byte of the address is always there by now, and it goes to the box.
    EXPECT_TRUE(r.addressToBox) << c.cut;
    if (r.network) {
      EXPECT_EQ(r.network->ipAddress, 0x7F000001u);
      EXPECT_FALSE(r.network->tcpPortGiven);
    }
  }
}

}  // namespace
}  // namespace tessvar
