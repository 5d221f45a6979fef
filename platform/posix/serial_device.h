#pragma once
// A real serial device (an RS-485 adapter) opened raw for the simulator to serve on.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/stream_endpoint.h"

namespace tessvar {

// Opens `path` raw at the given settings: any baud rate the driver accepts (the rates of
// the tool's list included, through the kernel's numeric-rate interface), parity 'N', 'E'
// or 'O', 7 or 8 data bits, 1 or 2 stop bits. Returns nullptr and an error text on failure.
std::unique_ptr<StreamEndpoint> OpenSerialDevice(const std::string& path, uint32_t baud, char parity,
                                                 int dataBits, int stopBits, std::string& error);

}  // namespace tessvar
