#include "sqlite_card_list_store.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace zarvod::cards {
namespace {

constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE IF NOT EXISTS card_list (
  controller TEXT NOT NULL,
  number INTEGER NOT NULL,
  number2 INTEGER NOT NULL,
  pin TEXT NOT NULL,
  flags INTEGER NOT NULL,
  value1 INTEGER NOT NULL,
  value2 INTEGER NOT NULL,
  date TEXT NOT NULL,
  flagged INTEGER NOT NULL,
  certain INTEGER NOT NULL,
  written_at INTEGER NOT NULL,
  PRIMARY KEY (controller, number, number2)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS card_apply_runs (
  id INTEGER PRIMARY KEY,
  source TEXT NOT NULL,
  started_at INTEGER NOT NULL,
  finished_at INTEGER,
  planned INTEGER NOT NULL,
  done INTEGER,
  failed INTEGER,
  interrupted INTEGER
);
CREATE TABLE IF NOT EXISTS card_changes (
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL REFERENCES card_apply_runs(id),
  at INTEGER NOT NULL,
  controller TEXT NOT NULL,
  action TEXT NOT NULL,
  number INTEGER NOT NULL,
  number2 INTEGER NOT NULL,
  outcome TEXT NOT NULL,
  result INTEGER NOT NULL
);
)sql";

// What was written is kept by line and bus address, not by the controller's
// name: a controller renamed in the site file keeps its cards, and a card
// taken out of the file is still deleted from it. Rows kept by name move to
// the new table the first time their controller is looked at (see Written).
constexpr const char* kSchemaV2 = R"sql(
CREATE TABLE IF NOT EXISTS card_written (
  line TEXT NOT NULL,
  address INTEGER NOT NULL,
  number INTEGER NOT NULL,
  number2 INTEGER NOT NULL,
  pin TEXT NOT NULL,
  flags INTEGER NOT NULL,
  value1 INTEGER NOT NULL,
  value2 INTEGER NOT NULL,
  date TEXT NOT NULL,
  flagged INTEGER NOT NULL,
  certain INTEGER NOT NULL,
  written_at INTEGER NOT NULL,
  PRIMARY KEY (line, address, number, number2)
) WITHOUT ROWID;
)sql";

// The changes' line and address, beside the name the controller had then.
// Its own step: ALTER TABLE cannot be run twice.
constexpr const char* kSchemaV3 = R"sql(
ALTER TABLE card_changes ADD COLUMN line TEXT;
ALTER TABLE card_changes ADD COLUMN address INTEGER;
)sql";

std::string DateText(const CardEntry& e) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", e.year, e.month, e.day);
  return text;
}

void ParseDateText(const unsigned char* text, CardEntry& e) {
  if (text == nullptr) return;
  std::sscanf(reinterpret_cast<const char*>(text), "%d-%d-%d", &e.year, &e.month, &e.day);
}

std::string ColumnText(sqlite3_stmt* s, int column) {
  const unsigned char* text = sqlite3_column_text(s, column);
  return text == nullptr ? std::string() : reinterpret_cast<const char*>(text);
}

}  // namespace

const char* ChangeKindName(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kAdd: return "add";
    case ChangeKind::kChange: return "change";
    case ChangeKind::kRemove: return "remove";
  }
  return "?";
}

const char* OutcomeName(ChangeOutcome outcome) {
  switch (outcome) {
    case ChangeOutcome::kDone: return "done";
    case ChangeOutcome::kUncertain: return "uncertain";
    case ChangeOutcome::kFailed: return "failed";
    case ChangeOutcome::kSkipped: return "skipped";
  }
  return "?";
}

const std::vector<std::string>& CardListMigrations() {
  static const std::vector<std::string> steps = {kSchemaV1, kSchemaV2, kSchemaV3};
  return steps;
}

void SqliteCardListStore::EnsureSchema(sqlite3* db) {
  for (const std::string& step : CardListMigrations()) {
    if (step == kSchemaV3 && HasChangeLines(db)) continue;
    char* error = nullptr;
    if (sqlite3_exec(db, step.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error != nullptr ? error : "unknown error";
      sqlite3_free(error);
      throw std::runtime_error("card list tables: " + message);
    }
  }
}

bool SqliteCardListStore::HasChangeLines(sqlite3* db) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_table_info('card_changes') WHERE name = 'line'", -1,
                     &s, nullptr);
  const bool has = s != nullptr && sqlite3_step(s) == SQLITE_ROW;
  sqlite3_finalize(s);
  return has;
}

