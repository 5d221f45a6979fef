#pragma once
// The one setting kept between starts: the serial port to preselect.
#include <string>
#include <string_view>

namespace tessvar {

class SettingsStore;

inline constexpr std::string_view kStoredPortKey = "Software\\Dorvaint";
inline constexpr std::string_view kStoredPortValue = "COM port";
// Bytes read at most, terminating zero included.
inline constexpr size_t kStoredPortReadLimit = 10;
inline constexpr std::string_view kStoredPortFallback = "COM1";

// The port text after reading the stored value (UTF-8). A missing, mistyped, unterminated or
// oversize value is rewritten with `currentPortText` and read again; when even that cannot
// be read the result is "COM1"; when the key cannot be opened the current text stays.
std::string ReadStoredPort(SettingsStore& store, std::string_view currentPortText);

}  // namespace tessvar
