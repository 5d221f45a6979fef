#include "app/rtc_test_code_setting.h"

#include <algorithm>

#include "app/stored_port.h"
#include "model/rtc_test_code.h"
#include "platform/settings_store.h"

namespace tessvar {
namespace {
// Two letters and the terminating zero, with room for a stray blank to be refused.
constexpr size_t kReadLimit = 8;
}  // namespace

std::string ReadRtcTestCode(SettingsStore& store) {
  const std::string fallback(kDefaultRtcTestCode);
  auto key = store.OpenOrCreateKey(kStoredPortKey);
  if (!key) return fallback;
  const StoreRead r = key->Query(kRtcTestCodeValue, kReadLimit);
  if (r.status != StoreStatus::Ok || r.type != StoreValueType::String) return fallback;
  const auto end = std::find(r.data.begin(), r.data.end(), uint8_t{0});
  if (end == r.data.end()) return fallback;  // unterminated
  std::string code(r.data.begin(), end);
  return IsRtcTestCode(code) ? code : fallback;
}

}  // namespace tessvar
