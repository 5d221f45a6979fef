#pragma once
// A one-connection TCP server on 127.0.0.1 (port chosen by the system) for link tests. The
// handler runs on its own thread with the accepted descriptor; every wait is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>
#include <vector>

namespace tessvar::test {

class LoopbackServer {
 public:
  explicit LoopbackServer(int backlog = 4) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listen_, backlog);
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~LoopbackServer() {
    if (thread_.joinable()) thread_.join();
    ::close(listen_);
  }
  uint16_t Port() const { return port_; }

  // Accepts one connection (within 5 s) and runs the handler on it, then closes it.
  void Serve(std::function<void(int fd)> handler) {
    thread_ = std::thread([this, handler = std::move(handler)] {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 5000) != 1) return;
      const int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) return;
      int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      handler(fd);
      ::close(fd);
    });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  // Reads until `count` bytes came, the peer went, or 2 s passed without data.
  static std::vector<uint8_t> ReadSome(int fd, size_t count) {
    std::vector<uint8_t> got;
    for (int round = 0; round < 100 && got.size() < count; ++round) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 2000) != 1) break;
      uint8_t buf[512];
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }
  static void Send(int fd, std::span<const uint8_t> bytes) {
    (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  int listen_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

inline constexpr uint32_t kLoopback = 0x7F000001;

}  // namespace tessvar::test
