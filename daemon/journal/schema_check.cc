#include "journal/schema_check.h"

#include "journal/migrations.h"
#include "journal/statement.h"

namespace zarvod {

std::string ReadableSchemaProblem(sqlite3* db) {
  Statement steps(db, "SELECT count(*) FROM schema_migrations WHERE module = 'journal'");
  if (!steps.ok()) {
    const std::string why = sqlite3_errmsg(db);
    if (sqlite3_errcode(db) == SQLITE_NOTADB || why.rfind("no such table", 0) == 0) {
      return "not a zarvod journal (" + why + ")";
    }
    return "cannot be read: " + why;
  }
  if (steps.Step() != SQLITE_ROW) return std::string("cannot be read: ") + sqlite3_errmsg(db);
  const int64_t applied = steps.Int(0);
  // The journal's own steps; the other modules' tables are optional to readers.
  int64_t known = 0;
  for (const Migration& m : JournalMigrations()) known += m.module == "journal" ? 1 : 0;
  if (applied < known) {
    return "the journal was written by an older zarvod and is brought up to date when the "
           "daemon next starts (zarvod run); until then it cannot be read";
  }
  if (applied > known) return "the journal was written by a newer zarvod than this one";
  return "";
}

}  // namespace zarvod
