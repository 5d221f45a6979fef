// The simulator's serial lines on Windows: pseudo-terminals do not exist there, and serving
// on a COM port is done from Linux; both are refused with a clear error, so tessvar-sim.exe
// serves MODBUS TCP only.
#include "platform/posix/line_rate.h"
#include "platform/posix/pty.h"
#include "platform/posix/serial_device.h"

namespace tessvar {

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(const std::string&, std::string& error) {
  error = "pseudo-terminals are not available on Windows; use --tcp";
  return nullptr;
}

PseudoTerminal::~PseudoTerminal() = default;

std::unique_ptr<StreamEndpoint> OpenSerialDevice(const std::string& path, uint32_t, char, int, int,
                                                 std::string& error) {
  error = "serving on a serial device (" + path + ") is not available on Windows; use --tcp";
  return nullptr;
}

// No terminal on Windows has a rate to read back.
std::optional<uint32_t> TerminalBaudRate(int) { return std::nullopt; }

}  // namespace tessvar
