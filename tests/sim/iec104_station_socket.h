#pragma once
// A TCP socket whose peer is a simulated IEC 104 station in the same thread, on the virtual
// clock: what the client sends reaches the station at once; a wait lets virtual time run to
// the station's next deadline or the limit.
#include <algorithm>
#include <deque>

#include "platform/tcp_socket.h"
#include "platform/virtual_clock.h"
#include "sim/iec104_station.h"

namespace tessvar::sim::test {

class StationSocket : public TcpSocket {
 public:
  StationSocket(VirtualClock& clock, Iec104Station& station) : clock_(clock), station_(station) {}

  bool Create() override { return true; }
  bool IsValid() const override { return !closed_; }
  bool Connect(uint32_t, uint16_t, uint32_t) override { return true; }
  long Send(std::span<const uint8_t> bytes) override {
    if (peerGone_ || shutdown_) return -1;
    station_.Receive(bytes, clock_.MonotonicMs());
    return static_cast<long>(bytes.size());
  }
  int WaitReadable(uint32_t timeoutMs) override {
    const uint64_t limit = clock_.MonotonicMs() + timeoutMs;
    for (;;) {
      Pull();
      if (!inbox_.empty() || peerGone_) return 1;
      const auto next = station_.NextDeadline();
      const uint64_t now = clock_.MonotonicMs();
      const uint64_t to = next ? std::min<uint64_t>(std::max(*next, now + 1), limit) : limit;
      if (to <= now) return 0;
      clock_.Advance(to - now);
      if (to >= limit) {
        Pull();
        return inbox_.empty() && !peerGone_ ? 0 : 1;
      }
    }
  }
  long Recv(std::span<uint8_t> buffer) override {
    Pull();
    if (inbox_.empty()) return peerGone_ ? 0 : -1;
    // One station write per receive, so segment boundaries are kept.
    auto& seg = inbox_.front();
    const size_t n = std::min(buffer.size(), seg.size());
    std::copy_n(seg.begin(), n, buffer.begin());
    seg.erase(seg.begin(), seg.begin() + static_cast<long>(n));
    if (seg.empty()) inbox_.pop_front();
    return static_cast<long>(n);
  }
  void ShutdownSend() override { shutdown_ = true; }
  void Close() override { closed_ = true; }

  bool ShutDown() const { return shutdown_; }

 private:
  void Pull() {
    if (peerGone_) return;
    const uint64_t now = clock_.MonotonicMs();
    station_.Tick(now);
    auto out = station_.TakeDue(now);
    if (!out.empty()) inbox_.push_back(std::move(out));
    if (station_.CloseRequested()) peerGone_ = inbox_.empty();
  }

  VirtualClock& clock_;
  Iec104Station& station_;
  std::deque<std::vector<uint8_t>> inbox_;
  bool peerGone_ = false;
  bool shutdown_ = false;
  bool closed_ = false;
};

}  // namespace tessvar::sim::test
