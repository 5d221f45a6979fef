#pragma once
// A listening TCP socket bound to exactly the address given (IPv4 dotted text), never to
// all interfaces. Port 0 lets the system choose; Port() tells which it chose.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/posix/stream_endpoint.h"

namespace tessvar {

class TcpListener {
 public:
  // Returns nullptr and an error text when the address is not an IPv4 address or cannot
  // be bound.
  static std::unique_ptr<TcpListener> Bind(const std::string& host, uint16_t port, std::string& error);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  int Fd() const { return fd_; }
  uint16_t Port() const { return port_; }
  const std::string& Host() const { return host_; }
  // A waiting connection (non-blocking, Nagle off), or nothing.
  std::optional<StreamEndpoint> Accept();

 private:
  TcpListener(int fd, std::string host, uint16_t port) : fd_(fd), host_(std::move(host)), port_(port) {}
  int fd_;
  std::string host_;
  uint16_t port_;
};

// Splits "HOST:PORT"; false when the form is wrong or the port is not 0..65535.
bool SplitHostPort(const std::string& text, std::string& host, uint16_t& port);

}  // namespace tessvar
