#include "cli/site_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zarvod {
namespace {

constexpr mode_t kSiteFileMode = 0644;

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ::fsync(fd) == 0;
}

std::string Failed(const std::string& path) {
  return "cannot write " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string WriteSiteFile(const std::string& path, const std::string& text, bool replace) {
  std::string target = replace ? path + ".new-XXXXXX" : path;
  const int fd = replace
                     ? ::mkstemp(target.data())
                     : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kSiteFileMode);
  if (fd < 0) {
    if (errno == EEXIST) return path + " exists; --force replaces it";
    return Failed(path);
  }
  const bool written = (!replace || ::fchmod(fd, kSiteFileMode) == 0) && WriteAll(fd, text);
  const std::string error = written ? "" : Failed(path);
  ::close(fd);
  if (written && (!replace || ::rename(target.c_str(), path.c_str()) == 0)) return "";
  const std::string reason = error.empty() ? Failed(path) : error;
  ::unlink(target.c_str());
  return reason;
}

}  // namespace zarvod
