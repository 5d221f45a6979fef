#include "tests/acquisition/sim_peer.h"

namespace tessvar::test {

namespace {

class PeerSocket : public TcpSocket {
 public:
  PeerSocket(SimPeer& peer, VirtualClock& clock) : peer_(peer), clock_(clock) {}
  bool Create() override {
    valid_ = true;
    return true;
  }
  bool IsValid() const override { return valid_; }
  bool Connect(uint32_t ipv4, uint16_t, uint32_t timeoutMs) override {
    ++peer_.connects;
    if (peer_.refuseConnect || ipv4 != 0x7F000001) {
      clock_.Sleep(timeoutMs < 50 ? timeoutMs : 50);
      return false;
    }
    peer_.NewTcpSession();
    return true;
  }
  long Send(std::span<const uint8_t> bytes) override {
    if (!peer_.tcp->connected || peer_.tcp->peerClosed) return -1;
    peer_.TcpSend(bytes);
    return static_cast<long>(bytes.size());
  }
  int WaitReadable(uint32_t timeoutMs) override {
    const uint64_t end = clock_.MonotonicMs() + timeoutMs;
    for (int guard = 0; guard < 100000; ++guard) {
      if (!peer_.tcp->incoming.empty() || peer_.tcp->peerClosed) return 1;
      if (clock_.MonotonicMs() >= end) return 0;
      clock_.Sleep(1);
    }
    return 0;
  }
  long Recv(std::span<uint8_t> buffer) override {
    auto& in = peer_.tcp->incoming;
    if (in.empty()) return peer_.tcp->peerClosed ? 0 : -1;
    size_t n = 0;
    while (n < buffer.size() && !in.empty()) {
      buffer[n++] = in.front();
      in.pop_front();
    }
    return static_cast<long>(n);
  }
  void ShutdownSend() override {}
  void Close() override {
    valid_ = false;
    peer_.tcp->connected = false;
  }

 private:
  SimPeer& peer_;
  VirtualClock& clock_;
  bool valid_ = false;
};

}  // namespace

SimPeer::SimPeer(VirtualClock& clock, const DeviceDescription& description,
                 ModbusFraming framing, std::map<uint16_t, uint16_t> pinned, uint8_t address)
    : clock_(clock), description_(description), framing_(framing), pinned_(std::move(pinned)),
      address_(address) {
  Rebuild();
  line_->onWrite = [this](std::span<const uint8_t> bytes) {
    if (framing_ != ModbusFraming::Tcp) session_->Receive(bytes, clock_.MonotonicMs());
  };
  clock_.AddListener([this](uint64_t now) { Pump(now); });
}

void SimPeer::Rebuild() {
  sim::TransducerOptions o;
  o.seed = 7;
  o.pinned = pinned_;
  o.service = service_;
  o.steadyDc = steadyDc_;
  transducer_ = std::make_unique<sim::Transducer>(clock_, description_, o);
  faults_ = std::make_unique<sim::FaultInjector>(rules_, 7);
  sim::ModbusSessionOptions so = SessionOptions(framing_);
  session_ = std::make_unique<sim::ModbusSession>(so, *transducer_, *faults_, stats_);
}

sim::ModbusSessionOptions SimPeer::SessionOptions(ModbusFraming framing) const {
  sim::ModbusSessionOptions so;
  so.framing = framing;
  so.address = address_;
  so.lineRate = [line = line_]() -> uint32_t { return line->config ? line->config->baudRate : 0; };
  return so;
}

void SimPeer::SetService(sim::ServiceInterface service) {
  service_ = std::move(service);
  Rebuild();
}

void SimPeer::SetSteadyDc(bool on) {
  steadyDc_ = on;
  Rebuild();
}

void SimPeer::SetFaults(std::vector<sim::FaultRule> rules) {
  rules_ = std::move(rules);
  faults_ = std::make_unique<sim::FaultInjector>(rules_, 7);
  sim::ModbusSessionOptions so = SessionOptions(framing_);
  session_ = std::make_unique<sim::ModbusSession>(so, *transducer_, *faults_, stats_);
}

void SimPeer::ArmFaults(std::vector<sim::FaultRule> rules) {
  rules_ = std::move(rules);
  *faults_ = sim::FaultInjector(rules_, 7);  // the session refers to this injector
}

void SimPeer::NewTcpSession() {
  tcp->connected = true;
  tcp->peerClosed = false;
  tcp->incoming.clear();
  sim::ModbusSessionOptions so = SessionOptions(ModbusFraming::Tcp);
  session_ = std::make_unique<sim::ModbusSession>(so, *transducer_, *faults_, stats_);
}

void SimPeer::TcpSend(std::span<const uint8_t> bytes) {
  session_->Receive(bytes, clock_.MonotonicMs());
  Pump(clock_.MonotonicMs());
}

void SimPeer::Pump(uint64_t now) {
  if (pumping_ || !session_) return;
  pumping_ = true;
  if (framing_ == ModbusFraming::Tcp) {
    session_->Tick(now);
    const std::vector<uint8_t> due = session_->TakeDue(now);
    if (tcp->connected) tcp->incoming.insert(tcp->incoming.end(), due.begin(), due.end());
  } else {
    // The clock may have jumped past several moments of the session: each frame goes on the
    // line at the moment it was due, so a single read after a long sleep sees all of it.
    for (int guard = 0; guard < 64; ++guard) {
      const auto next = session_->NextDeadline();
      if (!next || *next > now) break;
      session_->Tick(*next);
      const std::vector<uint8_t> due = session_->TakeDue(*next);
      MemorySerialPort::DeliverAt(*line_, *next, due, 1);
    }
    session_->Tick(now);
    MemorySerialPort::DeliverAt(*line_, now, session_->TakeDue(now), 1);
  }
  if (framing_ == ModbusFraming::Tcp && session_->CloseRequested() && tcp->connected) {
    tcp->peerClosed = true;
  }
  pumping_ = false;
}

std::unique_ptr<SerialPort> SimPeer::MakeSerialPort() {
  return std::make_unique<MemorySerialPort>(clock_, line_);
}

std::unique_ptr<TcpSocket> SimPeer::MakeTcpSocket() {
  return std::make_unique<PeerSocket>(*this, clock_);
}

}  // namespace tessvar::test
