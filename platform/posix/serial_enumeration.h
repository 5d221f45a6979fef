#pragma once
// The serial devices present, as short names for the port list ("ttyS0", "ttyUSB0", ...).
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessvar {

// Longest name the stored port setting can hold.
inline constexpr size_t kMaxPortNameLength = 9;

// ttyS* with a UART behind it, ttyUSB*, ttyACM*, ttyAMA* found in devDir, sorted by kind
// and number, followed by each of `extraNames` (for example a pseudo-terminal "pts/3") that
// names an existing terminal. Names longer than kMaxPortNameLength are left out.
std::vector<std::string> EnumerateSerialDevices(std::span<const std::string> extraNames = {},
                                                std::string_view devDir = "/dev");

}  // namespace tessvar
