#include "journal/journal_reader.h"

#include <algorithm>
#include <cstring>

#include "journal/event_kinds_store.h"
#include "journal/schema_check.h"
#include "journal/site_settings.h"
#include "journal/statement.h"

namespace zarvod {
namespace {

std::optional<int64_t> OptionalInt(const Statement& s, int column) {
  if (s.IsNull(column)) return std::nullopt;
  return s.Int(column);
}

}  // namespace

std::unique_ptr<JournalReader> JournalReader::Open(const std::string& path, std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 5000);
  std::unique_ptr<JournalReader> reader(new JournalReader(db));
  if (const std::string problem = ReadableSchemaProblem(db); !problem.empty()) {
    error = path + ": " + problem;
    return nullptr;
  }
  return reader;
}

JournalReader::~JournalReader() { sqlite3_close(db_); }

EventKinds JournalReader::Kinds() { return LoadEventKinds(db_); }

std::string JournalReader::SiteTimeZone() {
  return ReadSiteSetting(db_, kTimeZoneSetting).value_or("");
}

bool JournalReader::ForEachRow(Statement& q, const std::function<void()>& each, size_t limit) {
  last_error_.clear();
  int rc = SQLITE_DONE;
  for (size_t n = 0; n < limit && (rc = q.Step()) == SQLITE_ROW; ++n) each();
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
  last_error_ = sqlite3_errmsg(db_);
  return false;
}

int64_t JournalReader::ForEachEvent(int64_t after_id, int64_t since_ms,
                                    const std::function<void(const EventRow&)>& each) {
  Statement q(db_,
              "SELECT e.id, c.site, c.line, c.name, c.address, e.seq, e.raw, e.received_ms "
              "FROM events e JOIN controllers c ON c.id = e.controller_id "
              "WHERE e.id > ? AND e.received_ms >= ? ORDER BY e.id");
  q.Bind(1, after_id).Bind(2, since_ms);
  int64_t last = after_id;
  ForEachRow(q, [&] {
    EventRow row;
    row.id = q.Int(0);
    row.site = q.Text(1);
    row.line = q.Text(2);
    row.controller = q.Text(3);
    row.address = static_cast<int>(q.Int(4));
    row.seq = q.Int(5);
    const std::string raw = q.Blob(6);
    if (raw.size() == row.raw.size()) std::memcpy(row.raw.data(), raw.data(), raw.size());
    row.fields = Decode(row.raw);
    row.received_ms = q.Int(7);
    each(row);
    last = row.id;
  });
  return last;
}

std::vector<ControllerRow> JournalReader::Controllers() {
  Statement q(db_,
              "SELECT c.site, c.line, c.name, c.address, c.online, c.version, c.last_seen_ms, "
              "c.clock_drift_s, (SELECT count(*) FROM events e WHERE e.controller_id = c.id), "
              "(SELECT controller_time FROM events e WHERE e.controller_id = c.id "
              " ORDER BY seq DESC LIMIT 1), "
              "(SELECT count(*) FROM gaps g WHERE g.controller_id = c.id) "
              "FROM controllers c ORDER BY c.site, c.line, c.address");
  std::vector<ControllerRow> rows;
  ForEachRow(q, [&] {
    ControllerRow r;
    r.site = q.Text(0);
    r.line = q.Text(1);
    r.name = q.Text(2);
    r.address = static_cast<int>(q.Int(3));
    if (!q.IsNull(4)) r.online = q.Int(4) != 0;
    r.version = q.Text(5);
    r.last_seen_ms = OptionalInt(q, 6);
    r.clock_drift_s = OptionalInt(q, 7);
    r.events = q.Int(8);
    r.last_event_time = q.Text(9);
    r.gaps = q.Int(10);
    rows.push_back(std::move(r));
  });
  return rows;
}

std::vector<EventTiming> JournalReader::RecentEvents(const ControllerRow& controller, int limit) {
  Statement q(db_,
              "SELECT e.controller_time, e.received_ms FROM events e "
              "JOIN controllers c ON c.id = e.controller_id "
              "WHERE c.site = ? AND c.line = ? AND c.address = ? ORDER BY e.seq DESC LIMIT ?");
  q.Bind(1, controller.site);
  q.Bind(2, controller.line);
  q.Bind(3, int64_t{controller.address});
  q.Bind(4, int64_t{limit});
  std::vector<EventTiming> rows;
  // No more than asked for, whatever the steps return.
  const size_t most = static_cast<size_t>(std::max(limit, 0));
  ForEachRow(
      q,
      [&] {
        rows.push_back({q.Text(0), q.Int(1)});
      },
      most);
  return rows;
}

std::vector<GapRow> JournalReader::Gaps(int limit) {
  Statement q(db_,
              "SELECT c.line, c.name, g.kind, g.detail, g.after_seq, g.lost, g.detected_ms "
              "FROM gaps g JOIN controllers c ON c.id = g.controller_id "
              "ORDER BY g.id DESC LIMIT ?");
  q.Bind(1, int64_t{limit});
  std::vector<GapRow> rows;
  ForEachRow(q, [&] {
    rows.push_back(
        {q.Text(0), q.Text(1), q.Text(2), q.Text(3), q.Int(4), OptionalInt(q, 5), q.Int(6)});
  });
  return rows;
}

std::vector<LineCountersRow> JournalReader::LineCounters() {
  Statement q(db_, "SELECT site, line, counters, at_ms FROM line_counters ORDER BY site, line");
  std::vector<LineCountersRow> rows;
  ForEachRow(q, [&] { rows.push_back({q.Text(0), q.Text(1), q.Text(2), q.Int(3)}); });
  return rows;
}

}  // namespace zarvod
