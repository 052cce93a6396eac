#include "journal/journal.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "journal/migrations.h"

namespace zarvod {
namespace {

// Retention deletes this many rows per transaction, and lets every line
// commit in between.
constexpr int kPruneBatch = 1000;

// Whether the step is recorded; nullopt when the journal could not tell.
std::optional<bool> Applied(sqlite3* db, const Migration& m) {
  Statement q(db, "SELECT 1 FROM schema_migrations WHERE module = ? AND step = ?");
  q.Bind(1, m.module).Bind(2, int64_t{m.step});
  const int rc = q.Step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return std::nullopt;
}

struct SchemaObject {
  std::string name, sql;
};

// Triggers and indexes written in SQL (not those SQLite makes itself).
std::optional<std::vector<SchemaObject>> TriggersAndIndexes(sqlite3* db) {
  Statement q(db,
              "SELECT name, sql FROM sqlite_master WHERE type IN ('trigger', 'index') AND sql IS "
              "NOT NULL");
  std::vector<SchemaObject> objects;
  int rc = SQLITE_DONE;
  while ((rc = q.Step()) == SQLITE_ROW) objects.push_back({q.Text(0), q.Text(1)});
  if (rc != SQLITE_DONE) return std::nullopt;
  return objects;
}

// A step that rebuilds a table drops the triggers and indexes other modules
// put on it with the old table: those are made again on the new one.
bool PutBackLost(sqlite3* db, const std::vector<SchemaObject>& before, std::string& error) {
  const std::optional<std::vector<SchemaObject>> after = TriggersAndIndexes(db);
  if (!after) {
    error = sqlite3_errmsg(db);
    return false;
  }
  for (const SchemaObject& object : before) {
    const bool kept = std::any_of(after->begin(), after->end(),
                                  [&](const SchemaObject& o) { return o.name == object.name; });
    if (!kept && !Exec(db, object.sql, &error)) return false;
  }
  return true;
}

bool ApplyStep(sqlite3* db, const Migration& m, std::string& error) {
  std::optional<std::vector<SchemaObject>> before;
  if (m.keeps_triggers_and_indexes) {
    before = TriggersAndIndexes(db);
    if (!before) {
      error = sqlite3_errmsg(db);
      return false;
    }
  }
  if (!Exec(db, m.sql, &error)) return false;
  return !before || PutBackLost(db, *before, error);
}

bool Apply(sqlite3* db, const Migration& m, std::string& error) {
  if (!Exec(db, "BEGIN IMMEDIATE", &error)) return false;
  const std::optional<bool> applied = Applied(db, m);
  if (applied.value_or(false)) return Exec(db, "COMMIT", &error);
  if (!applied || !ApplyStep(db, m, error)) {
    if (!applied) error = sqlite3_errmsg(db);
    error = m.module + " schema step " + std::to_string(m.step) + ": " + error;
    Exec(db, "ROLLBACK");
    return false;
  }
  Statement record(db, "INSERT INTO schema_migrations(module, step, applied_ms) VALUES(?, ?, ?)");
  record.Bind(1, m.module).Bind(2, int64_t{m.step}).Bind(3, NowMs());
  if (!record.Run()) {
    error = sqlite3_errmsg(db);
    Exec(db, "ROLLBACK");
    return false;
  }
  return Exec(db, "COMMIT", &error);
}

bool Migrate(sqlite3* db, std::string& error) {
  if (!Exec(db,
            "CREATE TABLE IF NOT EXISTS schema_migrations(module TEXT NOT NULL, step INTEGER NOT "
            "NULL, applied_ms INTEGER NOT NULL, PRIMARY KEY(module, step))",
            &error)) {
    return false;
  }
  std::vector<Migration> steps = JournalMigrations();
  std::vector<Migration> others = RegisteredMigrations();
  std::stable_sort(others.begin(), others.end(),
                   [](const Migration& a, const Migration& b) { return a.step < b.step; });
  steps.insert(steps.end(), others.begin(), others.end());
  for (const Migration& m : steps) {
    if (!Apply(db, m, error)) return false;
  }
  return true;
}

}  // namespace

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, std::string& error) {
  error = PrepareJournalFile(path);
  if (!error.empty()) return nullptr;
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<Journal> journal(new Journal(db));
  journal->path_ = path;
  journal->identity_ = IdentityAt(path).value_or(FileIdentity{});
  // SQLite opens a file it cannot write read-only without a word; a daemon
  // on it would collect nothing.
  if (sqlite3_db_readonly(db, "main") == 1) {
    error = "journal " + path + " can only be read here (a read-only file or file system)";
    return nullptr;
  }
  journal->busy_.Install(db);
  // The -wal and -shm files stay when the last connection closes, so that
  // readers who may not create files in the journal's folder (the zarvod
  // group) can read it while no daemon runs.
  int persist_wal = 1;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist_wal);
  // FULL: a commit is on disk before CommitEvent returns, so the controller's
  // read position never moves past an event a power cut could take back.
  if (!Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON",
            &error) ||
      !Migrate(db, error)) {
    error = path + ": " + error;
    if (sqlite3_errcode(db) == SQLITE_BUSY) {
      error += " (another process holds the journal's write lock)";
    }
    return nullptr;
  }
  if (!journal->Prepare()) {
    error = path + ": " + sqlite3_errmsg(db);
    return nullptr;
  }
  return journal;
}

