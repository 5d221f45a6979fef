#include "platform/memory_serial_port.h"

#include <algorithm>

namespace tessvar {

MemorySerialPort::MemorySerialPort(Clock& clock)
    : MemorySerialPort(clock, std::make_shared<Line>()) {}

MemorySerialPort::MemorySerialPort(Clock& clock, std::shared_ptr<Line> line)
    : clock_(clock), line_(std::move(line)) {}

void MemorySerialPort::Deliver(std::span<const uint8_t> bytes, uint32_t delayMs,
                               uint32_t msPerByte) {
  Deliver(*line_, clock_, bytes, delayMs, msPerByte);
}

void MemorySerialPort::Deliver(Line& line, Clock& clock, std::span<const uint8_t> bytes,
                               uint32_t delayMs, uint32_t msPerByte) {
  DeliverAt(line, clock.MonotonicMs() + delayMs, bytes, msPerByte);
}

void MemorySerialPort::DeliverAt(Line& line, uint64_t atMs, std::span<const uint8_t> bytes,
                                 uint32_t msPerByte) {
  uint64_t at = atMs;
  // Bytes never overtake what is already on the way.
  if (!line.incoming.empty()) at = std::max(at, line.incoming.back().first);
  for (uint8_t b : bytes) {
    line.incoming.emplace_back(at, b);
    at += msPerByte;
  }
}

bool MemorySerialPort::Open(std::string_view name) {
  line_->openedNames.emplace_back(name);
  if (line_->refuseOpen || name.empty()) return false;
  if (!open_) ++line_->openPorts;
  open_ = true;
  ioError_ = false;
  return true;
}

void MemorySerialPort::Close() {
  if (open_) --line_->openPorts;
  open_ = false;
}

std::optional<SerialConfig> MemorySerialPort::CurrentConfig() {
  if (!open_) return std::nullopt;
  return line_->config;
}

bool MemorySerialPort::Configure(const SerialConfig& config) {
  if (!open_ || line_->failIo) return false;
  const auto& refused = line_->refusedRates;
  if (std::find(refused.begin(), refused.end(), config.baudRate) != refused.end()) return false;
  line_->config = config;
  line_->configured.push_back(config);
  return true;
}

bool MemorySerialPort::Write(std::span<const uint8_t> bytes) {
  if (!open_) return false;
  if (line_->failIo) {
    ioError_ = true;
    return false;
  }
  line_->written.insert(line_->written.end(), bytes.begin(), bytes.end());
  const uint64_t now = clock_.MonotonicMs();
  line_->transmitBusyUntilMs = std::max(line_->transmitBusyUntilMs, now) +
                               uint64_t{line_->transmitMsPerByte} * bytes.size();
  if (line_->onWrite) line_->onWrite(bytes);
  return true;
}

bool MemorySerialPort::Readable() {
  if (!open_) return false;
  if (line_->failIo) {
    ioError_ = true;
    return false;
  }
  return true;
}

size_t MemorySerialPort::BytesQueued() {
  if (!Readable()) return 0;
  const uint64_t now = clock_.MonotonicMs();
  size_t n = 0;
  for (const auto& [at, byte] : line_->incoming) {
    if (at > now) break;
    ++n;
  }
  return n;
}

size_t MemorySerialPort::Read(std::span<uint8_t> buffer) {
  ++line_->readCalls;
  if (!Readable()) return 0;
  const uint64_t now = clock_.MonotonicMs();
  size_t n = 0;
  while (n < buffer.size() && !line_->incoming.empty() && line_->incoming.front().first <= now) {
    buffer[n++] = line_->incoming.front().second;
    line_->incoming.pop_front();
  }
  return n;
}

bool MemorySerialPort::WaitTransmitted(uint32_t timeoutMs) {
  if (!open_) return false;
  const uint64_t now = clock_.MonotonicMs();
  if (line_->transmitBusyUntilMs <= now) return true;
  const uint64_t wait = line_->transmitBusyUntilMs - now;
  clock_.Sleep(static_cast<uint32_t>(std::min<uint64_t>(wait, timeoutMs)));
  return wait <= timeoutMs;
}

}  // namespace tessvar
