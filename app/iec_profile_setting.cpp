#include "app/iec_profile_setting.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/stored_port.h"
#include "platform/settings_store.h"

namespace tessvar {
namespace {
// The longer word and its terminating zero, with room to refuse a longer value.
constexpr size_t kReadLimit = 16;
}  // namespace

IecProfile ReadIecProfile(SettingsStore& store) {
  auto key = store.OpenOrCreateKey(kStoredPortKey);
  if (!key) return IecProfile::Transducer;
  const StoreRead r = key->Query(kIecProfileValue, kReadLimit);
  if (r.status != StoreStatus::Ok || r.type != StoreValueType::String) {
    return IecProfile::Transducer;
  }
  const auto end = std::find(r.data.begin(), r.data.end(), uint8_t{0});
  if (end == r.data.end()) return IecProfile::Transducer;  // unterminated
  return IecProfileFromWord(std::string(r.data.begin(), end)).value_or(IecProfile::Transducer);
}

bool WriteIecProfile(SettingsStore& store, IecProfile profile) {
  auto key = store.OpenOrCreateKey(kStoredPortKey);
  if (!key) return false;
  const std::string_view word = IecProfileWord(profile);
  std::vector<uint8_t> data(word.begin(), word.end());
  data.push_back(0);
  return key->SetValue(kIecProfileValue, StoreValueType::String, data);
}

}  // namespace tessvar
