#pragma once
// CTcpLink: the one TCP client connection of the main window (MODBUS TCP and IEC 104).
// Waits are bounded; the time limits are measured on the Clock.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "link/frame_tap.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"

namespace tessvar {

// Where and how to connect: IPv4 in host order (first octet most significant), port.
struct TcpPeer {
  uint32_t ipv4 = 0;
  uint16_t port = 0;
};

class CTcpLink {
 public:
  static constexpr uint32_t kConnectLimitMs = 10000;
  static constexpr uint32_t kReplyLimitMs = 5000;
  static constexpr uint32_t kDrainLimitMs = 200;
  static constexpr size_t kReceiveBufferSize = 5000;

  CTcpLink(std::unique_ptr<TcpSocket> socket, Clock& clock);
  ~CTcpLink();
  CTcpLink(const CTcpLink&) = delete;
  CTcpLink& operator=(const CTcpLink&) = delete;

  // Kept for the shape of the run start; the sockets library needs no start-up here.
  int Startup() { return 0; }
  void Cleanup() {}

  // Creates a fresh socket (closing any previous connection without drain).
  bool Create();
  // 0 on success, -1 on failure; on failure the socket is closed and IsOpen() is false.
  int ConnectWithTimeout(const TcpPeer& peer, uint32_t limitMs = kConnectLimitMs);
  // True while a socket exists (the "handle is not -1" of the run control).
  bool IsOpen() const { return open_; }
  // Sends the whole frame (a partial send is retried until all is out or an error comes).
  void Send(std::span<const uint8_t> bytes);
  // One wait (5 s) and one receive: the count, or 0 when nothing came, the peer closed or
  // the receive failed.
  size_t ReceiveReply(std::span<uint8_t> buffer);
  // Receives one length-framed reply: frameLength is asked after each receive with the
  // bytes gathered so far and answers the full frame length once the header tells it
  // (empty while more header is needed; 0 when the header is impossible). Waits at most
  // limitMs in all. The count of the frame's bytes when it is complete; otherwise 0 and
  // `gathered` (when given) receives how many bytes did arrive. Bytes beyond the frame in
  // the same segment are dropped.
  size_t ReceiveFrame(std::span<uint8_t> buffer,
                      const std::function<std::optional<size_t>(std::span<const uint8_t>)>& frameLength,
                      uint32_t limitMs = kReplyLimitMs, size_t* gathered = nullptr);
  // Ends the connection. With drain: shutdown for sending, read and discard whatever the
  // peer still sends for at most kDrainLimitMs, then close.
  void Close(bool drain);
  // True once a receive saw the peer close the connection (until the next Create).
  bool PeerClosed() const { return peerClosed_; }

  TcpSocket& Socket() { return *socket_; }
  Clock& GetClock() { return clock_; }
  void SetFrameTap(FrameTap* tap) { tap_ = tap; }

 private:
  std::unique_ptr<TcpSocket> socket_;
  Clock& clock_;
  FrameTap* tap_ = nullptr;
  bool open_ = false;
  bool peerClosed_ = false;
};

}  // namespace tessvar
