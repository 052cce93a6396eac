#include "journal/event_kinds_store.h"

#include "journal/statement.h"

namespace zarvod {

std::vector<Migration> EventKindsMigrations() {
  // value2 -1 names every event of value1 not named with its own value2.
  return {{"event_kinds", 1, R"sql(
CREATE TABLE event_kinds(
  value1 INTEGER NOT NULL, value2 INTEGER NOT NULL, words TEXT NOT NULL, door INTEGER NOT NULL,
  direction TEXT NOT NULL, PRIMARY KEY(value1, value2));
)sql"}};
}

bool SaveEventKinds(Journal& journal, const EventKinds& kinds, std::string& error) {
  auto lock = journal.Lock();
  sqlite3* db = journal.db();
  if (!Exec(db, "BEGIN IMMEDIATE", &error)) return false;
  Statement forget_all(db, "DELETE FROM event_kinds");
  Statement insert(db,
                   "INSERT INTO event_kinds(value1, value2, words, door, direction) "
                   "VALUES(?, ?, ?, ?, ?)");
  bool ok = forget_all.Run();
  for (const auto& [values, kind] : kinds.entries()) {
    if (!ok) break;
    ok = insert.Bind(1, int64_t{values.first})
             .Bind(2, int64_t{values.second})
             .Bind(3, kind.words)
             .Bind(4, int64_t{kind.door})
             .Bind(5, kind.direction)
             .Run();
  }
  if (!ok) {
    error = sqlite3_errmsg(db);
    Exec(db, "ROLLBACK");
    return false;
  }
  return Exec(db, "COMMIT", &error);
}

EventKinds LoadEventKinds(sqlite3* db) {
  EventKinds kinds;
  Statement all_kinds(db, "SELECT value1, value2, words, door, direction FROM event_kinds");
  if (!all_kinds.ok()) return kinds;
  while (all_kinds.Step() == SQLITE_ROW) {
    kinds.Name(static_cast<int>(all_kinds.Int(0)), static_cast<int>(all_kinds.Int(1)),
               {all_kinds.Text(2), static_cast<int>(all_kinds.Int(3)), all_kinds.Text(4)});
  }
  return kinds;
}

}  // namespace zarvod
