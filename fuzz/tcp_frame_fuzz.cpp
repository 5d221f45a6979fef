// The MBAP gathering of the TCP link on an arbitrary stream: the input is cut into segments
// (each led by a length byte) that a scripted socket hands out; the master must neither read
// past its buffer nor take an incomplete or oversize frame as a reply.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "link/modbus_master.h"
#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"

namespace {

class ScriptedSocket : public tessvar::TcpSocket {
 public:
  explicit ScriptedSocket(tessvar::VirtualClock& clock) : clock_(clock) {}
  // The segments the peer sends on the next connection.
  void Script(std::deque<std::vector<uint8_t>> segments) { segments_ = std::move(segments); }
  bool Create() override { return true; }
  bool IsValid() const override { return true; }
  bool Connect(uint32_t, uint16_t, uint32_t) override { return true; }
  long Send(std::span<const uint8_t> bytes) override { return static_cast<long>(bytes.size()); }
  int WaitReadable(uint32_t timeoutMs) override {
    if (segments_.empty()) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    clock_.Advance(1);
    return 1;
  }
  long Recv(std::span<uint8_t> buffer) override {
    if (segments_.empty()) return -1;
    auto& seg = segments_.front();
    if (seg.empty()) {
      segments_.pop_front();
      return 0;  // the peer closes
    }
    const size_t n = std::min(buffer.size(), seg.size());
    std::copy(seg.begin(), seg.begin() + static_cast<std::ptrdiff_t>(n), buffer.begin());
    seg.erase(seg.begin(), seg.begin() + static_cast<std::ptrdiff_t>(n));
    if (seg.empty()) segments_.pop_front();
    return static_cast<long>(n);
  }
  void ShutdownSend() override {}
  void Close() override {}

 private:
  tessvar::VirtualClock& clock_;
  std::deque<std::vector<uint8_t>> segments_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::deque<std::vector<uint8_t>> segments;
  size_t at = 0;
  while (at < size) {
    const size_t len = data[at++];
    const size_t take = std::min(len, size - at);
    segments.emplace_back(data + at, data + at + take);
    at += take;
  }
  // Built once: a new connection makes the link forget what the previous input left.
  static tessvar::VirtualClock clock;
  static ScriptedSocket* socket = nullptr;
  static tessvar::CTcpLink link = [] {
    auto s = std::make_unique<ScriptedSocket>(clock);
    socket = s.get();
    return tessvar::CTcpLink(std::move(s), clock);
  }();
  static tessvar::CModbusMaster master(std::make_unique<tessvar::MemorySerialPort>(clock), clock);
  socket->Script(std::move(segments));
  link.Create();
  link.ConnectWithTimeout({0x7F000001, 502});
  master.SendReadInputRegisters(false, 1, 0, 2, &link);
  std::vector<uint8_t> reply;
  for (int i = 0; i < 4; ++i) {
    const tessvar::LinkResult r = master.ReceiveRtu(reply, &link);
    // Two registers asked: a good function 4 reply delivers exactly two. (Address and
    // function are handed on unchecked; the caller judges them.)
    if (r == tessvar::LinkResult::kGood && (reply.size() < 2 || (reply[1] == 4 && reply.size() != 6))) __builtin_trap();
  }
  return 0;
}
