#include "journal/journal_file.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zarvod {
namespace {

// The process's umask without changing it (umask() sets it, for every
// thread, while it reads it).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    unsigned mask = 0;
    if (std::sscanf(line.c_str(), "Umask: %o", &mask) == 1) return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

std::string Folder(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

std::string UserName(uid_t uid) {
  const passwd* p = ::getpwuid(uid);
  return p ? p->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const group* g = ::getgrgid(gid);
  return g ? g->gr_name : std::to_string(gid);
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// "user zarvod (uid 998)", the one the permission is missing for.
std::string ThisUser() {
  const uid_t uid = ::geteuid();
  return "user " + UserName(uid) + " (uid " + std::to_string(uid) + ")";
}

std::string Ownership(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "";
  return "; it belongs to " + UserName(st.st_uid) + ":" + GroupName(st.st_gid) + " with mode " +
         Octal(st.st_mode);
}

}  // namespace

std::string JournalNameProblem(const std::string& path) {
  if (path.empty())
    return "the journal path is empty; name a file, e.g. /var/lib/zarvod/journal.db";
  if (path == ":memory:" || path.rfind("file:", 0) == 0) {
    return "the journal path '" + path +
           "' is not a file name: SQLite would keep the journal in memory or read it as a URI, "
           "and every event would be lost when zarvod stops; name a file";
  }
  return "";
}

std::string BesideSiteFile(const std::string& path, const std::string& config_path) {
  if (path.empty() || std::filesystem::path(path).is_absolute() ||
      !JournalNameProblem(path).empty())
    return path;
  return (std::filesystem::path(config_path).parent_path() / path).lexically_normal().string();
}

mode_t JournalFileMode() { return (CurrentUmask() & 07) == 07 ? 0640 : 0600; }

std::string PrepareJournalFile(const std::string& path) {
  if (std::string problem = JournalNameProblem(path); !problem.empty()) return problem;
  const mode_t mode = JournalFileMode();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd >= 0) {
    ::fchmod(fd, mode);  // past the umask
    struct stat folder {};
    if (::geteuid() == 0 && ::stat(Folder(path).c_str(), &folder) == 0 && folder.st_uid != 0) {
      // The daemon's user must be able to write what root made for it.
      if (::fchown(fd, folder.st_uid, folder.st_gid) != 0) { /* root keeps it */
      }
    }
    ::close(fd);
  } else if (errno != EEXIST) {
    return "journal " + path + " cannot be created by " + ThisUser() + ": " + std::strerror(errno) +
           Ownership(Folder(path));
  }
  if (::euidaccess(path.c_str(), R_OK | W_OK) != 0) {
    return "journal " + path + " cannot be written by " + ThisUser() + ": " + std::strerror(errno) +
           Ownership(path);
  }
  // SQLite keeps the -wal and -shm files beside the journal, and the lock
  // file is there too.
  const std::string folder = Folder(path);
  if (::euidaccess(folder.c_str(), W_OK | X_OK) != 0) {
    return "the journal's folder " + folder + " cannot be written by " + ThisUser() + ": " +
           std::strerror(errno) + Ownership(folder) + " (SQLite keeps files beside the journal)";
  }
  return "";
}

std::optional<FileIdentity> IdentityAt(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

std::string JournalFileChange(const std::string& path, const FileIdentity& open) {
  const std::optional<FileIdentity> now = IdentityAt(path);
  if (!now) return "the journal " + path + " was deleted or moved away while zarvod ran";
  if (*now != open) return "the journal " + path + " was replaced by another file while zarvod ran";
  return "";
}

}  // namespace zarvod
