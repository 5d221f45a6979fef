#pragma once
// A connected byte stream the simulator serves (an accepted TCP connection, the master side
// of a pseudo-terminal, a serial device), owned as a file descriptor, non-blocking.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessvar {

class StreamEndpoint {
 public:
  StreamEndpoint() = default;
  explicit StreamEndpoint(int fd);  // takes ownership, switches it to non-blocking
  StreamEndpoint(StreamEndpoint&& other) noexcept;
  StreamEndpoint& operator=(StreamEndpoint&& other) noexcept;
  StreamEndpoint(const StreamEndpoint&) = delete;
  StreamEndpoint& operator=(const StreamEndpoint&) = delete;
  ~StreamEndpoint();

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  // Bytes read (> 0), 0 when nothing is waiting, -1 when the peer closed or the stream failed.
  long ReadSome(std::span<uint8_t> into);
  // Writes everything, waiting for the stream to drain at most `limitMs` in all. False when
  // the stream failed or the limit passed.
  bool WriteAll(std::span<const uint8_t> bytes, int limitMs = 2000);
  void Close();

 private:
  int fd_ = -1;
};

// Waits until one of `fds` is readable, at most `timeoutMs` (interrupted by a signal: returns
// early). ready[i] tells which; returns false on a wait failure other than an interruption.
bool WaitReadable(std::span<const int> fds, int timeoutMs, std::vector<bool>& ready);

}  // namespace tessvar
