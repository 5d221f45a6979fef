#include "platform/posix/pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tessvar {

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(const std::string& linkPath, std::string& error) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    error = std::string("openpty: ") + std::strerror(errno);
    return nullptr;
  }
  termios t{};
  ::tcgetattr(slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave, TCSANOW, &t);
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  std::unique_ptr<PseudoTerminal> p(new PseudoTerminal());
  p->master_ = StreamEndpoint(master);
  p->slaveKeepOpen_ = slave;
  p->slaveName_ = name;
  if (!linkPath.empty()) {
    struct stat st{};
    if (::lstat(linkPath.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = linkPath + " exists and is not a symlink; not replaced";
        return nullptr;
      }
      ::unlink(linkPath.c_str());
    }
    if (::symlink(name, linkPath.c_str()) != 0) {
      error = "cannot make the symlink " + linkPath + ": " + std::strerror(errno);
      return nullptr;
    }
    p->linkPath_ = linkPath;
  }
  return p;
}

PseudoTerminal::~PseudoTerminal() {
  if (!linkPath_.empty()) {
    // Remove only our own link.
    char target[256] = {};
    const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && slaveName_ == std::string(target, static_cast<size_t>(n))) ::unlink(linkPath_.c_str());
  }
  if (slaveKeepOpen_ >= 0) ::close(slaveKeepOpen_);
}

namespace {

speed_t SpeedFor(uint32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

}  // namespace

std::unique_ptr<StreamEndpoint> OpenSerialDevice(const std::string& path, uint32_t baud, char parity,
                                                 int dataBits, int stopBits, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  auto endpoint = std::make_unique<StreamEndpoint>(fd);
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    error = path + " is not a serial device";
    return nullptr;
  }
  ::cfmakeraw(&t);
  const speed_t speed = SpeedFor(baud);
  if (speed == B0) {
    error = "baud rate " + std::to_string(baud) + " is not offered for real devices";
    return nullptr;
  }
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
  t.c_cflag |= (dataBits == 7 ? CS7 : CS8) | CLOCAL | CREAD;
  if (parity == 'E') t.c_cflag |= PARENB;
  if (parity == 'O') t.c_cflag |= PARENB | PARODD;
  if (stopBits == 2) t.c_cflag |= CSTOPB;
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    error = "cannot configure " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return endpoint;
}

}  // namespace tessvar
