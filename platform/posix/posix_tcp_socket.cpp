#include "platform/posix/posix_tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace tessvar {
namespace {

int PollOnce(int fd, short events, uint32_t timeoutMs, short& revents) {
  pollfd p{fd, events, 0};
  const int limit = timeoutMs > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(timeoutMs);
  int r;
  do {
    r = poll(&p, 1, limit);
  } while (r < 0 && errno == EINTR);
  revents = p.revents;
  return r;
}

void SetBlocking(int fd, bool blocking) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return;
  fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

class PosixTcpSocket final : public TcpSocket {
 public:
  ~PosixTcpSocket() override { CloseFd(); }

  bool Create() override {
    CloseFd();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
  }

  bool IsValid() const override { return fd_ >= 0; }

  bool Connect(uint32_t ipv4, uint16_t port, uint32_t timeoutMs) override {
    if (fd_ < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ipv4);
    SetBlocking(fd_, false);
    bool ok = false;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
      ok = true;
    } else if (errno == EINPROGRESS || errno == EINTR) {
      short revents = 0;
      if (PollOnce(fd_, POLLOUT, timeoutMs, revents) == 1) {
        // A failed attempt also makes the socket writable; only SO_ERROR tells them apart.
        int error = -1;
        socklen_t len = sizeof error;
        ok = getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
      }
    }
    SetBlocking(fd_, true);
    return ok;
  }

  int ConnectBegin(uint32_t ipv4, uint16_t port) override {
    if (fd_ < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ipv4);
    SetBlocking(fd_, false);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
      SetBlocking(fd_, true);
      return 1;
    }
    if (errno == EINPROGRESS || errno == EINTR) return 0;
    SetBlocking(fd_, true);
    return -1;
  }

  int ConnectWait(uint32_t timeoutMs) override {
    if (fd_ < 0) return -1;
    short revents = 0;
    const int r = PollOnce(fd_, POLLOUT, timeoutMs, revents);
    if (r == 0) return 0;
    // A failed attempt also makes the socket writable; only SO_ERROR tells them apart.
    int error = -1;
    socklen_t len = sizeof error;
    const bool ok = r == 1 && getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
    SetBlocking(fd_, true);
    return ok ? 1 : -1;
  }

  long Send(std::span<const uint8_t> bytes) override {
    if (fd_ < 0) return -1;
    short revents = 0;
    if (PollOnce(fd_, POLLOUT, kSendLimitMs, revents) != 1) return -1;
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return n < 0 ? -1 : static_cast<long>(n);
  }

  int WaitReadable(uint32_t timeoutMs) override {
    if (fd_ < 0) return -1;
    short revents = 0;
    const int r = PollOnce(fd_, POLLIN, timeoutMs, revents);
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (revents & POLLNVAL) return -1;
    return 1;  // data, end of stream or an error the next receive reports
  }

  long Recv(std::span<uint8_t> buffer) override {
    if (fd_ < 0) return -1;
    ssize_t n;
    do {
      n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<long>(n);
  }

  void ShutdownSend() override {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
  }

  void Close() override { CloseFd(); }

 private:
  void CloseFd() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
  }

  static constexpr uint32_t kSendLimitMs = 1000;
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<TcpSocket> MakePosixTcpSocket() { return std::make_unique<PosixTcpSocket>(); }

}  // namespace tessvar
