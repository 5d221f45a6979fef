#pragma once
// One conversation of the simulator over a byte stream (a TCP connection or a serial line),
// whatever the protocol. The transport feeds it received bytes and the time, asks it when it
// wants to be woken, and writes out what it says is due. IEC 60870-5 sessions implement the
// same interface.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessvar::sim {

class StreamSession {
 public:
  virtual ~StreamSession() = default;
  virtual void Receive(std::span<const uint8_t> bytes, uint64_t nowMs) = 0;
  // Lets time-based framing (RTU silence) and delayed replies progress.
  virtual void Tick(uint64_t nowMs) = 0;
  // The next moment Tick or TakeDue has work, if any.
  virtual std::optional<uint64_t> NextDeadline() const = 0;
  // The bytes due for sending by nowMs, in order.
  virtual std::vector<uint8_t> TakeDue(uint64_t nowMs) = 0;
  // The session wants its connection closed (nothing more will be sent).
  virtual bool CloseRequested() const = 0;
};

// Counters shared by every session of one simulator run.
struct SimStats {
  uint64_t requests = 0;    // whole frames received
  uint64_t replies = 0;     // replies sent (or queued)
  uint64_t exceptions = 0;  // of which exception replies
  uint64_t ignored = 0;     // frames for another address, broadcasts
  uint64_t dropped = 0;     // damaged frames (bad checksum, broken framing): no reply
  uint64_t connections = 0;
};

}  // namespace tessvar::sim
