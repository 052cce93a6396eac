// Reading the journal from another process (zarvod events, zarvod status)
// while the daemon writes it: a read-only connection; WAL lets it read
// without blocking the writer.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/event_kinds.h"
#include "journal/stored_record.h"

namespace zarvod {

class Statement;

struct EventRow {
  int64_t id = 0;
  std::string site, line, controller;
  int address = 0;
  int64_t seq = 0;
  StoredRecord raw{};
  DecodedEvent fields;
  int64_t received_ms = 0;
};

struct ControllerRow {
  std::string site, line, name;
  int address = 0;
  std::optional<bool> online;
  std::string version;
  std::optional<int64_t> last_seen_ms;
  std::optional<int64_t> clock_drift_s;
  int64_t events = 0;
  std::string last_event_time;  // controller time of the newest event
  int64_t gaps = 0;
};

struct GapRow {
  std::string line, controller, kind, detail;
  int64_t after_seq = 0;
  std::optional<int64_t> lost;
  int64_t detected_ms = 0;
};

// When one event happened by the controller's clock and when it was read.
struct EventTiming {
  std::string controller_time;  // "2026-12-07 13:45:02"
  int64_t received_ms = 0;
};

struct LineCountersRow {
  std::string site, line, counters;
  int64_t at_ms = 0;
};

class JournalReader {
 public:
  static std::unique_ptr<JournalReader> Open(const std::string& path, std::string& error);
  ~JournalReader();
  JournalReader(const JournalReader&) = delete;
  JournalReader& operator=(const JournalReader&) = delete;

  // Each call reads what it can: when the journal fails part way (a damaged
  // file, a lock held too long), it returns the rows read before and
  // last_error() says why; last_error() is empty after a call that read to
  // the end.
  const std::string& last_error() const { return last_error_; }

  // Events with an id above `after_id` received at or after `since_ms`, in
  // journal order; returns the last id seen (after_id when none).
  int64_t ForEachEvent(int64_t after_id, int64_t since_ms,
                       const std::function<void(const EventRow&)>& each);
  std::vector<ControllerRow> Controllers();
  std::vector<GapRow> Gaps(int limit);
  std::vector<LineCountersRow> LineCounters();
  // The site's names for its events' values, as the daemon last wrote them.
  EventKinds Kinds();
  // The controller's newest `limit` events, newest first.
  std::vector<EventTiming> RecentEvents(const ControllerRow& controller, int limit);
  // The time zone the daemon last ran the site in, "" when not kept.
  std::string SiteTimeZone();

 private:
  explicit JournalReader(sqlite3* db) : db_(db) {}
  // Steps `q` through its rows, calling `each` on every one; false, with
  // last_error_ set, when a step fails.
  bool ForEachRow(Statement& q, const std::function<void()>& each, size_t limit = SIZE_MAX);
  sqlite3* db_;
  std::string last_error_;
};

}  // namespace zarvod
