// Only the kernel's termios2 definitions are used here (they clash with <termios.h>), so
// every terminal operation is an ioctl.
#include "platform/posix/posix_serial_port.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tessvar {
namespace {

uint64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void PauseMs(int ms) {
  timespec ts{0, static_cast<long>(ms) * 1000000L};
  nanosleep(&ts, nullptr);
}

// A driver may round a rate to what its divisor can make; within 2 % a UART still talks.
bool RateClose(uint32_t wanted, uint32_t got) {
  const uint64_t diff = wanted > got ? wanted - got : got - wanted;
  return diff * 50 <= wanted;
}

SerialConfig ConfigOf(const termios2& t) {
  SerialConfig c;
  c.baudRate = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
    case CS5: c.dataBits = 5; break;
    case CS6: c.dataBits = 6; break;
    case CS7: c.dataBits = 7; break;
    default: c.dataBits = 8; break;
  }
  if (!(t.c_cflag & PARENB)) {
    c.parity = SerialParity::None;
  } else if (t.c_cflag & CMSPAR) {
    c.parity = (t.c_cflag & PARODD) ? SerialParity::Mark : SerialParity::Space;
  } else {
    c.parity = (t.c_cflag & PARODD) ? SerialParity::Odd : SerialParity::Even;
  }
  c.stopBits = (t.c_cflag & CSTOPB) ? SerialStopBits::Two : SerialStopBits::One;
  return c;
}

bool ReadTermios(int fd, termios2& t) { return ioctl(fd, TCGETS2, &t) == 0; }

