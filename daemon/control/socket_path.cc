#include "socket_path.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace zarvod::control {

std::string SiteSocketPath(const std::string& folder, const std::string& site) {
  std::string file = site.empty() ? std::string("zarvod") : site;
  for (char& c : file) {
    const bool kept = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
                      (c == '.' && &c != &file.front());
    if (!kept || static_cast<unsigned char>(c) >= 0x80) c = '_';
  }
  return folder + "/" + file + ".sock";
}

bool FillSocketAddress(const std::string& path, sockaddr_un& address) {
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int ConnectControlSocket(const std::string& path) {
  sockaddr_un address{};
  if (!FillSocketAddress(path, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

bool DaemonAnswers(const std::string& path) {
  const int fd = ConnectControlSocket(path);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace zarvod::control
