// The serial settings text parser on arbitrary text: it either refuses or yields settings
// a port can take.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/serial_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto config = tessvar::ParseSerialSettingsText(text);
  if (config && (config->baudRate == 0 || config->dataBits < 5 || config->dataBits > 8)) {
    __builtin_trap();
  }
  return 0;
}
