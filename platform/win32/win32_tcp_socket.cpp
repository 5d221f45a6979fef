#include "platform/win32/win32_tcp_socket.h"

#include "platform/posix/posix_tcp_socket.h"
#include "platform/win32/winsock.h"

namespace tessvar {
namespace {

using win32::WaitSocket;

class Win32TcpSocket final : public TcpSocket {
 public:
  ~Win32TcpSocket() override { CloseSocket(); }

  bool Create() override {
    CloseSocket();
    if (!win32::EnsureWinsock()) return false;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return socket_ != INVALID_SOCKET;
  }

  bool IsValid() const override { return socket_ != INVALID_SOCKET; }

  bool Connect(uint32_t ipv4, uint16_t port, uint32_t timeoutMs) override {
    if (socket_ == INVALID_SOCKET) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(ipv4);
    win32::SetNonBlocking(socket_, true);
    bool ok = false;
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
      ok = true;
    } else if (WSAGetLastError() == WSAEWOULDBLOCK && WaitSocket(socket_, true, timeoutMs) == 1) {
      int error = -1;
      int len = sizeof error;
      ok = getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) == 0 &&
           error == 0;
    }
    win32::SetNonBlocking(socket_, false);
    return ok;
  }

  long Send(std::span<const uint8_t> bytes) override {
    if (socket_ == INVALID_SOCKET) return -1;
    if (WaitSocket(socket_, true, kSendLimitMs) != 1) return -1;
    const int count = bytes.size() > 0x7fffffff ? 0x7fffffff : static_cast<int>(bytes.size());
    const int n = ::send(socket_, reinterpret_cast<const char*>(bytes.data()), count, 0);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
  }

  int WaitReadable(uint32_t timeoutMs) override {
    if (socket_ == INVALID_SOCKET) return -1;
    return WaitSocket(socket_, false, timeoutMs);
  }

  long Recv(std::span<uint8_t> buffer) override {
    if (socket_ == INVALID_SOCKET) return -1;
    // Without waiting: only what is queued (a zero-limit wait first keeps the socket blocking
    // for Send).
    if (!buffer.empty() && WaitSocket(socket_, false, 0) != 1) return -1;
    const int count = buffer.size() > 0x7fffffff ? 0x7fffffff : static_cast<int>(buffer.size());
    const int n = ::recv(socket_, reinterpret_cast<char*>(buffer.data()), count, 0);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
  }

  void ShutdownSend() override {
    if (socket_ != INVALID_SOCKET) ::shutdown(socket_, SD_SEND);
  }

  void Close() override { CloseSocket(); }

 private:
  void CloseSocket() {
    if (socket_ == INVALID_SOCKET) return;
    ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

  static constexpr uint32_t kSendLimitMs = 1000;
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<TcpSocket> MakeWin32TcpSocket() { return std::make_unique<Win32TcpSocket>(); }
std::unique_ptr<TcpSocket> MakePosixTcpSocket() { return MakeWin32TcpSocket(); }

}  // namespace tessvar
