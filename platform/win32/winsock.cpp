#include "platform/win32/winsock.h"

#include <cstdint>
#include <mutex>

namespace tessvar::win32 {

bool EnsureWinsock() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data{};
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

void SetNonBlocking(SOCKET s, bool on) {
  u_long mode = on ? 1 : 0;
  ioctlsocket(s, FIONBIO, &mode);
}

int WaitSocket(SOCKET s, bool forWrite, uint32_t timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  // A failed non-blocking connect is reported in the exception set, not the write set.
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(s, &failed);
  timeval limit{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  const int r = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &failed, &limit);
  if (r == SOCKET_ERROR) return -1;
  if (r == 0) return 0;
  if (FD_ISSET(s, &failed) && !FD_ISSET(s, &set)) return forWrite ? -1 : 1;
  return 1;
}

}  // namespace tessvar::win32
