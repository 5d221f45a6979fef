#include "platform/win32/registry_settings_store.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace tessvar {
namespace {

constexpr UINT kCodePage = 1251;

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::vector<uint8_t> Narrow(const wchar_t* text, size_t units) {
  if (units == 0) return {};
  const int n = WideCharToMultiByte(kCodePage, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
  std::vector<uint8_t> bytes(static_cast<size_t>(n));
  WideCharToMultiByte(kCodePage, 0, text, static_cast<int>(units), reinterpret_cast<char*>(bytes.data()),
                      n, nullptr, nullptr);
  return bytes;
}

class RegistryKey final : public SettingsKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() override { RegCloseKey(key_); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  StoreRead Query(std::string_view valueName, size_t bufferSize) override {
    StoreRead result;
    const std::wstring name = Widen(valueName);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
      result.status = StoreStatus::NotFound;
      return result;
    }
    if (status != ERROR_SUCCESS || size > RegistrySettingsStore::kMaxValueBytes) return result;
    std::vector<uint8_t> raw(size);
    status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, raw.data(), &size);
    if (status != ERROR_SUCCESS) return result;  // changed between the two reads
    raw.resize(size);
    std::vector<uint8_t> data = raw;
    if (IsText(type)) {
      // Whole UTF-16 units only: an odd trailing byte is not part of any character.
      std::wstring wide(raw.size() / 2, L'\0');
      std::memcpy(wide.data(), raw.data(), wide.size() * sizeof(wchar_t));
      data = Narrow(wide.data(), wide.size());
    }
    result.type = static_cast<StoreValueType>(type);
    result.storedSize = data.size();
    if (data.size() > bufferSize) {
      result.status = StoreStatus::MoreData;
      return result;
    }
    result.status = StoreStatus::Ok;
    result.data = std::move(data);
    return result;
  }

  bool SetValue(std::string_view valueName, StoreValueType type, std::span<const uint8_t> data) override {
    const std::wstring name = Widen(valueName);
    const auto regType = static_cast<DWORD>(type);
    if (IsText(regType)) {
      const std::wstring wide =
          Widen(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
      return RegSetValueExW(key_, name.c_str(), 0, regType, reinterpret_cast<const BYTE*>(wide.data()),
                            static_cast<DWORD>(wide.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    return RegSetValueExW(key_, name.c_str(), 0, regType, data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

}  // namespace

std::unique_ptr<SettingsKey> RegistrySettingsStore::OpenOrCreateKey(std::string_view path) {
  const std::wstring wide = Widen(path);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<RegistryKey>(key);
}

}  // namespace tessvar
