#include "link/tcp_link.h"

#include <algorithm>
#include <array>

namespace tessvar {
namespace {

// Remaining part of a limit that started at `startMs`, never negative.
uint32_t Remaining(Clock& clock, uint64_t startMs, uint32_t limitMs) {
  const uint64_t elapsed = clock.MonotonicMs() - startMs;
  return elapsed >= limitMs ? 0 : static_cast<uint32_t>(limitMs - elapsed);
}

}  // namespace

CTcpLink::CTcpLink(std::unique_ptr<TcpSocket> socket, Clock& clock)
    : socket_(std::move(socket)), clock_(clock) {}

CTcpLink::~CTcpLink() { Close(false); }

bool CTcpLink::Create() {
  if (open_) Close(false);
  peerClosed_ = false;
  pending_.clear();
  if (!socket_ || !socket_->Create()) return false;
  open_ = true;
  return true;
}

int CTcpLink::ConnectWithTimeout(const TcpPeer& peer, uint32_t limitMs) {
  if (!open_ && !Create()) return -1;
  bool connected = false;
  const int begun = socket_->ConnectBegin(peer.ipv4, peer.port);
  if (begun == TcpSocket::kConnectInOneCall) {
    connected = socket_->Connect(peer.ipv4, peer.port, limitMs);
  } else {
    // In slices, so that the window stays alive and "Стоп" ends the attempt at once.
    const uint64_t start = clock_.MonotonicMs();
    int state = begun;
    while (state == 0) {
      const uint32_t left = Remaining(clock_, start, limitMs);
      if (left == 0) break;
      state = socket_->ConnectWait(std::min(left, kWaitSliceMs));
      if (state != 0) break;
      clock_.Yield();
      if (clock_.Cancelled()) break;
    }
    connected = state == 1;
  }
  if (connected) {
    if (tap_) tap_->OnConnected(peer.ipv4, peer.port);
    return 0;
  }
  Close(false);
  return -1;
}

int CTcpLink::WaitReadable(uint32_t limitMs) {
  const uint64_t start = clock_.MonotonicMs();
  for (;;) {
    const uint32_t left = Remaining(clock_, start, limitMs);
    const int r = socket_->WaitReadable(std::min(left, kWaitSliceMs));
    if (r != 0 || left <= kWaitSliceMs) return r;
    clock_.Yield();
    if (clock_.Cancelled()) return 0;
  }
}

void CTcpLink::Send(std::span<const uint8_t> bytes) {
  if (!open_) return;
  if (tap_) tap_->OnFrame(FrameDirection::Sent, clock_.MonotonicMs(), bytes);
  // A frame is a few hundred bytes at most; the system takes it at once unless the
  // connection is broken, so a few rounds are plenty.
  for (int round = 0; round < 16 && !bytes.empty(); ++round) {
    const long sent = socket_->Send(bytes);
    if (sent <= 0) return;
    bytes = bytes.subspan(std::min(static_cast<size_t>(sent), bytes.size()));
  }
}

size_t CTcpLink::ReceiveReply(std::span<uint8_t> buffer) {
  pending_.clear();
  if (!open_ || buffer.empty()) return 0;
  if (WaitReadable(kReplyLimitMs) != 1) return 0;
  const long got = socket_->Recv(buffer.first(std::min(buffer.size(), kReceiveBufferSize)));
  if (got == 0) peerClosed_ = true;
  if (got <= 0) return 0;
  const auto n = static_cast<size_t>(got);
  if (tap_) tap_->OnFrame(FrameDirection::Received, clock_.MonotonicMs(), buffer.first(n));
  return n;
}

size_t CTcpLink::ReceiveFrame(std::span<uint8_t> buffer, const FrameScanner& scan,
                              uint32_t limitMs, size_t* gathered) {
  if (gathered) *gathered = 0;
  if (!open_ || buffer.empty()) return 0;
  buffer = buffer.first(std::min(buffer.size(), kReceiveBufferSize));
  // The kept bytes go first; more than the buffer holds cannot be one frame anyway.
  size_t n = std::min(pending_.size(), buffer.size());
  std::copy_n(pending_.begin(), n, buffer.begin());
  pending_.clear();

  const uint64_t start = clock_.MonotonicMs();
  FrameScan found = n > 0 ? scan(buffer.first(n)) : FrameScan{};
  // Every round either adds at least one byte or ends, and the buffer is finite; the
  // round cap is a second guard against a socket that reports readable without data.
  for (int round = 0; round < 10000 && found.status == FrameStatus::kNeedMore && n < buffer.size();
       ++round) {
    const uint32_t left = Remaining(clock_, start, limitMs);
    if (left == 0 && round > 0) break;
    if (WaitReadable(left) != 1) break;
    const long got = socket_->Recv(buffer.subspan(n));
    if (got == 0) {
      peerClosed_ = true;
      break;
    }
    if (got < 0) break;
    n += static_cast<size_t>(got);
    found = scan(buffer.first(n));
  }
  if (found.status == FrameStatus::kComplete && found.consumed > 0 && found.consumed <= n) {
    if (tap_) tap_->OnFrame(FrameDirection::Received, clock_.MonotonicMs(), buffer.first(found.consumed));
    pending_.assign(buffer.begin() + static_cast<std::ptrdiff_t>(found.consumed),
                    buffer.begin() + static_cast<std::ptrdiff_t>(n));
    if (gathered) *gathered = found.consumed;
    return found.consumed;
  }
  if (tap_ && n > 0) tap_->OnFrame(FrameDirection::Received, clock_.MonotonicMs(), buffer.first(n));
  if (gathered) *gathered = n;
  return 0;
}

void CTcpLink::Close(bool drain) {
  if (!open_) return;
  socket_->ShutdownSend();
  if (drain) {
    // Whatever the peer still sends is read and dropped, for a short time at most, so a
    // silent peer cannot hold the window.
    std::array<uint8_t, kReceiveBufferSize> scratch{};
    const uint64_t start = clock_.MonotonicMs();
    for (int round = 0; round < 64; ++round) {
      const uint32_t left = Remaining(clock_, start, kDrainLimitMs);
      if (left == 0 || WaitReadable(left) != 1) break;
      if (socket_->Recv(scratch) <= 0) break;
    }
  }
  socket_->Close();
  open_ = false;
  pending_.clear();
}

}  // namespace tessvar
