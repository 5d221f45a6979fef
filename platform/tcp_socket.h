#pragma once
// The TCP client seam: one IPv4 stream socket. Real implementation:
// platform/posix/posix_tcp_socket.h. All waits are bounded by the caller's limit.
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessvar {

class TcpSocket {
 public:
  virtual ~TcpSocket() = default;

  // Creates a fresh stream socket (closing any previous one). False when the system refuses.
  virtual bool Create() = 0;
  virtual bool IsValid() const = 0;
  // Connects to ipv4 (host byte order, first octet most significant) and port, waiting at
  // most timeoutMs. True only when the connection is established (SO_ERROR == 0); a refused,
  // unreachable or timed-out attempt is false. The socket stays valid either way; the
  // caller closes it.
  virtual bool Connect(uint32_t ipv4, uint16_t port, uint32_t timeoutMs) = 0;
  // The same attempt in steps, so that the caller can wait in slices: ConnectBegin starts it
  // without waiting (1 connected at once, 0 under way, -1 failed; kConnectInOneCall when
  // this socket can only Connect), ConnectWait waits at most timeoutMs for an attempt under
  // way (1 connected, 0 not yet, -1 failed).
  static constexpr int kConnectInOneCall = -2;
  virtual int ConnectBegin(uint32_t /*ipv4*/, uint16_t /*port*/) { return kConnectInOneCall; }
  virtual int ConnectWait(uint32_t /*timeoutMs*/) { return -1; }
  // Sends as much of the bytes as the system takes within a short limit; the count sent,
  // or -1 on error.
  virtual long Send(std::span<const uint8_t> bytes) = 0;
  // 1 when readable (data or end of stream), 0 when the limit passed, -1 on error.
  virtual int WaitReadable(uint32_t timeoutMs) = 0;
  // Receives what is there without waiting: the count (> 0), 0 when the peer closed, -1 on
  // error or when nothing is queued.
  virtual long Recv(std::span<uint8_t> buffer) = 0;
  virtual void ShutdownSend() = 0;
  virtual void Close() = 0;
};

}  // namespace tessvar
