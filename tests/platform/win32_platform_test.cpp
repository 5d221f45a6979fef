// The Windows seams against the system itself (run under wine or on Windows): the registry
// through the raw Unicode API as the independent reader, COM port names from hand-written
// device lists, device paths and a port that is not there.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/stored_port.h"
#include "platform/win32/com_port_names.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_serial_port.h"

namespace tessvar {
namespace {

std::vector<char> DosList(std::initializer_list<std::string_view> names, bool finalZero = true) {
  std::vector<char> list;
  for (auto n : names) {
    list.insert(list.end(), n.begin(), n.end());
    list.push_back('\0');
  }
  if (finalZero) list.push_back('\0');
  if (!finalZero && !list.empty()) list.pop_back();  // the last name's zero is missing too
  return list;
}

TEST(ComPortNames, PicksSortsAndBoundsThePorts) {
  using V = std::vector<std::string>;
  struct Case {
    const char* name;
    std::vector<char> list;
    size_t maxLength;
    V expected;
  } cases[] = {
      {"Empty", DosList({}), 9, V{}},
      {"OrderedByNumber", DosList({"COM10", "LPT1", "COM2", "NUL", "COM1"}), 9, V{"COM1", "COM2", "COM10"}},
      {"AnyCaseShownUpper", DosList({"com3", "Com4"}), 9, V{"COM3", "COM4"}},
      {"NotPorts", DosList({"COM", "COM0", "COM01", "COM1X", "COMX", "COM1000", "XCOM1"}), 9, V{}},
      {"Repeats", DosList({"COM5", "COM5"}), 9, V{"COM5"}},
      {"TooLong", DosList({"COM9", "COM10"}), 4, V{"COM9"}},
      {"NoFinalZero", DosList({"COM7", "COM8"}, false), 9, V{"COM7", "COM8"}},
      {"StopsAtEmptyName", DosList({"COM1", "", "COM2"}), 9, V{"COM1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComPortNames(c.list, c.maxLength), c.expected);
  }
}

TEST(Win32SerialPort, DevicePathsAndAMissingPort) {
  EXPECT_EQ(Win32DevicePath("COM3"), "\\\\.\\COM3");
  EXPECT_EQ(Win32DevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(Win32DevicePath("\\\\.\\COM4"), "\\\\.\\COM4");
  auto port = MakeWin32SerialPort();
  EXPECT_FALSE(port->Open("COM250"));
  EXPECT_FALSE(port->IsOpen());
  EXPECT_FALSE(port->CurrentConfig().has_value());
  EXPECT_FALSE(port->Configure(SerialConfig{}));
  const uint8_t byte = 0x55;
  EXPECT_FALSE(port->Write(std::span(&byte, 1)));
  EXPECT_EQ(port->BytesQueued(), 0u);
}

// Redirects HKEY_CURRENT_USER of this process to a fresh key, removed afterwards.
class ScratchRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = L"Software\\TessvarTest\\" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &scratch_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(scratch_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  std::wstring ReadWide(const wchar_t* key, const wchar_t* value, DWORD& type) {
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_ANY | RRF_NOEXPAND, &type, buffer, &size) !=
        ERROR_SUCCESS)
      return L"<missing>";
    return std::wstring(buffer, size / sizeof(wchar_t));
  }
  void WriteWide(const wchar_t* value, DWORD type, std::wstring_view data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Dorvaint", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, value, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  std::wstring path_;
  HKEY scratch_ = nullptr;
};

TEST_F(ScratchRegistry, StoredPortIsCyrillicTextInTheRegistry) {
  RegistrySettingsStore store;
  // First start: the key and "НЕТ" are created, as text any registry reader shows as such.
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
  DWORD type = 0;
  EXPECT_EQ(ReadWide(L"Software\\Dorvaint", L"COM port", type), std::wstring(L"\u041D\u0415\u0422\0", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  auto key = store.OpenOrCreateKey("Software\\Dorvaint");
  ASSERT_TRUE(key);
  const StoreRead read = key->Query("COM port", 10);
  EXPECT_EQ(read.status, StoreStatus::Ok);
  EXPECT_EQ(read.type, StoreValueType::String);
  EXPECT_EQ(read.data, (std::vector<uint8_t>{0xCD, 0xC5, 0xD2, 0x00}));
  EXPECT_EQ(read.storedSize, 4u);
}

// (An unterminated string is left out: whether the registry adds the zero itself differs
// between Windows and wine; the rule is covered against the in-memory store.)
TEST_F(ScratchRegistry, ValuesPutThereByOthers) {
  struct Case {
    const char* name;
    DWORD type;
    std::wstring data;
    std::string port;
  } cases[] = {
      {"Present", REG_SZ, std::wstring(L"COM3\0", 5), "COM3"},
      {"NineCharacters", REG_SZ, std::wstring(L"COM123456\0", 10), "COM123456"},
      {"TenCharactersReplaced", REG_SZ, std::wstring(L"COM1234567\0", 11), "НЕТ"},
      {"NumericReplaced", REG_DWORD, std::wstring(L"\x0003\0", 2), "НЕТ"},
      {"Empty", REG_SZ, std::wstring(L"\0", 1), ""},
      {"Cyrillic", REG_SZ, std::wstring(L"\u041F\u041E\u0420\u0422\0", 5), "ПОРТ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWide(L"COM port", c.type, c.data);
    RegistrySettingsStore store;
    EXPECT_EQ(ReadStoredPort(store, "НЕТ"), c.port);
  }
}

TEST_F(ScratchRegistry, LargeValueIsReportedNotCopied) {
  WriteWide(L"big", REG_SZ, std::wstring(L"0123456789ABCDEF\0", 17));
  RegistrySettingsStore store;
  auto key = store.OpenOrCreateKey("Software\\Dorvaint");
  ASSERT_TRUE(key);
  const StoreRead read = key->Query("big", 10);
  EXPECT_EQ(read.status, StoreStatus::MoreData);
  EXPECT_TRUE(read.data.empty());
  EXPECT_EQ(read.storedSize, 17u);
  EXPECT_EQ(key->Query("absent", 10).status, StoreStatus::NotFound);
}

}  // namespace
}  // namespace tessvar