Journal::~Journal() {
  // Statements first: a connection with live statements does not close.
  for (Statement* s : {&find_controller_,
                       &insert_controller_,
                       &load_bookmark_,
                       &save_bookmark_,
                       &insert_event_,
                       &insert_gap_,
                       &insert_status_,
                       &set_online_,
                       &touch_,
                       &insert_audit_,
                       &save_counters_,
                       &old_events_,
                       &events_through_,
                       &delete_event_,
                       &event_id_from_newest_,
                       &prune_audit_,
                       &begin_,
                       &commit_,
                       &rollback_,
                       &journaled_records_,
                       &rename_controller_,
                       &keep_former_name_}) {
    *s = Statement();
  }
  sqlite3_close(db_);
}

bool Journal::Prepare() {
  find_controller_ =
      Statement(db_, "SELECT id, name FROM controllers WHERE site=? AND line=? AND address=?");
  rename_controller_ = Statement(db_, "UPDATE controllers SET name=? WHERE id=?");
  keep_former_name_ = Statement(db_, "INSERT OR IGNORE INTO former_names(site, name) VALUES(?, ?)");
  insert_controller_ =
      Statement(db_, "INSERT INTO controllers(site, line, address, name) VALUES(?, ?, ?, ?)");
  load_bookmark_ = Statement(db_,
                             "SELECT next_seq, position, has_last, last_raw, count, set_aside, "
                             "ahead, anchor_raw FROM bookmarks WHERE controller_id=?");
  save_bookmark_ = Statement(db_,
                             "INSERT OR REPLACE INTO bookmarks(controller_id, next_seq, position, "
                             "has_last, last_raw, count, set_aside, ahead, anchor_raw) "
                             "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert_event_ = Statement(db_,
                            "INSERT INTO events(controller_id, seq, raw, controller_time, value1, "
                            "value2, number1, number2, received_ms) VALUES(?,?,?,?,?,?,?,?,?)");
  insert_gap_ = Statement(db_,
                          "INSERT INTO gaps(controller_id, after_seq, kind, lost, detected_ms, "
                          "detail) VALUES(?, ?, ?, ?, ?, ?)");
  insert_status_ = Statement(
      db_, "INSERT INTO status_changes(controller_id, at_ms, online, detail) VALUES(?, ?, ?, ?)");
  set_online_ = Statement(db_,
                          "UPDATE controllers SET online=?, version=coalesce(nullif(?, ''), "
                          "version), last_seen_ms=CASE WHEN ? THEN ? ELSE last_seen_ms END "
                          "WHERE id=?");
  touch_ = Statement(db_, "UPDATE controllers SET last_seen_ms=? WHERE id=?");
  insert_audit_ = Statement(db_,
                            "INSERT INTO audit(at_ms, who, site, line, address, what, result) "
                            "VALUES(?, ?, ?, ?, ?, ?, ?)");
  save_counters_ = Statement(
      db_, "INSERT OR REPLACE INTO line_counters(site, line, at_ms, counters) VALUES(?, ?, ?, ?)");
  // Events a bookmark still needs are kept: from the anchor (sequence
  // next_seq - 1 - ahead) on.
  old_events_ = Statement(db_,
                          "SELECT e.id FROM events e LEFT JOIN bookmarks b ON b.controller_id = "
                          "e.controller_id WHERE e.received_ms < ? AND (b.controller_id IS NULL "
                          "OR e.seq < b.next_seq - 1 - b.ahead) LIMIT ?");
  events_through_ = Statement(db_,
                              "SELECT e.id FROM events e LEFT JOIN bookmarks b ON "
                              "b.controller_id = e.controller_id WHERE e.id > ? AND e.id <= ? "
                              "AND (b.controller_id IS NULL OR e.seq < b.next_seq - 1 - b.ahead) "
                              "ORDER BY e.id LIMIT ?");
  delete_event_ = Statement(db_, "DELETE FROM events WHERE id = ?");
  event_id_from_newest_ = Statement(db_, "SELECT id FROM events ORDER BY id DESC LIMIT 1 OFFSET ?");
  prune_audit_ = Statement(
      db_, "DELETE FROM audit WHERE id IN (SELECT id FROM audit WHERE at_ms < ? LIMIT ?)");
  journaled_records_ = Statement(
      db_, "SELECT raw FROM events WHERE controller_id=? AND seq BETWEEN ? AND ? ORDER BY seq");
  begin_ = Statement(db_, "BEGIN IMMEDIATE");
  commit_ = Statement(db_, "COMMIT");
  rollback_ = Statement(db_, "ROLLBACK");
  for (const Statement* s : {&find_controller_,
                             &insert_controller_,
                             &load_bookmark_,
                             &save_bookmark_,
                             &insert_event_,
                             &insert_gap_,
                             &insert_status_,
                             &set_online_,
                             &touch_,
                             &insert_audit_,
                             &save_counters_,
                             &old_events_,
                             &events_through_,
                             &delete_event_,
                             &event_id_from_newest_,
                             &prune_audit_,
                             &begin_,
                             &commit_,
                             &rollback_,
                             &journaled_records_,
                             &rename_controller_,
                             &keep_former_name_}) {
    if (!s->ok()) return false;
  }
  return true;
}