// The classic speed code of a rate, so programs that only know the old interface still
// read it; BOTHER (the rate given in numbers) for every other rate.
tcflag_t SpeedCode(uint32_t rate) {
  struct Entry {
    uint32_t rate;
    tcflag_t code;
  };
  static constexpr Entry kCodes[] = {
      {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
      {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
      {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
      {460800, B460800}, {921600, B921600},
  };
  for (const Entry& e : kCodes) {
    if (e.rate == rate) return e.code;
  }
  return BOTHER;
}

// A pseudo-terminal carries bytes, not bits: recent kernels keep it at 8 bits without
// parity whatever is asked, so its framing is not held against the request.
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  const unsigned major = ::major(st.st_rdev);
  return major >= 136 && major <= 143;
}

class PosixSerialPort final : public SerialPort {
 public:
  ~PosixSerialPort() override { CloseFd(); }

  bool Open(std::string_view name) override {
    CloseFd();
    const std::string path = SerialDevicePath(name);
    if (name.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios2 t{};
    // Not a terminal, or another program holds the line: give up. The advisory lock also
    // keeps out programs running with the privilege to ignore exclusive mode.
    if (!ReadTermios(fd, t) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
      ::close(fd);
      return false;
    }
    fd_ = fd;
    ioError_ = false;
    return true;
  }

  bool IsOpen() const override { return fd_ >= 0; }

  std::optional<SerialConfig> CurrentConfig() override {
    if (fd_ < 0) return std::nullopt;
    return ReadTerminalConfig(fd_);
  }

  bool Configure(const SerialConfig& config) override {
    if (fd_ < 0) return false;
    if (config.baudRate == 0 || config.dataBits < 5 || config.dataBits > 8) return false;
    termios2 old{};
    if (!ReadTermios(fd_, old)) return false;
    termios2 t = old;
    // Raw bytes in both directions: no echo, no line editing, no translation, no signals.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                        ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS |
                                        CBAUD | (CBAUD << IBSHIFT));
    const tcflag_t speed = SpeedCode(config.baudRate);
    t.c_cflag |= CLOCAL | CREAD | speed | (speed << IBSHIFT);
    switch (config.dataBits) {
      case 5: t.c_cflag |= CS5; break;
      case 6: t.c_cflag |= CS6; break;
      case 7: t.c_cflag |= CS7; break;
      default: t.c_cflag |= CS8; break;
    }
    switch (config.parity) {
      case SerialParity::None: break;
      case SerialParity::Odd: t.c_cflag |= PARENB | PARODD; break;
      case SerialParity::Even: t.c_cflag |= PARENB; break;
      case SerialParity::Mark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
      case SerialParity::Space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    // Linux offers one or two stop bits; one and a half is sent as two, which every
    // receiver expecting 1.5 accepts.
    if (config.stopBits != SerialStopBits::One) t.c_cflag |= CSTOPB;
    t.c_ispeed = config.baudRate;
    t.c_ospeed = config.baudRate;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (ioctl(fd_, TCSETS2, &t) != 0) return false;
    // The call succeeds when any part was taken; read back and undo a partial change.
    termios2 now{};
    const tcflag_t framing = IsPseudoTerminal(fd_) ? CSTOPB
                                                   : (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    const bool taken = ReadTermios(fd_, now) && RateClose(config.baudRate, now.c_ospeed) &&
                       (now.c_cflag & framing) == (t.c_cflag & framing);
    if (!taken) {
      ioctl(fd_, TCSETS2, &old);
      return false;
    }
    SetModemLine(TIOCM_DTR, config.dtr);
    SetModemLine(TIOCM_RTS, config.rts);
    return true;
  }

  bool Write(std::span<const uint8_t> bytes) override {
    if (fd_ < 0) return false;
    const uint64_t start = NowMs();
    // A bounded wait for room in the output queue, as a slow line may need.
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes = bytes.subspan(static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        NoteError();
        return false;
      }
      const uint64_t elapsed = NowMs() - start;
      if (elapsed >= kWriteLimitMs) return false;
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, static_cast<int>(kWriteLimitMs - elapsed));
    }
    return true;
  }

  size_t BytesQueued() override {
    if (fd_ < 0) return 0;
    int queued = 0;
    if (ioctl(fd_, FIONREAD, &queued) != 0) {
      NoteError();
      return 0;
    }
    if (queued == 0) {
      // A vanished adapter shows as a hang-up with nothing to read.
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLNVAL))) ioError_ = true;
    }
    return queued > 0 ? static_cast<size_t>(queued) : 0;
  }

  size_t Read(std::span<uint8_t> buffer) override {
    if (fd_ < 0 || buffer.empty()) return 0;
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n > 0) return static_cast<size_t>(n);
    if (n < 0 && errno != EAGAIN && errno != EINTR) NoteError();
    return 0;
  }

  bool WaitTransmitted(uint32_t timeoutMs) override {
    if (fd_ < 0) return false;
    const uint64_t start = NowMs();
    // tcdrain could wait without limit on a stuck line; poll the output queue instead.
    for (int round = 0; round < 100000; ++round) {
      int pending = 0;
      if (ioctl(fd_, TIOCOUTQ, &pending) != 0) return false;
      unsigned int lsr = TIOCSER_TEMT;
      ioctl(fd_, TIOCSERGETLSR, &lsr);  // not every driver knows it; then the queue decides
      if (pending == 0 && (lsr & TIOCSER_TEMT)) return true;
      if (NowMs() - start >= timeoutMs) return false;
      PauseMs(1);
    }
    return false;
  }

  void Close() override { CloseFd(); }

  bool HasIoError() const override { return ioError_; }

 private:
  static constexpr uint64_t kWriteLimitMs = 1000;

  void CloseFd() {
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }

  void NoteError() {
    if (errno == EIO || errno == ENXIO || errno == ENODEV || errno == EBADF) ioError_ = true;
  }

  void SetModemLine(int bit, bool on) {
    // ptys and some adapters have no modem lines; that is not a failure of the settings.
    ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
  }

  int fd_ = -1;
  bool ioError_ = false;
};

}  // namespace

std::string SerialDevicePath(std::string_view name) {
  if (!name.empty() && name.front() == '/') return std::string(name);
  return "/dev/" + std::string(name);
}

std::optional<SerialConfig> ReadTerminalConfig(int fd) {
  termios2 t{};
  if (!ReadTermios(fd, t)) return std::nullopt;
  SerialConfig c = ConfigOf(t);
  int lines = 0;
  if (ioctl(fd, TIOCMGET, &lines) == 0) {
    c.dtr = (lines & TIOCM_DTR) != 0;
    c.rts = (lines & TIOCM_RTS) != 0;
  }
  return c;
}

std::unique_ptr<SerialPort> MakePosixSerialPort() { return std::make_unique<PosixSerialPort>(); }

}  // namespace tessvar
