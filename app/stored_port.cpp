#include "app/stored_port.h"

#include <algorithm>
#include <optional>

#include "model/cp1251.h"
#include "platform/settings_store.h"

namespace tessvar {
namespace {

// The text of a good read, or nothing. A string must end with its terminating zero (a
// multi-string with two); a value without any bytes counts as the empty text.
std::optional<std::string> GoodText(const StoreRead& r) {
  if (r.status != StoreStatus::Ok) return std::nullopt;
  const auto& d = r.data;
  switch (r.type) {
    case StoreValueType::String:
    case StoreValueType::ExpandString:
      if (!d.empty() && d.back() != 0) return std::nullopt;
      break;
    case StoreValueType::MultiString:
      if (!d.empty() && (d.size() < 2 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0))
        return std::nullopt;
      break;
    default:
      return std::nullopt;
  }
  const auto end = std::find(d.begin(), d.end(), uint8_t{0});
  return Cp1251ToUtf8(std::string(d.begin(), end));
}

}  // namespace

std::string ReadStoredPort(SettingsStore& store, std::string_view currentPortText) {
  auto key = store.OpenOrCreateKey(kStoredPortKey);
  if (!key) return std::string(currentPortText);
  if (auto text = GoodText(key->Query(kStoredPortValue, kStoredPortReadLimit))) return *text;

  std::string bytes = Utf8ToCp1251(currentPortText);
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  data.push_back(0);
  key->SetValue(kStoredPortValue, StoreValueType::String, data);  // checked by reading back
  if (auto text = GoodText(key->Query(kStoredPortValue, kStoredPortReadLimit))) return *text;
  return std::string(kStoredPortFallback);
}

}  // namespace tessvar
