#pragma once
// The TCP client seam with BSD sockets (IPv4, stream).
#include <memory>

#include "platform/tcp_socket.h"

namespace tessvar {

std::unique_ptr<TcpSocket> MakePosixTcpSocket();

}  // namespace tessvar
