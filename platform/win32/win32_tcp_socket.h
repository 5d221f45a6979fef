#pragma once
// The TCP client seam with Winsock (IPv4, stream).
#include <memory>

#include "platform/tcp_socket.h"

namespace tessvar {

std::unique_ptr<TcpSocket> MakeWin32TcpSocket();

}  // namespace tessvar
