#include "journal/migrations.h"

#include <mutex>

namespace zarvod {
namespace {

std::mutex registry_mutex;
std::vector<Migration>& Registry() {
  static std::vector<Migration> steps;
  return steps;
}

}  // namespace

const std::vector<Migration>& JournalMigrations() {
  static const std::vector<Migration> steps = {
      {"journal", 1, R"sql(
CREATE TABLE controllers(
  id INTEGER PRIMARY KEY, site TEXT NOT NULL, line TEXT NOT NULL, address INTEGER NOT NULL,
  name TEXT NOT NULL, online INTEGER, version TEXT, last_seen_ms INTEGER, clock_drift_s INTEGER,
  UNIQUE(site, line, address));
CREATE TABLE events(
  id INTEGER PRIMARY KEY, controller_id INTEGER NOT NULL REFERENCES controllers(id),
  seq INTEGER NOT NULL, raw BLOB NOT NULL, controller_time TEXT NOT NULL,
  value1 INTEGER NOT NULL, value2 INTEGER NOT NULL, number1 INTEGER NOT NULL,
  number2 INTEGER NOT NULL, received_ms INTEGER NOT NULL, UNIQUE(controller_id, seq));
CREATE INDEX events_by_time ON events(received_ms);
CREATE TABLE bookmarks(
  controller_id INTEGER PRIMARY KEY REFERENCES controllers(id), next_seq INTEGER NOT NULL,
  position INTEGER NOT NULL, has_last INTEGER NOT NULL, last_raw BLOB,
  count INTEGER NOT NULL, set_aside INTEGER NOT NULL);
CREATE TABLE gaps(
  id INTEGER PRIMARY KEY, controller_id INTEGER NOT NULL REFERENCES controllers(id),
  after_seq INTEGER NOT NULL, kind TEXT NOT NULL, lost INTEGER, detected_ms INTEGER NOT NULL,
  detail TEXT NOT NULL);
CREATE TABLE status_changes(
  id INTEGER PRIMARY KEY, controller_id INTEGER NOT NULL REFERENCES controllers(id),
  at_ms INTEGER NOT NULL, online INTEGER NOT NULL, detail TEXT NOT NULL);
CREATE TABLE audit(
  id INTEGER PRIMARY KEY, at_ms INTEGER NOT NULL, who TEXT NOT NULL, site TEXT, line TEXT,
  address INTEGER, what TEXT NOT NULL, result INTEGER NOT NULL);
CREATE TABLE line_counters(
  site TEXT NOT NULL, line TEXT NOT NULL, at_ms INTEGER NOT NULL, counters TEXT NOT NULL,
  PRIMARY KEY(site, line));
)sql"},
      // A bookmark may stand ahead of the read position (records taken by
      // block reads, the read position not yet moved past them).
      {"journal", 2, R"sql(
ALTER TABLE bookmarks ADD COLUMN ahead INTEGER NOT NULL DEFAULT 0;
ALTER TABLE bookmarks ADD COLUMN anchor_raw BLOB;
)sql"},
      // Event ids are never used twice, even once retention has emptied the
      // table: readers follow events by id.
      {"journal", 3, R"sql(
CREATE TABLE events_rebuilt(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  controller_id INTEGER NOT NULL REFERENCES controllers(id),
  seq INTEGER NOT NULL, raw BLOB NOT NULL, controller_time TEXT NOT NULL,
  value1 INTEGER NOT NULL, value2 INTEGER NOT NULL, number1 INTEGER NOT NULL,
  number2 INTEGER NOT NULL, received_ms INTEGER NOT NULL, UNIQUE(controller_id, seq));
INSERT INTO events_rebuilt(id, controller_id, seq, raw, controller_time, value1, value2, number1,
                           number2, received_ms)
  SELECT id, controller_id, seq, raw, controller_time, value1, value2, number1, number2,
         received_ms FROM events ORDER BY id;
DROP TABLE events;
ALTER TABLE events_rebuilt RENAME TO events;
CREATE INDEX events_by_time ON events(received_ms);
)sql",
       true},
      // What readers need to know of the site without its file (see
      // site_settings.h).
      {"site_settings", 1, R"sql(
CREATE TABLE site_settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
)sql"},
      // Names controllers had before a rename in the site file.
      {"former_names", 1, R"sql(
CREATE TABLE former_names(site TEXT NOT NULL, name TEXT NOT NULL, PRIMARY KEY(site, name));
)sql"},
  };
  return steps;
}

void AddMigrations(std::vector<Migration> steps) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  for (Migration& m : steps) Registry().push_back(std::move(m));
}

void ClearRegisteredMigrations() {
  std::lock_guard<std::mutex> lock(registry_mutex);
  Registry().clear();
}

std::vector<Migration> RegisteredMigrations() {
  std::lock_guard<std::mutex> lock(registry_mutex);
  return Registry();
}

}  // namespace zarvod
