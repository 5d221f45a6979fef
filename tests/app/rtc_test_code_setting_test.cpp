#include "app/rtc_test_code_setting.h"

#include <gtest/gtest.h>

#include "app/stored_port.h"
#include "tests/app/memory_settings_store.h"

namespace tessvar::test {
namespace {

TEST(RtcTestCodeSetting, ReadFromTheStoreOrTheDefault) {
  struct Case {
    const char* name;
    std::optional<MemorySettingsStore::Value> value;
    std::string code;
  };
  auto text = [](std::string_view s, bool terminated = true) {
    std::vector<uint8_t> d(s.begin(), s.end());
    if (terminated) d.push_back(0);
    return MemorySettingsStore::Value{StoreValueType::String, d};
  };
  const Case cases[] = {
      {"missing", std::nullopt, "TV"},
      {"stored", text("QZ"), "QZ"},
      {"lower case", text("qz"), "TV"},
      {"three letters", text("QZX"), "TV"},
      {"one letter", text("Q"), "TV"},
      {"not a letter", text("Q1"), "TV"},
      {"cyrillic bytes", text("\xC0\xC1"), "TV"},
      {"unterminated", text("QZ", false), "TV"},
      {"too long to read", text("QZQZQZQZQZ"), "TV"},
      {"a number", MemorySettingsStore::Value{StoreValueType::Dword, {0x51, 0x5A, 0, 0}}, "TV"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore store;
    if (c.value) store.keys[std::string(kStoredPortKey)][std::string(kRtcTestCodeValue)] = *c.value;
    EXPECT_EQ(ReadRtcTestCode(store), c.code);
    EXPECT_EQ(store.writes, 0);
    EXPECT_EQ(store.openKeys, 0);
  }
  MemorySettingsStore closed;
  closed.refuseOpen = true;
  EXPECT_EQ(ReadRtcTestCode(closed), "TV");
}

}  // namespace
}  // namespace tessvar::test
