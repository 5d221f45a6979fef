#include "platform/win32/com_port_names.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace tessvar {
namespace {

// The port number of "COMn", or 0 when the name is something else.
unsigned ComNumber(std::string_view name) {
  if (name.size() < 4) return 0;
  for (size_t i = 0; i < 3; ++i) {
    const char c = static_cast<char>(name[i] & ~0x20);
    if (c != "COM"[i]) return 0;
  }
  if (name[3] == '0') return 0;
  unsigned number = 0;
  const auto [end, ec] = std::from_chars(name.data() + 3, name.data() + name.size(), number);
  if (ec != std::errc() || end != name.data() + name.size() || number > 999) return 0;
  return number;
}

}  // namespace

std::vector<std::string> ComPortNames(std::span<const char> dosDevices, size_t maxLength) {
  std::vector<unsigned> numbers;
  size_t start = 0;
  while (start < dosDevices.size()) {
    size_t end = start;
    while (end < dosDevices.size() && dosDevices[end] != '\0') ++end;
    if (end == start) break;  // the empty name that ends the list
    const std::string_view name(dosDevices.data() + start, end - start);
    if (const unsigned n = ComNumber(name); n != 0) numbers.push_back(n);
    start = end + 1;
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::vector<std::string> names;
  for (unsigned n : numbers) {
    std::string name = "COM" + std::to_string(n);
    if (name.size() <= maxLength) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace tessvar
