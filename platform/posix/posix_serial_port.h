#pragma once
// The serial-port seam on Linux: termios (through the termios2 interface, so any rate the
// driver accepts can be set, 14400, 56000 and 64000 included), raw mode, exclusive open.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace tessvar {

std::unique_ptr<SerialPort> MakePosixSerialPort();

// The device path a port list entry stands for: "ttyUSB0" -> "/dev/ttyUSB0",
// "pts/3" -> "/dev/pts/3"; a path starting with '/' is kept.
std::string SerialDevicePath(std::string_view name);

// The settings of an open terminal descriptor as the driver holds them (for checks and
// diagnostics); empty when the descriptor is not a terminal.
std::optional<SerialConfig> ReadTerminalConfig(int fd);

}  // namespace tessvar
