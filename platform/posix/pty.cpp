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

}  // namespace tessvar
