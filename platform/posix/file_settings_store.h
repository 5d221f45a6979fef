#pragma once
// The per-user settings store as a text file, by default
// $XDG_CONFIG_HOME/tessvar/settings.reg ($HOME/.config when XDG_CONFIG_HOME is unset).
// The file has the layout of a registry export, so every byte of a value survives:
//
//   [Software\Dorvaint]
//   "COM port"=hex(1):cd,c5,d2,00
//
// Lines that cannot be parsed are dropped (the values they held count as missing); every
// write replaces the file as a whole through a temporary file and a rename.
#include <string>

#include "platform/settings_store.h"

namespace tessvar {

class FileSettingsStore : public SettingsStore {
 public:
  explicit FileSettingsStore(std::string filePath) : path_(std::move(filePath)) {}
  // The store at the default place for the current user; an empty path (no home known)
  // gives a store whose keys never open.
  static std::string DefaultPath();

  std::unique_ptr<SettingsKey> OpenOrCreateKey(std::string_view keyPath) override;
  const std::string& Path() const { return path_; }

  // Files larger than this are refused rather than read.
  static constexpr size_t kMaxFileBytes = 1 << 20;

 private:
  std::string path_;
};

}  // namespace tessvar
