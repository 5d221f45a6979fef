// The simulator's byte streams on Windows are accepted TCP connections (sockets).
#include "platform/posix/stream_endpoint.h"

#include <algorithm>

#include "platform/win32/winsock.h"

namespace tessvar {

using win32::FromSocket;
using win32::ToSocket;

StreamEndpoint::StreamEndpoint(int fd) : fd_(fd) {
  if (fd_ >= 0) win32::SetNonBlocking(ToSocket(fd_), true);
}

StreamEndpoint::StreamEndpoint(StreamEndpoint&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

StreamEndpoint& StreamEndpoint::operator=(StreamEndpoint&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

StreamEndpoint::~StreamEndpoint() { Close(); }

void StreamEndpoint::Close() {
  if (fd_ >= 0) ::closesocket(ToSocket(fd_));
  fd_ = -1;
}

long StreamEndpoint::ReadSome(std::span<uint8_t> into) {
  if (fd_ < 0) return -1;
  if (into.empty()) return 0;
  const int count = static_cast<int>(std::min<size_t>(into.size(), 0x7fffffff));
  const int n = ::recv(ToSocket(fd_), reinterpret_cast<char*>(into.data()), count, 0);
  if (n > 0) return n;
  if (n == 0) return -1;  // the peer closed
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool StreamEndpoint::WriteAll(std::span<const uint8_t> bytes, int limitMs) {
  size_t done = 0;
  int waited = 0;
  while (done < bytes.size()) {
    if (fd_ < 0) return false;
    const int count = static_cast<int>(std::min<size_t>(bytes.size() - done, 0x7fffffff));
    const int n = ::send(ToSocket(fd_), reinterpret_cast<const char*>(bytes.data() + done), count, 0);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) return false;
    if (waited >= limitMs) return false;
    win32::WaitSocket(ToSocket(fd_), true, 10);
    waited += 10;
  }
  return true;
}

bool WaitReadable(std::span<const int> fds, int timeoutMs, std::vector<bool>& ready) {
  ready.assign(fds.size(), false);
  fd_set set;
  FD_ZERO(&set);
  size_t watched = 0;
  for (int fd : fds) {
    if (fd < 0 || watched >= FD_SETSIZE) continue;
    FD_SET(ToSocket(fd), &set);
    ++watched;
  }
  if (watched == 0) {
    // select() refuses empty sets; nothing to wait for is a plain pause.
    Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
    return true;
  }
  const int limit = std::max(timeoutMs, 0);
  timeval tv{limit / 1000, (limit % 1000) * 1000};
  const int n = ::select(0, &set, nullptr, nullptr, &tv);
  if (n == SOCKET_ERROR) return false;
  for (size_t i = 0; i < fds.size(); ++i) ready[i] = fds[i] >= 0 && FD_ISSET(ToSocket(fds[i]), &set);
  (void)FromSocket;
  return true;
}

}  // namespace tessvar
