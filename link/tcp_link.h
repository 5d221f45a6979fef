#pragma once
// CTcpLink: the one TCP client connection of the main window (MODBUS TCP and IEC 104).
// Waits are bounded; the time limits are measured on the Clock.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "link/frame_tap.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"

namespace tessvar {

// Where and how to connect: IPv4 in host order (first octet most significant), port.
struct TcpPeer {
  uint32_t ipv4 = 0;
  uint16_t port = 0;
};

// What a client parser makes of the bytes at the front of a stream.
enum class FrameStatus : uint8_t {
  kNeedMore,  // a frame has begun; more bytes are needed to tell or to finish it
  kComplete,  // the first `consumed` bytes are one whole frame
  kInvalid,   // no frame can begin here (an impossible header)
};
struct FrameScan {
  FrameStatus status = FrameStatus::kNeedMore;
  size_t consumed = 0;  // the frame's length when complete
};
using FrameScanner = std::function<FrameScan(std::span<const uint8_t>)>;

class CTcpLink {
 public:
  static constexpr uint32_t kConnectLimitMs = 10000;
  static constexpr uint32_t kReplyLimitMs = 5000;
  static constexpr uint32_t kDrainLimitMs = 200;
  static constexpr size_t kReceiveBufferSize = 5000;
  // Long waits go in slices of this length; between them the clock's Yield keeps the
  // window alive, and a cancelled wait (Clock::Cancelled) ends early.
  static constexpr uint32_t kWaitSliceMs = 20;

  CTcpLink(std::unique_ptr<TcpSocket> socket, Clock& clock);
  ~CTcpLink();
  CTcpLink(const CTcpLink&) = delete;
  CTcpLink& operator=(const CTcpLink&) = delete;

  // Creates a fresh socket (closing any previous connection without drain).
  bool Create();
  // 0 on success, -1 on failure; on failure the socket is closed and IsOpen() is false.
  int ConnectWithTimeout(const TcpPeer& peer, uint32_t limitMs = kConnectLimitMs);
  // True while a socket exists (the "handle is not -1" of the run control).
  bool IsOpen() const { return open_; }
  // Sends the whole frame (a partial send is retried until all is out or an error comes).
  void Send(std::span<const uint8_t> bytes);
  // Drops the bytes kept from earlier receives, then one wait (5 s) and one receive: the
  // count, or 0 when nothing came, the peer closed or the receive failed.
  size_t ReceiveReply(std::span<uint8_t> buffer);
  // Receives one frame of a byte stream. The bytes kept from the last call come first;
  // `scan` is asked after each receive with everything gathered so far. Waits at most
  // limitMs in all (not at all when the kept bytes already hold a frame). The count of the
  // frame's bytes when it is complete; bytes that follow it are kept for the next call, so
  // frames sent back to back or split across segments each arrive whole. Otherwise 0,
  // `gathered` (when given) receives how many bytes did arrive, and they are dropped: the
  // stream is out of step until a new connection.
  size_t ReceiveFrame(std::span<uint8_t> buffer, const FrameScanner& scan,
                      uint32_t limitMs = kReplyLimitMs, size_t* gathered = nullptr);
  // Bytes received after the last frame, kept for the next ReceiveFrame.
  size_t Pending() const { return pending_.size(); }
  // Ends the connection. With drain: shutdown for sending, read and discard whatever the
  // peer still sends for at most kDrainLimitMs, then close.
  void Close(bool drain);
  // True once a receive saw the peer close the connection (until the next Create).
  bool PeerClosed() const { return peerClosed_; }

  TcpSocket& Socket() { return *socket_; }
  Clock& GetClock() { return clock_; }
  void SetFrameTap(FrameTap* tap) { tap_ = tap; }
  FrameTap* Tap() const { return tap_; }

 private:
  // The socket's readable-wait, in slices: 1 readable, 0 not within the limit (or the wait
  // was cancelled), -1 error.
  int WaitReadable(uint32_t limitMs);
  std::unique_ptr<TcpSocket> socket_;
  Clock& clock_;
  FrameTap* tap_ = nullptr;
  bool open_ = false;
  bool peerClosed_ = false;
  std::vector<uint8_t> pending_;
};

}  // namespace tessvar
