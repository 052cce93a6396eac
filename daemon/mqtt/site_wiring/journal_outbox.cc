#include "journal_outbox.h"

namespace zarvo::mqtt {
namespace {

std::string Hex(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

std::string Digits8(int64_t number) {
  std::string text = std::to_string(number);
  return text.size() >= 8 ? text : std::string(8 - text.size(), '0') + text;
}

}  // namespace

std::vector<zarvod::Migration> MqttMigrations() {
  return {{"mqtt", 1, R"sql(
CREATE TABLE mqtt_delivered(event_id INTEGER PRIMARY KEY);
CREATE TRIGGER mqtt_forget_delivered AFTER DELETE ON events
  BEGIN DELETE FROM mqtt_delivered WHERE event_id = old.id; END;
CREATE TABLE mqtt_requests(
  request_id TEXT PRIMARY KEY, at_ms INTEGER NOT NULL, who TEXT NOT NULL, what TEXT NOT NULL,
  result INTEGER, reply TEXT);
)sql"}};
}

JournalOutbox::JournalOutbox(zarvod::Journal& journal, JournalWatch& watch,
                             zarvod::EventKinds kinds)
    : journal_(journal),
      watch_(watch),
      kinds_(std::move(kinds)),
      undelivered_(journal.db(), R"sql(
SELECT e.id, c.name, e.seq, c.line, e.number1, e.number2, e.value1, e.value2,
       e.controller_time, e.received_ms, e.raw
FROM events e JOIN controllers c ON c.id = e.controller_id
WHERE e.id > ? AND NOT EXISTS (SELECT 1 FROM mqtt_delivered d WHERE d.event_id = e.id)
ORDER BY e.id LIMIT ?)sql"),
      delivered_(journal.db(), "INSERT OR IGNORE INTO mqtt_delivered(event_id) VALUES(?)") {}

std::vector<OutboxEvent> JournalOutbox::Undelivered(uint64_t after, size_t limit) {
  auto lock = journal_.Lock();
  std::vector<OutboxEvent> out;
  undelivered_.Bind(1, static_cast<int64_t>(after)).Bind(2, static_cast<int64_t>(limit));
  while (undelivered_.Step() == SQLITE_ROW) {
    OutboxEvent e;
    e.position = static_cast<uint64_t>(undelivered_.Int(0));
    e.controller = undelivered_.Text(1);
    e.sequence = static_cast<uint64_t>(undelivered_.Int(2));
    e.line = undelivered_.Text(3);
    e.number1 = Digits8(undelivered_.Int(4));
    e.number2 = Digits8(undelivered_.Int(5));
    e.value1 = static_cast<int32_t>(undelivered_.Int(6));
    e.value2 = static_cast<int32_t>(undelivered_.Int(7));
    e.controller_time = undelivered_.Text(8);
    if (e.controller_time.size() > 10 && e.controller_time[10] == ' ') e.controller_time[10] = 'T';
    e.received_ms = undelivered_.Int(9);
    e.raw_hex = Hex(undelivered_.Blob(10));
    if (const zarvod::EventKind* kind = kinds_.Find(e.value1, e.value2)) {
      e.kind = kind->words;
      e.door = kind->door;
      e.direction = kind->direction;
    }
    out.push_back(std::move(e));
  }
  undelivered_.Reset();
  return out;
}

void JournalOutbox::MarkDelivered(const OutboxEvent& event) {
  auto lock = journal_.Lock();
  delivered_.Bind(1, static_cast<int64_t>(event.position)).Run();
}

JournalCommandLog::JournalCommandLog(zarvod::Journal& journal, int retention_days)
    : journal_(journal),
      retention_days_(retention_days),
      insert_(journal.db(),
              "INSERT OR IGNORE INTO mqtt_requests(request_id, at_ms, who, what) VALUES(?,?,?,?)"),
      find_(journal.db(),
            "SELECT at_ms, who, what, result, reply FROM mqtt_requests WHERE request_id = ?"),
      finish_(journal.db(), "UPDATE mqtt_requests SET result = ?, reply = ? WHERE request_id = ?"),
      prune_(journal.db(), "DELETE FROM mqtt_requests WHERE at_ms < ?") {}

void JournalCommandLog::PruneOld(int64_t now_ms) {
  if (retention_days_ <= 0 || now_ms < next_prune_ms_) return;
  next_prune_ms_ = now_ms + 3600'000;
  prune_.Bind(1, now_ms - int64_t{retention_days_} * 86400'000).Run();
}

bool JournalCommandLog::Begin(const CommandRecord& record, CommandRecord* earlier) {
  auto lock = journal_.Lock();
  PruneOld(record.at_ms);
  insert_.Bind(1, record.request_id).Bind(2, record.at_ms).Bind(3, record.who).Bind(4, record.what);
  if (insert_.Run() && sqlite3_changes(journal_.db()) == 1) return true;
  find_.Bind(1, record.request_id);
  if (find_.Step() == SQLITE_ROW && earlier != nullptr) {
    *earlier = {record.request_id, find_.Text(1), find_.Text(2), static_cast<int32_t>(find_.Int(3)),
                find_.Text(4),     find_.Int(0)};
  }
  find_.Reset();
  return false;
}

void JournalCommandLog::Finish(const std::string& request_id, int32_t result,
                               const std::string& reply) {
  auto lock = journal_.Lock();
  finish_.Bind(1, int64_t{result}).Bind(2, reply).Bind(3, request_id).Run();
}

}  // namespace zarvo::mqtt
