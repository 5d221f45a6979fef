// The COM ports present, from the system's list of device names.
#include "platform/posix/serial_enumeration.h"

#include <windows.h>

#include "platform/win32/com_port_names.h"

namespace tessvar {

std::vector<std::string> EnumerateSerialDevices(std::span<const std::string> extraNames,
                                                std::string_view) {
  // The list grows with the devices present; double the buffer while it is too small.
  std::vector<char> buffer(64 * 1024);
  DWORD length = 0;
  while ((length = QueryDosDeviceA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) == 0 &&
         GetLastError() == ERROR_INSUFFICIENT_BUFFER && buffer.size() < (16u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  std::vector<std::string> names =
      ComPortNames(std::span<const char>(buffer.data(), length), kMaxPortNameLength);
  for (const std::string& extra : extraNames) {
    char target[512];
    if (extra.size() <= kMaxPortNameLength && QueryDosDeviceA(extra.c_str(), target, sizeof target) != 0)
      names.push_back(extra);
  }
  return names;
}

}  // namespace tessvar
