#pragma once
// Winsock for the rest of platform/win32: started once per process, and the conversions
// between a SOCKET and the int descriptors the shared declarations use. Socket handles are
// small kernel handle values, so they fit an int; INVALID_SOCKET maps to -1.
#include <winsock2.h>
#include <cstdint>
#include <ws2tcpip.h>

namespace tessvar::win32 {

// Calls WSAStartup the first time (thread-safe); false when Winsock cannot be started.
bool EnsureWinsock();

inline SOCKET ToSocket(int fd) { return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(fd); }
inline int FromSocket(SOCKET s) { return s == INVALID_SOCKET ? -1 : static_cast<int>(s); }

void SetNonBlocking(SOCKET s, bool on);

// select() on one socket: 1 ready, 0 limit passed, -1 error.
int WaitSocket(SOCKET s, bool forWrite, uint32_t timeoutMs);

}  // namespace tessvar::win32
