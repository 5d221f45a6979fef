#include "platform/posix/serial_enumeration.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace tessvar {
namespace {

constexpr std::array<std::string_view, 4> kKinds = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA"};

// Kind index and number of a device name, or kind -1 when it is none of ours.
std::pair<int, unsigned> Classify(std::string_view name) {
  // Longest prefix first: "ttyS" must not swallow "ttyUSB".
  for (int k = static_cast<int>(kKinds.size()) - 1; k >= 0; --k) {
    const std::string_view prefix = kKinds[static_cast<size_t>(k)];
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view digits = name.substr(prefix.size());
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec == std::errc() && end == digits.data() + digits.size()) return {k, number};
  }
  return {-1, 0};
}

bool IsCharDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A port another program holds, or one this user may not open, is still there.
bool PresentButBusy() { return errno == EBUSY || errno == EACCES || errno == EPERM; }

// The kernel makes ttyS0..ttyS31 whether or not a UART sits behind them.
bool HasUart(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return PresentButBusy();
  serial_struct info{};
  const bool present = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return present;
}

bool IsTerminal(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return PresentButBusy() && IsCharDevice(path);
  const bool tty = isatty(fd) == 1;
  ::close(fd);
  return tty;
}

}  // namespace

std::vector<std::string> EnumerateSerialDevices(std::span<const std::string> extraNames,
                                                std::string_view devDir) {
  struct Found {
    int kind;
    unsigned number;
    std::string name;
  };
  std::vector<Found> found;
  std::error_code ec;
  const std::filesystem::path dir(devDir);
  for (auto it = std::filesystem::directory_iterator(dir, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    const auto [kind, number] = Classify(name);
    if (kind < 0 || name.size() > kMaxPortNameLength) continue;
    const std::string path = it->path().string();
    if (!IsCharDevice(path)) continue;
    if (kind == 0 && !HasUart(path)) continue;  // ttyS
    found.push_back({kind, number, std::move(name)});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.kind != b.kind ? a.kind < b.kind : a.number < b.number;
  });
  std::vector<std::string> names;
  names.reserve(found.size() + extraNames.size());
  for (auto& f : found) names.push_back(std::move(f.name));
  for (const std::string& extra : extraNames) {
    if (extra.empty() || extra.size() > kMaxPortNameLength) continue;
    if (std::find(names.begin(), names.end(), extra) != names.end()) continue;
    const std::string path =
        extra.front() == '/' ? extra : std::string(devDir) + "/" + extra;
    if (IsTerminal(path)) names.push_back(extra);
  }
  return names;
}

}  // namespace tessvar
