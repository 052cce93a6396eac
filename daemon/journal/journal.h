// The journal: one SQLite file in WAL mode, the only code that writes SQL.
// It holds the events, the collection bookmarks, gaps, controller status
// changes, the audit trail of commands and the line counters; other modules
// add tables through migrations (journal/migrations.h) and use db() under
// Lock().
//
// Every method may be called from any thread: one mutex serialises them, in
// the order they came.
// Commits are synchronous (WAL, synchronous=FULL): when CommitEvent returns
// true the event survives a crash of the process and a power cut.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "journal/busy_wait.h"
#include "journal/fifo_mutex.h"
#include "journal/journal_file.h"
#include "journal/statement.h"
#include "journal/stored_record.h"

namespace zarvod {

struct ControllerKey {
  std::string site;
  std::string line;
  int address = 0;
  std::string name;
};

// Where collection stands on one controller (see docs/daemon.md, "The
// bookmark"). `position` is the index of the controller's read position when
// the bookmark was written; when `has_last` the record there is `anchor`, is
// journaled, and the read position may or may not have moved one past it
// yet. `last`, the newest record journaled, lies `ahead` records after it
// (block reads journal records the read position has not reached).
struct Bookmark {
  bool known = false;  // false before the first contact with the controller
  int64_t next_seq = 1;
  int position = 0;
  bool has_last = false;
  StoredRecord last{};
  int count = 0;      // records in the controller's log then
  int set_aside = 0;  // records a clear had set aside then
  int ahead = 0;
  StoredRecord anchor{};  // the record at `position`; `last` when ahead is 0
};

struct Gap {
  std::string kind;         // "log-full", "cleared", "moved-by-other"
  std::optional<int> lost;  // events lost, when the controller lets us count them
  std::string detail;
};

struct AuditEntry {
  std::string who;
  std::string site;
  std::string line;
  int address = 0;
  std::string what;
  int result = 0;
};

int64_t NowMs();

class Journal {
 public:
  // Opens or creates the file (see PrepareJournalFile) and brings its
  // schema up to date with the journal's steps and every registered
  // module's. Refuses a file this process cannot write.
  static std::unique_ptr<Journal> Open(const std::string& path, std::string& error);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // For other modules: hold the lock while using the handle.
  sqlite3* db() { return db_; }
  std::unique_lock<FifoMutex> Lock() { return std::unique_lock<FifoMutex>(mutex_); }
  // Why the last failed call failed. A copy: lines fail on their own threads.
  std::string last_error() const {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return last_error_;
  }
  // "" while the journal's path still names the file open here, else what
  // became of it (deleted, replaced); commits fail from then on.
  std::string FileChange() const { return JournalFileChange(path_, identity_); }
  // Stops waiting for another process's write lock (see busy_wait.h): a
  // commit then fails at once and is tried again, or the daemon stops.
  void StopWaiting() { busy_.Stop(); }

  // The controller's row id, created on first use. A controller renamed in
  // the site file keeps its row (its events, bookmark and gaps) under the
  // new name; the old one is kept among the site's former names, so that
  // what was published under it can be cleared.
  std::optional<int64_t> Controller(const ControllerKey& key);
  // The controller's bookmark (`known` false when it has none yet); nullopt
  // when the journal could not be read, which says nothing about the
  // bookmark: try again later, never start over.
  std::optional<Bookmark> LoadBookmark(int64_t controller);
  // Journals `record` with sequence bookmark.next_seq and writes `bookmark`
  // (already advanced by the caller), in one transaction.
  bool CommitEvent(int64_t controller, const StoredRecord& record, int64_t received_ms,
                   const Bookmark& bookmark);
  // Journals `records` in order, sequence numbers up to bookmark.next_seq - 1,
  // and writes `bookmark`, in one transaction.
  bool CommitEvents(int64_t controller, const std::vector<StoredRecord>& records,
                    int64_t received_ms, const Bookmark& bookmark);
  bool SaveBookmark(int64_t controller, const Bookmark& bookmark);
  // The journaled records with sequence numbers from `first` to `last`, in
  // order (fewer when some were deleted); nullopt when the journal could not
  // be read.
  std::optional<std::vector<StoredRecord>> JournaledRecords(int64_t controller, int64_t first,
                                                            int64_t last);
  bool RecordGap(int64_t controller, int64_t after_seq, const Gap& gap);
  // The gap and the bookmark that goes on after it, in one transaction: a
  // crash between the two would have the gap found and recorded again.
  bool RecordGap(int64_t controller, int64_t after_seq, const Gap& gap, const Bookmark& bookmark);
  bool RecordStatus(int64_t controller, bool online, const std::string& version,
                    const std::string& detail);
  bool Touch(const std::vector<int64_t>& controllers);  // these answered just now
  bool RecordCommand(const AuditEntry& entry);
  bool SaveLineCounters(const std::string& site, const std::string& line,
                        const std::string& counters);
  // Retention: deletes events older than `days` (0: none) and all but the
  // newest `keep` (0: all), never a controller's events from its bookmark's
  // anchor on (collection may still need them to find its place); with
  // `days`, also the audit trail's older rows and those of every prune step.
  // Deletes in small transactions, the journal unlocked in between, so lines
  // keep committing. Returns the count of events deleted, or -1 when the
  // journal failed (last_error(); what was deleted before stays deleted).
  int64_t Prune(int days, int64_t keep);
  // Another module's retention: deletes up to `batch` of its rows older
  // than `cutoff_ms` (ms since the epoch) through `db`, called with the
  // journal locked inside a transaction; returns the count deleted, or -1 on
  // an error. Prune calls it again while it deletes a full batch. The step
  // stays with the journal: it must not use what its module frees on stop.
  using PruneStep = std::function<int64_t(sqlite3* db, int64_t cutoff_ms, int batch)>;
  void AddPruneStep(PruneStep step);

 private:
  explicit Journal(sqlite3* db) : db_(db) {}
  bool Prepare();
  bool WriteBookmark(int64_t controller, const Bookmark& bookmark);
  bool InsertEvent(int64_t controller, int64_t seq, const StoredRecord& record,
                   int64_t received_ms);
  bool Fail(const char* what);
  void SetError(std::string text);
  // Deletes the events whose ids `select` (bound) returns; `last_id` becomes
  // the last of them. Returns the count deleted, or -1 on an error.
  int64_t DeleteSelectedEvents(Statement& select, int64_t& last_id);
  // The id of the newest event past the newest `keep` (0: none).
  std::optional<int64_t> NewestEventBeyond(int64_t keep);
  bool PruneOthers(int64_t cutoff_ms);
  // Runs `step` in batches until it deletes less than a batch; false on an
  // error.
  bool PruneInBatches(const std::function<int64_t()>& step, int64_t& deleted);
  // Events go only into the file at the journal's path (see FileChange).
  bool StillAtPath();

  sqlite3* db_;
  std::string path_;
  FileIdentity identity_;
  BusyWait busy_;
  FifoMutex mutex_;                 // first come, first served: see Prune
  mutable std::mutex error_mutex_;  // guards last_error_ alone
  std::string last_error_;
  Statement find_controller_, insert_controller_, load_bookmark_, save_bookmark_, insert_event_,
      insert_gap_, insert_status_, set_online_, touch_, insert_audit_, save_counters_, old_events_,
      events_through_, delete_event_, event_id_from_newest_, prune_audit_, begin_, commit_,
      rollback_, journaled_records_, rename_controller_, keep_former_name_;
  std::vector<PruneStep> prune_steps_;
};

}  // namespace zarvod
