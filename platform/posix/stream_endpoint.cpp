#include "platform/posix/stream_endpoint.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tessvar {

StreamEndpoint::StreamEndpoint(int fd) : fd_(fd) {
  if (fd_ >= 0) {
    const int flags = ::fcntl(fd_, F_GETFL, 0);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  }
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
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

long StreamEndpoint::ReadSome(std::span<uint8_t> into) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::read(fd_, into.data(), into.size());
    if (n > 0) return static_cast<long>(n);
    if (n == 0) return into.empty() ? 0 : -1;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;  // EIO on a pty whose other side is not open yet counts as a failure here
  }
}

bool StreamEndpoint::WriteAll(std::span<const uint8_t> bytes, int limitMs) {
  size_t done = 0;
  int waited = 0;
  while (done < bytes.size()) {
    if (fd_ < 0) return false;
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (waited >= limitMs) return false;
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, 10);
    waited += 10;
  }
  return true;
}

bool WaitReadable(std::span<const int> fds, int timeoutMs, std::vector<bool>& ready) {
  std::vector<pollfd> p;
  p.reserve(fds.size());
  for (int fd : fds) p.push_back(pollfd{fd, POLLIN, 0});
  ready.assign(fds.size(), false);
  const int n = ::poll(p.data(), p.size(), timeoutMs);
  if (n < 0) return errno == EINTR;
  for (size_t i = 0; i < p.size(); ++i) ready[i] = (p[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  return true;
}

}  // namespace tessvar
