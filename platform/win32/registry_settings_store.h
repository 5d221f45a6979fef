#pragma once
// The per-user settings store as the Windows registry under HKEY_CURRENT_USER. String
// values travel as Windows-1251 bytes (as the store's callers hold them) and are kept in
// the registry as the Unicode text those bytes mean, whatever the system's ANSI code page:
// "НЕТ" written as CD C5 D2 00 reads back as the same bytes and shows as "НЕТ" in regedit.
#include <memory>
#include <string_view>

#include "platform/settings_store.h"

namespace tessvar {

class RegistrySettingsStore : public SettingsStore {
 public:
  std::unique_ptr<SettingsKey> OpenOrCreateKey(std::string_view path) override;

  // Values larger than this are refused rather than read.
  static constexpr size_t kMaxValueBytes = 64 * 1024;
};

}  // namespace tessvar
