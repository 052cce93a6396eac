#include "journal/journal_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "journal/journal.h"
#include "journal/journal_file.h"

namespace zarvod {
namespace {

flock WholeFile(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  return lock;
}

struct Record {
  long pid = 0;
  long long started_ms = 0;
  long long stopped_ms = 0;
};

Record ReadRecord(int fd) {
  char text[96] = {};
  Record r;
  if (::pread(fd, text, sizeof text - 1, 0) > 0) {
    std::sscanf(text, "%ld %lld %lld", &r.pid, &r.started_ms, &r.stopped_ms);
  }
  return r;
}

void WriteRecord(int fd, const Record& r) {
  char text[96];
  const int n =
      std::snprintf(text, sizeof text, "%ld %lld %lld\n", r.pid, r.started_ms, r.stopped_ms);
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text, static_cast<size_t>(n), 0) != n) {
    // Only status reads it; the lock itself holds.
  }
}

}  // namespace

std::string JournalLockPath(const std::string& journal_path) { return journal_path + ".lock"; }

std::unique_ptr<JournalLock> JournalLock::Acquire(const std::string& journal_path, Holder holder,
                                                  std::string& error) {
  const std::string path = JournalLockPath(journal_path);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, JournalFileMode());
  if (fd < 0) {
    error = "lock file " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  flock lock = WholeFile(F_WRLCK);
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    const int why = errno;
    const Record r = ReadRecord(fd);
    ::close(fd);
    if (why != EAGAIN && why != EACCES) {
      error = "lock file " + path + ": " + std::strerror(why);
    } else if (r.pid != 0 && r.stopped_ms == 0) {
      error = "another zarvod (pid " + std::to_string(r.pid) + ") has the journal " + journal_path +
              " open; one journal takes one daemon";
    } else {
      error = "the journal " + journal_path + " is in use by a zarvod acl command";
    }
    return nullptr;
  }
  const int64_t now = NowMs();
  if (holder == Holder::kDaemon) {
    WriteRecord(fd, {static_cast<long>(::getpid()), now, 0});
  } else if (Record last = ReadRecord(fd); last.pid != 0 && last.stopped_ms == 0) {
    last.stopped_ms = -1;  // the daemon before was killed; when is not known
    WriteRecord(fd, last);
  }
  return std::unique_ptr<JournalLock>(new JournalLock(fd, holder, now));
}

JournalLock::~JournalLock() {
  if (holder_ == Holder::kDaemon) {
    WriteRecord(fd_, {static_cast<long>(::getpid()), started_ms_, NowMs()});
  }
  ::close(fd_);
}

JournalOwner InspectJournalLock(const std::string& journal_path) {
  JournalOwner owner;
  const int fd = ::open(JournalLockPath(journal_path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    owner.known = errno == ENOENT;  // else nobody ever took it
    return owner;
  }
  flock lock = WholeFile(F_WRLCK);
  owner.held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  const Record r = ReadRecord(fd);
  ::close(fd);
  owner.pid = r.pid;
  owner.started_ms = r.started_ms;
  owner.stopped_ms = r.stopped_ms;
  owner.by_daemon = owner.held && r.pid != 0 && r.stopped_ms == 0;
  return owner;
}

}  // namespace zarvod
