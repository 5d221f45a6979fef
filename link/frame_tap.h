#pragma once
// An optional observer of every frame an engine sends or receives. Engines hold a plain
// pointer (null = nobody listens, no cost); the observer outlives the engine's use of it.
#include <cstdint>
#include <span>

namespace tessvar {

enum class FrameDirection : uint8_t { Sent, Received };

class FrameTap {
 public:
  virtual ~FrameTap() = default;
  virtual void OnFrame(FrameDirection direction, uint64_t monotonicMs,
                       std::span<const uint8_t> bytes) = 0;
  // A TCP connection to `ipv4` (first octet most significant) and `port` was made; the
  // frames that follow travel over it.
  virtual void OnConnected(uint32_t /*ipv4*/, uint16_t /*port*/) {}
};

}  // namespace tessvar
