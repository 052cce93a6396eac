// Who owns a journal. The running daemon, or an acl command working on the
// lines without it, holds an exclusive lock on the file beside the journal
// (JOURNAL.lock) for as long as it has the journal open; a second one is
// refused. The lock is an open file description lock: it goes when its
// holder ends, however it ends (kill -9 too), and looking at it does not
// take it, so `zarvod status` never keeps a daemon from starting.
//
// The daemon writes its pid and start time into the file, and its stop time
// when it stops, for `zarvod status`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zarvod {

std::string JournalLockPath(const std::string& journal_path);

class JournalLock {
 public:
  enum class Holder { kDaemon, kCommand };
  // Takes the lock, or sets `error` (another holds it: its pid when a
  // daemon; or the lock file cannot be opened) and returns nullptr.
  static std::unique_ptr<JournalLock> Acquire(const std::string& journal_path, Holder holder,
                                              std::string& error);
  ~JournalLock();  // a daemon's stop time is noted, then the lock goes
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

 private:
  JournalLock(int fd, Holder holder, int64_t started_ms)
      : fd_(fd), holder_(holder), started_ms_(started_ms) {}
  int fd_;
  Holder holder_;
  int64_t started_ms_;
};

// What the lock file tells of the journal's daemon.
struct JournalOwner {
  bool known = true;       // false: the lock file is there but this user may not read it
  bool held = false;       // a daemon or an acl command has the journal now
  bool by_daemon = false;  // held, and by the daemon whose pid is below
  long pid = 0;            // the last daemon's
  int64_t started_ms = 0;  // 0: no daemon ever ran on this journal
  int64_t stopped_ms = 0;  // 0: running or killed; -1: killed
};

JournalOwner InspectJournalLock(const std::string& journal_path);

}  // namespace zarvod
