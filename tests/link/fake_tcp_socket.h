#pragma once
// A scripted TCP socket on the virtual clock: segments become readable at given times, a
// wait with nothing due advances the clock to the next segment or by the whole limit.
#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "platform/tcp_socket.h"
#include "platform/virtual_clock.h"

namespace tessvar::test {

class FakeTcpSocket : public TcpSocket {
 public:
  struct Script {
    bool refuseCreate = false;
    bool connectOk = true;
    uint32_t lastConnectLimitMs = 0;
    uint32_t lastIpv4 = 0;
    uint16_t lastPort = 0;
    int creates = 0;
    int closes = 0;
    bool shutdowns = false;
    std::vector<std::vector<uint8_t>> sent;
    struct Segment {
      uint64_t atMs;
      std::vector<uint8_t> bytes;  // empty: the peer closes
    };
    std::deque<Segment> segments;
  };

  FakeTcpSocket(VirtualClock& clock, std::shared_ptr<Script> script)
      : clock_(clock), script_(std::move(script)) {}

  bool Create() override {
    ++script_->creates;
    valid_ = !script_->refuseCreate;
    return valid_;
  }
  bool IsValid() const override { return valid_; }
  bool Connect(uint32_t ipv4, uint16_t port, uint32_t timeoutMs) override {
    script_->lastConnectLimitMs = timeoutMs;
    script_->lastIpv4 = ipv4;
    script_->lastPort = port;
    if (!script_->connectOk) clock_.Advance(timeoutMs);  // a black hole: the whole limit
    return script_->connectOk;
  }
  long Send(std::span<const uint8_t> bytes) override {
    script_->sent.emplace_back(bytes.begin(), bytes.end());
    return static_cast<long>(bytes.size());
  }
  int WaitReadable(uint32_t timeoutMs) override {
    if (closed_) return 1;
    if (script_->segments.empty()) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    const uint64_t now = clock_.MonotonicMs();
    const uint64_t at = script_->segments.front().atMs;
    if (at > now + timeoutMs) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    if (at > now) clock_.Advance(at - now);
    return 1;
  }
  long Recv(std::span<uint8_t> buffer) override {
    if (closed_) return 0;
    if (script_->segments.empty() || script_->segments.front().atMs > clock_.MonotonicMs()) {
      return -1;
    }
    auto& seg = script_->segments.front();
    if (seg.bytes.empty()) {
      closed_ = true;
      script_->segments.pop_front();
      return 0;
    }
    const size_t n = std::min(buffer.size(), seg.bytes.size());
    std::copy(seg.bytes.begin(), seg.bytes.begin() + static_cast<std::ptrdiff_t>(n), buffer.begin());
    seg.bytes.erase(seg.bytes.begin(), seg.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (seg.bytes.empty()) script_->segments.pop_front();
    return static_cast<long>(n);
  }
  void ShutdownSend() override { script_->shutdowns = true; }
  void Close() override {
    if (valid_) ++script_->closes;
    valid_ = false;
  }

 private:
  VirtualClock& clock_;
  std::shared_ptr<Script> script_;
  bool valid_ = false;
  bool closed_ = false;
};

}  // namespace tessvar::test
