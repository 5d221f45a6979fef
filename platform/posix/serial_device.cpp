// Only the kernel's termios2 definitions are used here (they clash with <termios.h>).
#include "platform/posix/serial_device.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessvar {

std::unique_ptr<StreamEndpoint> OpenSerialDevice(const std::string& path, uint32_t baud, char parity,
                                                 int dataBits, int stopBits, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  auto endpoint = std::make_unique<StreamEndpoint>(fd);
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) {
    error = path + " is not a serial device";
    return nullptr;
  }
  // Raw: no input or output processing, no echo, no signals, reads return what is there.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= (dataBits == 7 ? CS7 : CS8) | CLOCAL | CREAD | BOTHER | (BOTHER << IBSHIFT);
  if (parity == 'E') t.c_cflag |= PARENB;
  if (parity == 'O') t.c_cflag |= PARENB | PARODD;
  if (stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_ispeed = baud;
  t.c_ospeed = baud;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::ioctl(fd, TCSETS2, &t) != 0) {
    error = "cannot configure " + path + " for " + std::to_string(baud) + " baud: " + std::strerror(errno);
    return nullptr;
  }
  return endpoint;
}

}  // namespace tessvar