bool Journal::StillAtPath() {
  std::string change = FileChange();
  if (change.empty()) return true;
  SetError(std::move(change));
  return false;
}

void Journal::SetError(std::string text) {
  std::lock_guard<std::mutex> lock(error_mutex_);
  last_error_ = std::move(text);
}

bool Journal::Fail(const char* what) {
  SetError(std::string(what) + ": " + sqlite3_errmsg(db_));
  if (!sqlite3_get_autocommit(db_)) rollback_.Run();
  return false;
}

std::optional<int64_t> Journal::Controller(const ControllerKey& key) {
  std::lock_guard<FifoMutex> lock(mutex_);
  find_controller_.Bind(1, key.site).Bind(2, key.line).Bind(3, int64_t{key.address});
  const int rc = find_controller_.Step();
  const int64_t id = rc == SQLITE_ROW ? find_controller_.Int(0) : 0;
  const std::string stored_name = rc == SQLITE_ROW ? find_controller_.Text(1) : "";
  find_controller_.Reset();
  if (rc == SQLITE_ROW && stored_name != key.name) {
    keep_former_name_.Bind(1, key.site).Bind(2, stored_name);
    rename_controller_.Bind(1, key.name).Bind(2, id);
    if (!keep_former_name_.Run() || !rename_controller_.Run()) {
      Fail("renaming a controller");
      return std::nullopt;
    }
  }
  if (rc == SQLITE_ROW) return id;
  if (rc != SQLITE_DONE) {
    Fail("looking up a controller");
    return std::nullopt;
  }
  insert_controller_.Bind(1, key.site).Bind(2, key.line).Bind(3, int64_t{key.address});
  insert_controller_.Bind(4, key.name);
  if (!insert_controller_.Run()) {
    Fail("adding a controller");
    return std::nullopt;
  }
  return sqlite3_last_insert_rowid(db_);
}

