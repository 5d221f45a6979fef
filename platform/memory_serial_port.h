#pragma once
// An in-memory serial line for tests and simulations. The far end schedules bytes on the
// clock ("this reply arrives 12 ms from now, one byte every 1 ms"); the port shows a byte
// only once the clock has reached its time, so the quiet-gap rule meets realistic timing on
// a virtual clock. Everything written is kept, and a responder can answer each write.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace tessvar {

class MemorySerialPort : public SerialPort {
 public:
  // Shared state, so a test keeps a view after handing the port to an engine.
  struct Line {
    std::vector<std::string> openedNames;
    std::vector<uint8_t> written;
    std::vector<SerialConfig> configured;
    std::optional<SerialConfig> config = SerialConfig{};
    bool refuseOpen = false;
    // Rates the driver refuses (Configure returns false, settings unchanged).
    std::vector<uint32_t> refusedRates;
    bool failIo = false;  // the adapter vanishes: reads and writes fail
    std::function<void(std::span<const uint8_t> written)> onWrite;
    uint32_t transmitMsPerByte = 0;  // how long written bytes occupy the transmitter
    uint64_t transmitBusyUntilMs = 0;
    // Pending bytes with the monotonic time at which each becomes readable.
    std::deque<std::pair<uint64_t, uint8_t>> incoming;
    size_t readCalls = 0;
    int openPorts = 0;  // ports on this line open now
  };

  explicit MemorySerialPort(Clock& clock);
  MemorySerialPort(Clock& clock, std::shared_ptr<Line> line);
  ~MemorySerialPort() override { Close(); }

  std::shared_ptr<Line> SharedLine() const { return line_; }
  // Bytes arriving from the far end: the first after delayMs, then one every msPerByte.
  void Deliver(std::span<const uint8_t> bytes, uint32_t delayMs = 0, uint32_t msPerByte = 0);
  static void Deliver(Line& line, Clock& clock, std::span<const uint8_t> bytes,
                      uint32_t delayMs = 0, uint32_t msPerByte = 0);
  // The same from a given monotonic moment, which may lie in the past (a reply that was due
  // while the clock jumped).
  static void DeliverAt(Line& line, uint64_t atMs, std::span<const uint8_t> bytes,
                        uint32_t msPerByte = 0);

  bool Open(std::string_view name) override;
  bool IsOpen() const override { return open_; }
  std::optional<SerialConfig> CurrentConfig() override;
  bool Configure(const SerialConfig& config) override;
  bool Write(std::span<const uint8_t> bytes) override;
  size_t BytesQueued() override;
  size_t Read(std::span<uint8_t> buffer) override;
  bool WaitTransmitted(uint32_t timeoutMs) override;
  void Close() override;
  bool HasIoError() const override { return ioError_; }

 private:
  // Open and not failing; a failing line marks the I/O error the owner will see.
  bool Readable();
  Clock& clock_;
  std::shared_ptr<Line> line_;
  bool open_ = false;
  bool ioError_ = false;
};

}  // namespace tessvar
