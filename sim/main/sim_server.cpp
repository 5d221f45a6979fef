#include "sim/main/sim_server.h"

#include <algorithm>
#include <array>

#include "platform/posix/line_rate.h"

namespace tessvar::sim {

SimServer::SimServer(ServerConfig config, Clock& clock, Transducer& transducer, FaultInjector& faults,
                     SimStats& stats, LogSink log)
    : config_(std::move(config)),
      clock_(clock),
      transducer_(transducer),
      faults_(faults),
      stats_(stats),
      log_(std::move(log)) {
  factory_ = [this](Transport t) -> std::unique_ptr<StreamSession> {
    ModbusSessionOptions o;
    o.framing = t == Transport::Tcp ? ModbusFraming::Tcp : config_.serialFraming;
    o.address = config_.address;
    o.baud = config_.baud;
    o.trace = config_.trace;
    if (t == Transport::Serial && rateFd_ >= 0) {
      const int fd = rateFd_;
      o.lineRate = [fd]() -> uint32_t { return TerminalBaudRate(fd).value_or(0); };
    }
    return std::make_unique<ModbusSession>(o, transducer_, faults_, stats_, log_);
  };
}

SimServer::~SimServer() = default;

bool SimServer::Open(std::string& error) {
  if (config_.tcp) {
    std::string host;
    uint16_t port = 0;
    if (!SplitHostPort(*config_.tcp, host, port)) {
      error = "--tcp wants HOST:PORT, got " + *config_.tcp;
      return false;
    }
    listener_ = TcpListener::Bind(host, port, error);
    if (!listener_) return false;
  }
  if (config_.pty) {
    pty_ = PseudoTerminal::Open(config_.linkPath, error);
    if (!pty_) return false;
    Connection c{&pty_->Master(), nullptr, nullptr, true};
    rateFd_ = pty_->SlaveFd();  // a wake-up burst is judged by the rate the master set
    c.session = factory_(Transport::Serial);
    rateFd_ = -1;
    connections_.push_back(std::move(c));
  }
  if (!config_.serialDevice.empty()) {
    serial_ = OpenSerialDevice(config_.serialDevice, config_.baud, config_.parity, config_.dataBits,
                               config_.stopBits, error);
    if (!serial_) return false;
    Connection c{serial_.get(), nullptr, nullptr, true};
    c.session = factory_(Transport::Serial);
    connections_.push_back(std::move(c));
  }
  if (!listener_ && connections_.empty()) {
    error = "nothing to serve: give --tcp, --pty or --serial";
    return false;
  }
  return true;
}

void SimServer::Serve(Connection& c, bool readable, uint64_t now) {
  if (readable) {
    std::array<uint8_t, 4096> buf;
    // Bounded: a peer that never stops sending still lets the others be served.
    for (int round = 0; round < 64; ++round) {
      const long n = c.endpoint->ReadSome(buf);
      if (n > 0) {
        c.session->Receive(std::span<const uint8_t>(buf.data(), static_cast<size_t>(n)), now);
        if (static_cast<size_t>(n) < buf.size()) break;  // drained: spare the extra read
        continue;
      }
      if (n < 0 && !c.serial) c.endpoint->Close();
      break;
    }
  }
  c.session->Tick(now);
  if (!c.endpoint->IsOpen()) return;
  const auto out = c.session->TakeDue(now);
  if (!out.empty() && !c.endpoint->WriteAll(out) && !c.serial) c.endpoint->Close();
  if (c.session->CloseRequested() && !c.serial) {
    if (log_) log_("tcp connection closed by the simulator");
    c.endpoint->Close();
  }
}

size_t SimServer::TcpConnections() const {
  return static_cast<size_t>(std::count_if(connections_.begin(), connections_.end(),
                                           [](const Connection& c) { return !c.serial; }));
}

void SimServer::Run(const std::atomic<bool>& stop, int maxWaitMs) {
  std::vector<int> fds;
  std::vector<bool> ready;
  // One clock reading per pass: the time after the wait serves the whole pass and the next
  // wait's deadline arithmetic.
  uint64_t now = clock_.MonotonicMs();
  while (!stop.load()) {
    int wait = maxWaitMs;
    for (const auto& c : connections_) {
      if (auto d = c.session->NextDeadline()) {
        const int left = *d > now ? static_cast<int>(std::min<uint64_t>(*d - now, 1u << 30)) : 0;
        wait = std::min(wait, left);
      }
    }
    fds.clear();
    if (listener_) fds.push_back(listener_->Fd());
    for (const auto& c : connections_) fds.push_back(c.endpoint->Fd());
    if (!WaitReadable(fds, wait, ready)) break;
    now = clock_.MonotonicMs();
    size_t i = 0;
    if (listener_) {
      if (ready[i]) {
        // Accept every waiting connection, bounded per pass.
        for (int k = 0; k < 16; ++k) {
          auto accepted = listener_->Accept();
          if (!accepted) break;
          ++stats_.connections;
          if (TcpConnections() >= kMaxTcpConnections) {
            // A device serves a handful of clients; more are turned away at once.
            if (log_) log_("tcp connection refused: " + std::to_string(kMaxTcpConnections) + " already open");
            continue;  // the accepted endpoint closes as it goes out of scope
          }
          if (log_) log_("tcp connection accepted");
          Connection c;
          c.owned = std::make_unique<StreamEndpoint>(std::move(*accepted));
          c.endpoint = c.owned.get();
          c.session = factory_(Transport::Tcp);
          connections_.push_back(std::move(c));
          ready.push_back(false);
        }
      }
      ++i;
    }
    for (size_t k = 0; k < connections_.size(); ++k) Serve(connections_[k], ready[i + k], now);
    std::erase_if(connections_, [](const Connection& c) { return !c.endpoint->IsOpen(); });
  }
}

}  // namespace tessvar::sim
