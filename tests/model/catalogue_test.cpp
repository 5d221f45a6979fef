#include "model/catalogue.h"
#include "model/connection_settings.h"

#include <gtest/gtest.h>

namespace tessvar {
namespace {

TEST(Catalogue, FindSlot) {
  struct Case {
    std::string_view name;
    std::optional<int> slot;
  } cases[] = {
      {"Напряжение (Udc1)", 0},
      {"Энергия (Wdc1)", 3},
      {"Ток (Iac1)", 8},
      {"(Wacdc1)", 19},
      {"(Udc1a)", std::nullopt},
      {"(Udc1a) (Idc1)", 1},
      {"Частота (f1)", std::nullopt},
      {"Частота (f1 )", 15},
      {"(f2 )", 36},
      {"Время (tms)", 43},
      {"Время (thm)", 44},
      {"Время (tmd)", std::nullopt},
      {"Время (ty)", std::nullopt},
      {"ETA)", 42},
      {"(ETA", std::nullopt},  // the name ends right after the slot name
      {"Udc1", std::nullopt},
      {"", std::nullopt},
      {"(Udc1 (Udc1)", std::nullopt},  // only the first occurrence counts
      {"(Pdc2)(Wdc2)", 23},
  };
  for (const auto& c : cases) EXPECT_EQ(FindCatalogueSlot(c.name), c.slot) << c.name;
}

TEST(Catalogue, TableShape) {
  MeasurementCatalogue cat;
  ASSERT_EQ(cat.Size(), kCatalogueSlots);
  EXPECT_EQ(cat.Name(15), "f1 ");
  EXPECT_EQ(cat.Name(36), "f2 ");
  EXPECT_EQ(cat.Name(42), "ETA");
  EXPECT_EQ(cat.Slot(44).valueBox, 1096);
  // Every 32-bit quantity spans two slots with the same name; only the first is found.
  for (int k = 0; k < kCatalogueSlots; ++k) {
    if (cat.Slot(k).widthBits == 32 && (k == 0 || cat.Name(k - 1) != cat.Name(k))) {
      ASSERT_LT(k + 1, kCatalogueSlots);
      EXPECT_EQ(cat.Name(k + 1), cat.Name(k));
      EXPECT_EQ(FindCatalogueSlot("(" + std::string(cat.Name(k)) + ")"), k);
    }
  }
  AvailabilityMarks marks;
  for (int i = 0; i < kAvailabilityMarks; ++i) EXPECT_TRUE(marks.Available(i));
}

TEST(ConnectionSettings, MaskDeviceAddress) {
  struct Case {
    ProtocolKind p;
    uint8_t size;
    uint32_t in;
    uint16_t out;
  } cases[] = {
      {ProtocolKind::ModbusRtu, 1, 300, 44},  {ProtocolKind::Iec104, 1, 300, 300},
      {ProtocolKind::Iec101, 2, 300, 300},    {ProtocolKind::Iec101, 1, 300, 44},
      {ProtocolKind::NoProtocol, 2, 300, 44}, {ProtocolKind::ModbusTcp, 2, 0x1FFFF, 0xFF},
      {ProtocolKind::Iec104, 1, 0x12345, 0x2345},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskDeviceAddress(c.in, c.p, c.size), c.out);
}

TEST(ConnectionSettings, DefaultsAndSerialText) {
  ConnectionSettings s;
  EXPECT_EQ(BuildSerialSettingsText(s.serial), "9600,НЕТ,7,2");
  SerialParameters p{"", "ЧЕТ", "8", "1"};
  EXPECT_EQ(BuildSerialSettingsText(p), ",ЧЕТ,8,1");
  EXPECT_EQ(s.iecSizes, (IecFieldSizes{1, 2, 1, 16}));
  EXPECT_EQ(s.nominals.channel[1].voltage, "30");
  EXPECT_EQ(s.nominals.channel[1].current, "75");
  EXPECT_EQ(ProtocolText(ProtocolKind::Iec101), "МЭК-101");
  EXPECT_EQ(ProtocolFromText("MODBUS TCP/IP"), ProtocolKind::ModbusTcp);
}

}  // namespace
}  // namespace tessvar
