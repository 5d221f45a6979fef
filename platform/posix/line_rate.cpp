// Only the kernel's termios2 definitions are used here (they clash with <termios.h>).
#include "platform/posix/line_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tessvar {

std::optional<uint32_t> TerminalBaudRate(int fd) {
  termios2 t{};
  if (fd < 0 || ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
  return t.c_ospeed;
}

}  // namespace tessvar