std::optional<Bookmark> Journal::LoadBookmark(int64_t controller) {
  std::lock_guard<FifoMutex> lock(mutex_);
  Bookmark b;
  load_bookmark_.Bind(1, controller);
  const int rc = load_bookmark_.Step();
  if (rc == SQLITE_ROW) {
    b.known = true;
    b.next_seq = load_bookmark_.Int(0);
    b.position = static_cast<int>(load_bookmark_.Int(1));
    b.has_last = load_bookmark_.Int(2) != 0;
    const std::string raw = load_bookmark_.Blob(3);
    if (raw.size() == b.last.size()) std::memcpy(b.last.data(), raw.data(), raw.size());
    b.count = static_cast<int>(load_bookmark_.Int(4));
    b.set_aside = static_cast<int>(load_bookmark_.Int(5));
    b.ahead = static_cast<int>(load_bookmark_.Int(6));
    const std::string anchor = load_bookmark_.Blob(7);
    if (anchor.size() == b.anchor.size()) {
      std::memcpy(b.anchor.data(), anchor.data(), anchor.size());
    } else {
      b.anchor = b.last;  // a bookmark from before block reads
    }
  }
  load_bookmark_.Reset();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    Fail("reading a bookmark");
    return std::nullopt;
  }
  return b;
}

bool Journal::WriteBookmark(int64_t controller, const Bookmark& b) {
  save_bookmark_.Bind(1, controller).Bind(2, b.next_seq).Bind(3, int64_t{b.position});
  save_bookmark_.Bind(4, int64_t{b.has_last});
  if (b.has_last) {
    save_bookmark_.Bind(5, b.last.data(), static_cast<int>(b.last.size()));
  } else {
    save_bookmark_.BindNull(5);
  }
  save_bookmark_.Bind(6, int64_t{b.count}).Bind(7, int64_t{b.set_aside});
  save_bookmark_.Bind(8, int64_t{b.ahead});
  save_bookmark_.Bind(9, b.anchor.data(), static_cast<int>(b.anchor.size()));
  return save_bookmark_.Run();
}

bool Journal::InsertEvent(int64_t controller, int64_t seq, const StoredRecord& record,
                          int64_t received_ms) {
  const DecodedEvent e = Decode(record);
  insert_event_.Bind(1, controller).Bind(2, seq);
  insert_event_.Bind(3, record.data(), static_cast<int>(record.size()));
  insert_event_.Bind(4, e.controller_time).Bind(5, int64_t{e.value1}).Bind(6, int64_t{e.value2});
  insert_event_.Bind(7, int64_t{e.number1}).Bind(8, int64_t{e.number2}).Bind(9, received_ms);
  return insert_event_.Run();
}

bool Journal::CommitEvent(int64_t controller, const StoredRecord& record, int64_t received_ms,
                          const Bookmark& bookmark) {
  std::lock_guard<FifoMutex> lock(mutex_);
  if (!StillAtPath()) return false;
  if (!begin_.Run()) return Fail("starting a transaction");
  if (!InsertEvent(controller, bookmark.next_seq - 1, record, received_ms)) {
    return Fail("journaling an event");
  }
  if (!WriteBookmark(controller, bookmark)) return Fail("writing a bookmark");
  if (!commit_.Run()) return Fail("committing an event");
  return true;
}

bool Journal::CommitEvents(int64_t controller, const std::vector<StoredRecord>& records,
                           int64_t received_ms, const Bookmark& bookmark) {
  std::lock_guard<FifoMutex> lock(mutex_);
  if (!StillAtPath()) return false;
  if (!begin_.Run()) return Fail("starting a transaction");
  int64_t seq = bookmark.next_seq - static_cast<int64_t>(records.size());
  for (const StoredRecord& record : records) {
    if (!InsertEvent(controller, seq++, record, received_ms)) return Fail("journaling an event");
  }
  if (!WriteBookmark(controller, bookmark)) return Fail("writing a bookmark");
  if (!commit_.Run()) return Fail("committing events");
  return true;
}

