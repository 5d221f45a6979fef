#include "platform/posix/tcp_listener.h"

#include <charconv>

#include "platform/win32/winsock.h"

namespace tessvar {

using win32::FromSocket;
using win32::ToSocket;

namespace {
std::string LastSocketError() { return "Winsock error " + std::to_string(WSAGetLastError()); }
}  // namespace

std::unique_ptr<TcpListener> TcpListener::Bind(const std::string& host, uint16_t port, std::string& error) {
  if (!win32::EnsureWinsock()) {
    error = "Winsock cannot be started";
    return nullptr;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
    error = "not an IPv4 address: " + host;
    return nullptr;
  }
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = "socket: " + LastSocketError();
    return nullptr;
  }
  // Exclusive use: on Windows SO_REUSEADDR would let a second server steal the port.
  BOOL exclusive = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 8) != 0) {
    error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + LastSocketError();
    ::closesocket(s);
    return nullptr;
  }
  win32::SetNonBlocking(s, true);
  sockaddr_in bound{};
  int len = sizeof bound;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &len);
  return std::unique_ptr<TcpListener>(new TcpListener(FromSocket(s), host, ntohs(bound.sin_port)));
}

TcpListener::~TcpListener() {
  if (fd_ >= 0) ::closesocket(ToSocket(fd_));
}

std::optional<StreamEndpoint> TcpListener::Accept() {
  const SOCKET s = ::accept(ToSocket(fd_), nullptr, nullptr);
  if (s == INVALID_SOCKET) return std::nullopt;
  BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return StreamEndpoint(FromSocket(s));
}

bool SplitHostPort(const std::string& text, std::string& host, uint16_t& port) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  host = text.substr(0, colon);
  const char* first = text.data() + colon + 1;
  const char* last = text.data() + text.size();
  unsigned value = 0;
  auto [p, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || p != last || first == last || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace tessvar
