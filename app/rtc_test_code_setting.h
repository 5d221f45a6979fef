#pragma once
// Where the window finds the transducer's RTC test-mode code: the value "RTC test code" of
// the per-user settings key, two upper-case letters as text, for example
//
//   [Software\Dorvaint]
//   "RTC test code"="TV"
//
// (in the settings file written as hex(1):54,56,00). Missing or malformed, the simulator's
// code is used. The window never writes this value.
#include <string>
#include <string_view>

namespace tessvar {

class SettingsStore;

inline constexpr std::string_view kRtcTestCodeValue = "RTC test code";

std::string ReadRtcTestCode(SettingsStore& store);

}  // namespace tessvar