SqliteCardListStore::SqliteCardListStore(sqlite3* db)
    : db_(db),
      select_cards_(Prepare("SELECT number, number2, pin, flags, value1, value2, date, flagged, "
                            "certain FROM card_written WHERE line = ?1 AND address = ?2")),
      put_card_(Prepare("INSERT OR REPLACE INTO card_written VALUES "
                        "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)")),
      delete_card_(Prepare("DELETE FROM card_written WHERE line = ?1 AND address = ?2 AND "
                           "number = ?3 AND number2 = ?4")),
      find_named_(Prepare("SELECT 1 FROM card_list WHERE controller = ?1 LIMIT 1")),
      adopt_named_(Prepare("INSERT OR IGNORE INTO card_written SELECT ?2, ?3, number, number2, "
                           "pin, flags, value1, value2, date, flagged, certain, written_at "
                           "FROM card_list WHERE controller = ?1")),
      drop_named_(Prepare("DELETE FROM card_list WHERE controller = ?1")),
      insert_run_(Prepare("INSERT INTO card_apply_runs (source, started_at, planned) "
                          "VALUES (?1, ?2, ?3) RETURNING id")),
      finish_run_(Prepare("UPDATE card_apply_runs SET finished_at = ?2, done = ?3, failed = ?4, "
                          "interrupted = ?5 WHERE id = ?1")),
      insert_change_(Prepare("INSERT INTO card_changes (run, at, controller, action, number, "
                             "number2, outcome, result, line, address) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)")) {}

SqliteCardListStore::~SqliteCardListStore() {
  for (sqlite3_stmt* s : {select_cards_, put_card_, delete_card_, find_named_, adopt_named_,
                          drop_named_, insert_run_, finish_run_, insert_change_}) {
    sqlite3_finalize(s);
  }
}

sqlite3_stmt* SqliteCardListStore::Prepare(const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
      SQLITE_OK) {
    throw std::runtime_error(std::string("card list store: ") + sqlite3_errmsg(db_));
  }
  return statement;
}

void SqliteCardListStore::Step(sqlite3_stmt* statement) {
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  if (rc != SQLITE_DONE) {
    throw std::runtime_error(std::string("card list store: ") + sqlite3_errstr(rc));
  }
}

void SqliteCardListStore::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("card list store: ") + sqlite3_errmsg(db_));
  }
}

bool SqliteCardListStore::HasNamedRows(const std::string& name) {
  sqlite3_bind_text(find_named_, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  const int rc = sqlite3_step(find_named_);
  sqlite3_reset(find_named_);
  sqlite3_clear_bindings(find_named_);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw std::runtime_error(std::string("card list store: ") + sqlite3_errstr(rc));
  }
  return rc == SQLITE_ROW;
}

