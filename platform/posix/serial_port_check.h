#pragma once
// Port names beyond the short ones of the port list, and why a serial port will not open.
#include <string>
#include <string_view>
#include <vector>

namespace tessvar {

// The stable names of the serial adapters plugged in ("/dev/serial/by-id/usb-FTDI_…"), as
// full paths, sorted; only links that lead to a character device. Empty when `dir` is
// missing (no adapter with an id is plugged in).
std::vector<std::string> SerialByIdPaths(std::string_view dir = "/dev/serial/by-id");

// What the "Порт" list offers: the short names of the ports found, then the by-id paths.
std::vector<std::string> SerialPortChoices();

// The sentence for an open of `path` that failed with `error` (an errno value); `group` is
// the group that owns the device, named in the hint for a permission error.
std::string OpenErrorText(const std::string& path, int error, std::string_view group);

// Why the serial port `name` (a short name under /dev or a path) cannot be used, as a
// sentence for the user that names the path: missing, not a character device, not a
// terminal, no permission (with the group to join), busy. Empty when it opens.
std::string SerialPortProblem(std::string_view name);

}  // namespace tessvar
