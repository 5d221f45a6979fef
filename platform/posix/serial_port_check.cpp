#include "platform/posix/serial_port_check.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/posix/posix_serial_port.h"
#include "platform/posix/serial_enumeration.h"

namespace tessvar {
namespace {

// The group that owns the device (the one to join), "dialout" when it cannot be told.
std::string OwningGroup(const struct stat& st) {
  std::vector<char> buffer(4096);
  struct group entry {};
  struct group* found = nullptr;
  if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->gr_name && found->gr_name[0] != '\0' && st.st_gid != 0)
    return found->gr_name;
  return "dialout";
}

}  // namespace

std::string OpenErrorText(const std::string& path, int error, std::string_view group) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "Нет доступа к " + path + ": " + std::strerror(error) +
             ". Добавьте пользователя в группу " + std::string(group) +
             " (и войдите в систему заново).";
    case EBUSY:
    case EWOULDBLOCK:
      return "Порт " + path + " занят другой программой";
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return "Нет такого порта: " + path + " (" + std::strerror(error) + ")";
    default:
      return "Не могу открыть " + path + ": " + std::strerror(error);
  }
}

std::vector<std::string> SerialByIdPaths(std::string_view dir) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(std::filesystem::path(dir), ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    struct stat st {};
    const std::string path = it->path().string();
    if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) paths.push_back(path);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::vector<std::string> SerialPortChoices() {
  std::vector<std::string> names = EnumerateSerialDevices();
  for (std::string& path : SerialByIdPaths()) names.push_back(std::move(path));
  return names;
}

std::string SerialPortProblem(std::string_view name) {
  const std::string path = SerialDevicePath(name);
  if (name.empty()) return "Не указан порт";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return OpenErrorText(path, errno, "dialout");
  if (S_ISDIR(st.st_mode)) return path + " — папка, а не последовательный порт";
  if (S_ISREG(st.st_mode)) return path + " — обычный файл, а не последовательный порт";
  if (!S_ISCHR(st.st_mode)) return path + " — не последовательный порт (не символьное устройство)";
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return OpenErrorText(path, error, OwningGroup(st));
  }
  std::string problem;
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    problem = path + " — не последовательный порт (не терминал)";
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    problem = OpenErrorText(path, EBUSY, {});
  }
  ::close(fd);  // also drops the lock just taken
  return problem;
}

}  // namespace tessvar