void SqliteCardListStore::AdoptNamedRows(const ControllerRef& c) {
  if (!HasNamedRows(c.name)) return;
  Exec("SAVEPOINT card_adopt");
  try {
    sqlite3_bind_text(adopt_named_, 1, c.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(adopt_named_, 2, c.line.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(adopt_named_, 3, c.address);
    Step(adopt_named_);
    sqlite3_bind_text(drop_named_, 1, c.name.c_str(), -1, SQLITE_TRANSIENT);
    Step(drop_named_);
    Exec("RELEASE card_adopt");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK TO card_adopt; RELEASE card_adopt", nullptr, nullptr, nullptr);
    throw;
  }
}

StoredCards SqliteCardListStore::Written(const ControllerRef& controller) {
  std::lock_guard lock(mutex_);
  AdoptNamedRows(controller);
  StoredCards cards;
  sqlite3_bind_text(select_cards_, 1, controller.line.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(select_cards_, 2, controller.address);
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(select_cards_)) == SQLITE_ROW) {
    StoredCard card;
    CardEntry& e = card.entry;
    e.key.number = static_cast<uint32_t>(sqlite3_column_int64(select_cards_, 0));
    e.key.number2 = static_cast<uint32_t>(sqlite3_column_int64(select_cards_, 1));
    e.pin = ColumnText(select_cards_, 2);
    e.flags = static_cast<uint32_t>(sqlite3_column_int64(select_cards_, 3));
    e.value1 = sqlite3_column_int(select_cards_, 4);
    e.value2 = sqlite3_column_int(select_cards_, 5);
    ParseDateText(sqlite3_column_text(select_cards_, 6), e);
    e.flagged = sqlite3_column_int(select_cards_, 7) != 0;
    card.certain = sqlite3_column_int(select_cards_, 8) != 0;
    cards[e.key] = card;
  }
  sqlite3_reset(select_cards_);
  sqlite3_clear_bindings(select_cards_);
  if (rc != SQLITE_DONE) {
    throw std::runtime_error(std::string("card list store: ") + sqlite3_errstr(rc));
  }
  return cards;
}

int64_t SqliteCardListStore::BeginRun(const std::string& source, int64_t planned) {
  std::lock_guard lock(mutex_);
  sqlite3_bind_text(insert_run_, 1, source.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(insert_run_, 2, std::time(nullptr));
  sqlite3_bind_int64(insert_run_, 3, planned);
  // The id comes back with the row: another user of a shared connection
  // may insert in between, so the connection's last rowid could be theirs.
  const int rc = sqlite3_step(insert_run_);
  const int64_t id = rc == SQLITE_ROW ? sqlite3_column_int64(insert_run_, 0) : 0;
  const int done = rc == SQLITE_ROW ? sqlite3_step(insert_run_) : rc;
  sqlite3_reset(insert_run_);
  sqlite3_clear_bindings(insert_run_);
  if (done != SQLITE_DONE) {
    throw std::runtime_error(std::string("card list store: ") + sqlite3_errstr(done));
  }
  return id;
}

void SqliteCardListStore::Put(const ControllerRef& c, const CardEntry& e, bool certain) {
  const std::string date = DateText(e);
  sqlite3_bind_text(put_card_, 1, c.line.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(put_card_, 2, c.address);
  sqlite3_bind_int64(put_card_, 3, e.key.number);
  sqlite3_bind_int64(put_card_, 4, e.key.number2);
  sqlite3_bind_text(put_card_, 5, e.pin.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(put_card_, 6, e.flags);
  sqlite3_bind_int(put_card_, 7, e.value1);
  sqlite3_bind_int(put_card_, 8, e.value2);
  sqlite3_bind_text(put_card_, 9, date.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(put_card_, 10, e.flagged ? 1 : 0);
  sqlite3_bind_int(put_card_, 11, certain ? 1 : 0);
  sqlite3_bind_int64(put_card_, 12, std::time(nullptr));
  Step(put_card_);
}

void SqliteCardListStore::Remove(const ControllerRef& c, const CardKey& key) {
  sqlite3_bind_text(delete_card_, 1, c.line.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(delete_card_, 2, c.address);
  sqlite3_bind_int64(delete_card_, 3, key.number);
  sqlite3_bind_int64(delete_card_, 4, key.number2);
  Step(delete_card_);
}

void SqliteCardListStore::Record(int64_t run, const ControllerRef& controller,
                                 const CardChange& change, ChangeOutcome outcome, int32_t result) {
  std::lock_guard lock(mutex_);
  // A savepoint, not BEGIN: on a connection shared with the journal it nests
  // in a batch the journal has open (and commits with it); on its own it is
  // a transaction of its own.
  Exec("SAVEPOINT card_change");
  try {
    sqlite3_bind_int64(insert_change_, 1, run);
    sqlite3_bind_int64(insert_change_, 2, std::time(nullptr));
    sqlite3_bind_text(insert_change_, 3, controller.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert_change_, 4, ChangeKindName(change.kind), -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert_change_, 5, change.entry.key.number);
    sqlite3_bind_int64(insert_change_, 6, change.entry.key.number2);
    sqlite3_bind_text(insert_change_, 7, OutcomeName(outcome), -1, SQLITE_STATIC);
    sqlite3_bind_int(insert_change_, 8, result);
    sqlite3_bind_text(insert_change_, 9, controller.line.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert_change_, 10, controller.address);
    Step(insert_change_);
    const bool removal = change.kind == ChangeKind::kRemove;
    if (outcome == ChangeOutcome::kDone && removal) {
      Remove(controller, change.entry.key);
    } else if (outcome == ChangeOutcome::kDone || outcome == ChangeOutcome::kUncertain) {
      Put(controller, change.entry, outcome == ChangeOutcome::kDone);
    }
    Exec("RELEASE card_change");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK TO card_change; RELEASE card_change", nullptr, nullptr, nullptr);
    throw;
  }
}

void SqliteCardListStore::Observed(const ControllerRef& controller, const CardKey& key,
                                   const CardEntry* found) {
  std::lock_guard lock(mutex_);
  if (found != nullptr) {
    Put(controller, *found, true);
  } else {
    Remove(controller, key);
  }
}

void SqliteCardListStore::FinishRun(int64_t run, int64_t done, int64_t failed, bool interrupted) {
  std::lock_guard lock(mutex_);
  sqlite3_bind_int64(finish_run_, 1, run);
  sqlite3_bind_int64(finish_run_, 2, std::time(nullptr));
  sqlite3_bind_int64(finish_run_, 3, done);
  sqlite3_bind_int64(finish_run_, 4, failed);
  sqlite3_bind_int(finish_run_, 5, interrupted ? 1 : 0);
  Step(finish_run_);
}

}  // namespace zarvod::cards