std::optional<std::vector<StoredRecord>> Journal::JournaledRecords(int64_t controller,
                                                                   int64_t first, int64_t last) {
  std::lock_guard<FifoMutex> lock(mutex_);
  std::vector<StoredRecord> records;
  journaled_records_.Bind(1, controller).Bind(2, first).Bind(3, last);
  int rc = SQLITE_DONE;
  while ((rc = journaled_records_.Step()) == SQLITE_ROW) {
    const std::string raw = journaled_records_.Blob(0);
    StoredRecord r{};
    if (raw.size() == r.size()) std::memcpy(r.data(), raw.data(), raw.size());
    records.push_back(r);
  }
  journaled_records_.Reset();
  if (rc != SQLITE_DONE) {
    Fail("reading journaled events");
    return std::nullopt;
  }
  return records;
}

bool Journal::SaveBookmark(int64_t controller, const Bookmark& bookmark) {
  std::lock_guard<FifoMutex> lock(mutex_);
  return WriteBookmark(controller, bookmark) || Fail("writing a bookmark");
}

bool Journal::RecordGap(int64_t controller, int64_t after_seq, const Gap& gap) {
  std::lock_guard<FifoMutex> lock(mutex_);
  insert_gap_.Bind(1, controller).Bind(2, after_seq).Bind(3, gap.kind);
  if (gap.lost) {
    insert_gap_.Bind(4, int64_t{*gap.lost});
  } else {
    insert_gap_.BindNull(4);
  }
  insert_gap_.Bind(5, NowMs()).Bind(6, gap.detail);
  return insert_gap_.Run() || Fail("recording a gap");
}

bool Journal::RecordGap(int64_t controller, int64_t after_seq, const Gap& gap,
                        const Bookmark& bookmark) {
  std::lock_guard<FifoMutex> lock(mutex_);
  if (!StillAtPath()) return false;
  if (!begin_.Run()) return Fail("starting a transaction");
  if (!WriteBookmark(controller, bookmark)) return Fail("writing a bookmark");
  insert_gap_.Bind(1, controller).Bind(2, after_seq).Bind(3, gap.kind);
  if (gap.lost) {
    insert_gap_.Bind(4, int64_t{*gap.lost});
  } else {
    insert_gap_.BindNull(4);
  }
  insert_gap_.Bind(5, NowMs()).Bind(6, gap.detail);
  if (!insert_gap_.Run()) return Fail("recording a gap");
  return commit_.Run() || Fail("recording a gap");
}

bool Journal::RecordStatus(int64_t controller, bool online, const std::string& version,
                           const std::string& detail) {
  std::lock_guard<FifoMutex> lock(mutex_);
  const int64_t now = NowMs();
  if (!begin_.Run()) return Fail("starting a transaction");
  insert_status_.Bind(1, controller).Bind(2, now).Bind(3, int64_t{online}).Bind(4, detail);
  if (!insert_status_.Run()) return Fail("recording a status change");
  set_online_.Bind(1, int64_t{online}).Bind(2, version).Bind(3, int64_t{online}).Bind(4, now);
  set_online_.Bind(5, controller);
  if (!set_online_.Run()) return Fail("recording a status change");
  return commit_.Run() || Fail("recording a status change");
}

bool Journal::Touch(const std::vector<int64_t>& controllers) {
  std::lock_guard<FifoMutex> lock(mutex_);
  const int64_t now = NowMs();
  if (!begin_.Run()) return Fail("starting a transaction");
  for (const int64_t controller : controllers) {
    touch_.Bind(1, now).Bind(2, controller);
    if (!touch_.Run()) return Fail("noting a reply");
  }
  return commit_.Run() || Fail("noting a reply");
}

bool Journal::RecordCommand(const AuditEntry& a) {
  std::lock_guard<FifoMutex> lock(mutex_);
  insert_audit_.Bind(1, NowMs()).Bind(2, a.who).Bind(3, a.site).Bind(4, a.line);
  insert_audit_.Bind(5, int64_t{a.address}).Bind(6, a.what).Bind(7, int64_t{a.result});
  return insert_audit_.Run() || Fail("recording a command");
}

