#pragma once
// The serial-port seam: one RS-485 adapter as the link engines see it. Reads never block;
// every wait has a limit. Real implementation: platform/posix/posix_serial_port.h; an
// in-memory line for tests: platform/memory_serial_port.h.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessvar {

enum class SerialParity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class SerialStopBits : uint8_t { One = 0, OnePointFive = 1, Two = 2 };

struct SerialConfig {
  uint32_t baudRate = 9600;
  SerialParity parity = SerialParity::None;
  uint8_t dataBits = 8;
  SerialStopBits stopBits = SerialStopBits::One;
  bool dtr = false;  // DTR held low
  bool rts = true;   // RTS held asserted (drives the RS-485 transmitter on many adapters)

  friend bool operator==(const SerialConfig&, const SerialConfig&) = default;
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens the port exclusively. A short name ("ttyUSB0", "pts/3") is looked up under
  // /dev; a name starting with '/' is taken as a path. False when it cannot be opened.
  virtual bool Open(std::string_view name) = 0;
  virtual bool IsOpen() const = 0;
  // The settings the port has now; empty when closed or unreadable.
  virtual std::optional<SerialConfig> CurrentConfig() = 0;
  // Applies all fields at once. False when closed or when the driver refuses any of them
  // (an unsupported rate or framing); then the port keeps its previous settings.
  virtual bool Configure(const SerialConfig& config) = 0;
  // Queues the bytes for sending; false on an I/O error or when not everything was taken
  // within the port's own short write limit.
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Bytes received and waiting to be read; 0 when closed.
  virtual size_t BytesQueued() = 0;
  // Reads at most buffer.size() of the queued bytes without waiting; 0 when none or on error.
  virtual size_t Read(std::span<uint8_t> buffer) = 0;
  // Waits until everything written has left the transmitter, at most timeoutMs (real time).
  // True when it did.
  virtual bool WaitTransmitted(uint32_t timeoutMs) = 0;
  virtual void Close() = 0;
  // True once the device reported an I/O error (for example an unplugged USB adapter);
  // cleared by the next successful Open.
  virtual bool HasIoError() const = 0;
};

}  // namespace tessvar
