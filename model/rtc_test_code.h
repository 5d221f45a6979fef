#pragma once
// The two-letter code that lets a transducer enter its RTC test mode (the request data of
// MODBUS function 118). The transducer defines it; the simulator answers this one.
#include <string>
#include <string_view>

namespace tessvar {

inline constexpr std::string_view kDefaultRtcTestCode = "TV";

// Two upper-case ASCII letters, nothing else.
inline bool IsRtcTestCode(std::string_view code) {
  return code.size() == 2 && code[0] >= 'A' && code[0] <= 'Z' && code[1] >= 'A' && code[1] <= 'Z';
}

}  // namespace tessvar