bool Journal::SaveLineCounters(const std::string& site, const std::string& line,
                               const std::string& counters) {
  std::lock_guard<FifoMutex> lock(mutex_);
  save_counters_.Bind(1, site).Bind(2, line).Bind(3, NowMs()).Bind(4, counters);
  return save_counters_.Run() || Fail("saving line counters");
}

void Journal::AddPruneStep(PruneStep step) {
  std::lock_guard<FifoMutex> lock(mutex_);
  prune_steps_.push_back(std::move(step));
}

int64_t Journal::DeleteSelectedEvents(Statement& select, int64_t& last_id) {
  std::vector<int64_t> ids;
  int rc = SQLITE_DONE;
  while ((rc = select.Step()) == SQLITE_ROW) ids.push_back(select.Int(0));
  select.Reset();
  if (rc != SQLITE_DONE) return -1;
  for (const int64_t id : ids) {
    delete_event_.Bind(1, id);
    if (!delete_event_.Run()) return -1;
  }
  if (!ids.empty()) last_id = ids.back();
  return static_cast<int64_t>(ids.size());
}

bool Journal::PruneInBatches(const std::function<int64_t()>& step, int64_t& deleted) {
  for (;;) {
    int64_t n = 0;
    {
      std::lock_guard<FifoMutex> lock(mutex_);
      if (!begin_.Run()) return Fail("starting to prune");
      n = step();
      if (n < 0) return Fail("pruning");
      if (!commit_.Run()) return Fail("committing a prune");
    }
    // Lines that came to commit meanwhile have the lock before the next batch.
    deleted += n;
    if (n < kPruneBatch) return true;
  }
}

int64_t Journal::Prune(int days, int64_t keep) {
  int64_t deleted = 0, last_id = 0;
  const int64_t cutoff_ms = NowMs() - int64_t{days} * 86400000;
  const auto old_events = [&] {
    old_events_.Bind(1, cutoff_ms).Bind(2, int64_t{kPruneBatch});
    return DeleteSelectedEvents(old_events_, last_id);
  };
  if (days > 0 && !PruneInBatches(old_events, deleted)) return -1;
  if (keep > 0) {
    std::optional<int64_t> through = NewestEventBeyond(keep);
    if (!through) return -1;
    last_id = 0;
    const auto events_through = [&] {
      events_through_.Bind(1, last_id).Bind(2, *through).Bind(3, int64_t{kPruneBatch});
      return DeleteSelectedEvents(events_through_, last_id);
    };
    if (*through > 0 && !PruneInBatches(events_through, deleted)) return -1;
  }
  if (days > 0 && !PruneOthers(cutoff_ms)) return -1;
  return deleted;
}

std::optional<int64_t> Journal::NewestEventBeyond(int64_t keep) {
  std::lock_guard<FifoMutex> lock(mutex_);
  event_id_from_newest_.Bind(1, keep);
  const int rc = event_id_from_newest_.Step();
  const int64_t id = rc == SQLITE_ROW ? event_id_from_newest_.Int(0) : 0;
  event_id_from_newest_.Reset();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    Fail("pruning events");
    return std::nullopt;
  }
  return id;
}

bool Journal::PruneOthers(int64_t cutoff_ms) {
  int64_t deleted = 0;
  const auto audit = [&]() -> int64_t {
    prune_audit_.Bind(1, cutoff_ms).Bind(2, int64_t{kPruneBatch});
    return prune_audit_.Run() ? sqlite3_changes(db_) : -1;
  };
  if (!PruneInBatches(audit, deleted)) return false;
  std::vector<PruneStep> steps;
  {
    std::lock_guard<FifoMutex> lock(mutex_);
    steps = prune_steps_;
  }
  for (const PruneStep& step : steps) {
    if (!PruneInBatches([&] { return step(db_, cutoff_ms, kPruneBatch); }, deleted)) return false;
  }
  return true;
}

}  // namespace zarvod
