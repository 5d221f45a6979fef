#pragma once
// The serial-port seam on Windows: a COM port opened exclusively through "\\.\COMn" with
// overlapped I/O, every wait bounded; any baud rate the driver accepts.
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace tessvar {

std::unique_ptr<SerialPort> MakeWin32SerialPort();

// The device path of a port list entry: "COM3" -> "\\.\COM3" (the form that also reaches
// COM10 and above); a name already starting with "\\" is kept.
std::string Win32DevicePath(std::string_view name);

}  // namespace tessvar
