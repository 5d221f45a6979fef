#pragma once
// The baud rate a terminal device is set to now, whoever set it (for the simulator, which
// answers a wake-up burst according to the rate the master's side of a pty was set to).
#include <cstdint>
#include <optional>

namespace tessvar {

std::optional<uint32_t> TerminalBaudRate(int fd);

}  // namespace tessvar
