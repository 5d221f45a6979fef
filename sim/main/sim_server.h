#pragma once
// The simulator's serving loop over real transports: a loopback TCP listener (one MODBUS TCP
// session per connection), a pseudo-terminal and/or a serial device (one RTU or ASCII
// session each). Single-threaded; Run returns when the stop flag is set.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/modbus_request.h"
#include "platform/clock.h"
#include "platform/posix/pty.h"
#include "platform/posix/serial_device.h"
#include "platform/posix/tcp_listener.h"
#include "sim/fault_injector.h"
#include "sim/modbus_session.h"
#include "sim/transducer.h"

namespace tessvar::sim {

struct ServerConfig {
  std::optional<std::string> tcp;  // "HOST:PORT"
  bool pty = false;
  std::string linkPath;
  std::string serialDevice;
  ModbusFraming serialFraming = ModbusFraming::Rtu;
  uint8_t address = 1;
  uint32_t baud = 9600;
  char parity = 'N';
  int dataBits = 8;
  int stopBits = 1;
  bool trace = false;
};

class SimServer {
 public:
  // Which kind of stream a new session will talk over.
  enum class Transport : uint8_t { Tcp, Serial };
  // Makes the protocol session for a new stream. The default speaks MODBUS (TCP framing on
  // connections, the configured serial framing on lines); another protocol (IEC 60870-5)
  // plugs in here.
  using SessionFactory = std::function<std::unique_ptr<StreamSession>(Transport)>;

  SimServer(ServerConfig config, Clock& clock, Transducer& transducer, FaultInjector& faults,
            SimStats& stats, LogSink log = {});
  ~SimServer();

  // Must be called before Open.
  void SetSessionFactory(SessionFactory factory) { factory_ = std::move(factory); }
  // Binds the listener and opens the serial lines; false with an error text.
  bool Open(std::string& error);
  uint16_t TcpPort() const { return listener_ ? listener_->Port() : 0; }
  std::string TcpHost() const { return listener_ ? listener_->Host() : std::string(); }
  std::string PtyName() const { return pty_ ? pty_->SlaveName() : std::string(); }

  static constexpr size_t kMaxTcpConnections = 8;

  // Serves until `stop` is set. `maxWaitMs` bounds each wait so the flag is seen promptly.
  void Run(const std::atomic<bool>& stop, int maxWaitMs = 50);

 private:
  struct Connection {
    StreamEndpoint* endpoint;          // borrowed for serial lines
    std::unique_ptr<StreamEndpoint> owned;
    std::unique_ptr<StreamSession> session;
    bool serial = false;
  };
  void Serve(Connection& c, bool readable, uint64_t now);
  size_t TcpConnections() const;

  ServerConfig config_;
  Clock& clock_;
  Transducer& transducer_;
  FaultInjector& faults_;
  SimStats& stats_;
  LogSink log_;
  std::unique_ptr<TcpListener> listener_;
  std::unique_ptr<PseudoTerminal> pty_;
  std::unique_ptr<StreamEndpoint> serial_;
  std::vector<Connection> connections_;
  SessionFactory factory_;
  int rateFd_ = -1;  // the terminal whose rate the next serial session may read
};

}  // namespace tessvar::sim
