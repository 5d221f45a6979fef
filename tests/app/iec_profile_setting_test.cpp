#include "app/iec_profile_setting.h"

#include <gtest/gtest.h>

#include "acquisition/iec_profile_status.h"
#include "app/stored_port.h"
#include "tests/app/memory_settings_store.h"

namespace tessvar::test {
namespace {

TEST(IecProfileSetting, ReadFromTheStoreOrTheTransducer) {
  struct Case {
    const char* name;
    std::optional<MemorySettingsStore::Value> value;
    IecProfile profile;
  };
  auto text = [](std::string_view s, bool terminated = true) {
    std::vector<uint8_t> d(s.begin(), s.end());
    if (terminated) d.push_back(0);
    return MemorySettingsStore::Value{StoreValueType::String, d};
  };
  const Case cases[] = {
      {"missing", std::nullopt, IecProfile::Transducer},
      {"standard", text("standard"), IecProfile::Standard},
      {"transducer", text("transducer"), IecProfile::Transducer},
      {"upper case", text("STANDARD"), IecProfile::Transducer},
      {"trailing blank", text("standard "), IecProfile::Transducer},
      {"list text in cp1251", text("\xD1\xF2\xE0\xED\xE4\xE0\xF0\xF2"), IecProfile::Transducer},
      {"unterminated", text("standard", false), IecProfile::Transducer},
      {"too long to read", text("standardstandardstandard"), IecProfile::Transducer},
      {"a number", MemorySettingsStore::Value{StoreValueType::Dword, {1, 0, 0, 0}},
       IecProfile::Transducer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore store;
    if (c.value) store.keys[std::string(kStoredPortKey)][std::string(kIecProfileValue)] = *c.value;
    EXPECT_EQ(ReadIecProfile(store), c.profile);
    EXPECT_EQ(store.writes, 0);
    EXPECT_EQ(store.openKeys, 0);
  }
  MemorySettingsStore closed;
  closed.refuseOpen = true;
  EXPECT_EQ(ReadIecProfile(closed), IecProfile::Transducer);
  EXPECT_FALSE(WriteIecProfile(closed, IecProfile::Standard));
}

TEST(IecProfileSetting, WrittenAsTheTerminatedWordAndReadBack) {
  for (IecProfile p : {IecProfile::Standard, IecProfile::Transducer}) {
    MemorySettingsStore store;
    ASSERT_TRUE(WriteIecProfile(store, p));
    const auto& v = store.keys[std::string(kStoredPortKey)][std::string(kIecProfileValue)];
    const std::string_view word = IecProfileWord(p);
    std::vector<uint8_t> want(word.begin(), word.end());
    want.push_back(0);
    EXPECT_EQ(v.type, StoreValueType::String);
    EXPECT_EQ(v.data, want);
    EXPECT_EQ(ReadIecProfile(store), p);
  }
}

TEST(IecProfileSetting, StartStatusNamesOnlyTheStandardProfileOfAnIecRun) {
  struct Case {
    ProtocolKind protocol;
    IecProfile profile;
    std::string text;
  };
  const Case cases[] = {
      {ProtocolKind::Iec101, IecProfile::Transducer, "Запрос данных"},
      {ProtocolKind::Iec101, IecProfile::Standard, "Запрос данных (Стандарт МЭК)"},
      {ProtocolKind::Iec104, IecProfile::Standard, "Запрос данных (Стандарт МЭК)"},
      {ProtocolKind::ModbusRtu, IecProfile::Standard, "Запрос данных"},
  };
  for (const Case& c : cases) {
    ConnectionSettings s;
    s.protocol = c.protocol;
    s.iecProfile = c.profile;
    EXPECT_EQ(RunStartStatusText(s), c.text);
  }
}

}  // namespace
}  // namespace tessvar::test
