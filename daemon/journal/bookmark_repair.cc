#include "journal/bookmark_repair.h"

#include "journal/statement.h"

namespace zarvod {

std::vector<RepairedBookmark> RepairBookmarksBehindEvents(Journal& journal, std::string& error) {
  auto lock = journal.Lock();
  sqlite3* db = journal.db();
  Statement behind(db,
                   "SELECT b.controller_id, b.next_seq, m.top, c.line, c.name, "
                   "(SELECT raw FROM events e WHERE e.controller_id = b.controller_id "
                   " AND e.seq = m.top) "
                   "FROM bookmarks b "
                   "JOIN (SELECT controller_id, max(seq) AS top FROM events GROUP BY "
                   "controller_id) m ON m.controller_id = b.controller_id "
                   "JOIN controllers c ON c.id = b.controller_id WHERE b.next_seq <= m.top");
  // The bookmark rests on the newest event, nothing journaled after it; the
  // next turn's look finds the read position from there.
  Statement bring_forward(db,
                          "UPDATE bookmarks SET next_seq = ?, has_last = 1, last_raw = ?, "
                          "ahead = 0, anchor_raw = ? WHERE controller_id = ?");
  std::vector<RepairedBookmark> repaired;
  if (!behind.ok() || !bring_forward.ok() || !Exec(db, "BEGIN IMMEDIATE", &error)) {
    if (error.empty()) error = sqlite3_errmsg(db);
    return repaired;
  }
  int step = SQLITE_ROW;
  while ((step = behind.Step()) == SQLITE_ROW) {
    const std::string newest = behind.Blob(5);
    repaired.push_back({behind.Text(3), behind.Text(4), behind.Int(1), behind.Int(2) + 1});
    bring_forward.Bind(1, repaired.back().next_seq);
    bring_forward.Bind(2, newest.data(), static_cast<int>(newest.size()));
    bring_forward.Bind(3, newest.data(), static_cast<int>(newest.size()));
    bring_forward.Bind(4, behind.Int(0));
    if (!bring_forward.Run()) {
      step = SQLITE_ERROR;
      break;
    }
  }
  behind.Reset();
  if (step != SQLITE_DONE || !Exec(db, "COMMIT", &error)) {
    if (error.empty()) error = sqlite3_errmsg(db);
    Exec(db, "ROLLBACK");
    repaired.clear();
  }
  return repaired;
}

}  // namespace zarvod
