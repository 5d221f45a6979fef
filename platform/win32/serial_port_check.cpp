// Windows names its ports COM1…COM256 and has no stable per-adapter names; the open
// failure's own message says what is wrong.
#include "platform/posix/serial_port_check.h"

#include "platform/posix/serial_enumeration.h"

namespace tessvar {

std::vector<std::string> SerialByIdPaths(std::string_view) { return {}; }

std::vector<std::string> SerialPortChoices() { return EnumerateSerialDevices(); }

std::string SerialPortProblem(std::string_view) { return {}; }

}  // namespace tessvar
