// The journal file: schema steps of several modules applied once each, in
// order, retention by age and count, event ids never used twice, a failed
// read told apart from one that found nothing, and the file itself: its
// mode, its replacement, another writer's lock, readers, and bookmarks to
// repair.
#include "journal/journal.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "journal/bookmark_repair.h"
#include "journal/journal_reader.h"
#include "journal/migrations.h"
#include "journal/statement.h"

namespace zarvod {
namespace {

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/zarvod-journal-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    ClearRegisteredMigrations();
    std::filesystem::remove_all(dir_);
  }
  std::string Path() const { return dir_ + "/journal.db"; }

  static int64_t Count(Journal& j, const char* sql) {
    auto lock = j.Lock();
    Statement q(j.db(), sql);
    return q.Step() == SQLITE_ROW ? q.Int(0) : -1;
  }

  static void ExecOrFail(Journal& j, const char* sql) {
    auto lock = j.Lock();
    std::string error;
    ASSERT_TRUE(Exec(j.db(), sql, &error)) << error;
  }
  // `count` events journaled in one block, received at `received_ms`; the
  // bookmark then stands `ahead` records ahead of the read position.
  static void JournalEvents(Journal& j, int64_t controller, Bookmark& b, int count,
                            int64_t received_ms, int ahead = 0) {
    b.known = true;
    b.has_last = true;
    b.next_seq += count;
    b.ahead = ahead;
    const std::vector<StoredRecord> block(static_cast<size_t>(count),
                                          StoredRecord{0x26, 0x12, 0x07});
    ASSERT_TRUE(j.CommitEvents(controller, block, received_ms, b));
  }
  // Per controller: how many events, the lowest sequence number.
  static std::pair<int64_t, int64_t> Kept(Journal& j, int64_t controller) {
    auto lock = j.Lock();
    Statement q(j.db(), "SELECT count(*), min(seq) FROM events WHERE controller_id = ?");
    q.Bind(1, controller);
    if (q.Step() != SQLITE_ROW) return {-1, -1};
    return {q.Int(0), q.Int(1)};
  }

  std::string dir_;
};

TEST_F(JournalTest, AppliesEachModulesStepsOnceInOrder) {
  std::string error;
  ASSERT_TRUE(Journal::Open(Path(), error)) << error;
  // A module that joins later: its steps run on the next open, once.
  AddMigrations({{"cards", 2, "ALTER TABLE applied_cards ADD COLUMN pin TEXT"},
                 {"cards", 1, "CREATE TABLE applied_cards(card INTEGER)"}});
  for (int open = 0; open < 2; ++open) {
    std::unique_ptr<Journal> j = Journal::Open(Path(), error);
    ASSERT_TRUE(j) << error;
    EXPECT_EQ(Count(*j, "SELECT count(*) FROM schema_migrations"),
              static_cast<int64_t>(JournalMigrations().size()) + 2);
    EXPECT_EQ(Count(*j, "SELECT count(pin) FROM applied_cards"), 0);
    EXPECT_EQ(Count(*j, "SELECT count(*) FROM pragma_journal_mode WHERE journal_mode='wal'"), 1);
  }
  // A step that fails leaves the file as it was and names itself.
  AddMigrations({{"cards", 3, "ALTER TABLE no_such_table ADD COLUMN x"}});
  EXPECT_FALSE(Journal::Open(Path(), error));
  EXPECT_NE(error.find("cards schema step 3"), std::string::npos) << error;
}

TEST_F(JournalTest, PrunesByCountKeepingTheNewest) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const std::optional<int64_t> id = j->Controller({"s", "l", 1, "C"});
  ASSERT_TRUE(id);
  Bookmark b;
  b.known = true;
  for (int i = 0; i < 10; ++i) {
    ++b.next_seq;
    ASSERT_TRUE(j->CommitEvent(*id, StoredRecord{0x26, 0x12, 0x07}, NowMs(), b));
  }
  EXPECT_EQ(j->Prune(0, 4), 6);
  EXPECT_EQ(Count(*j, "SELECT min(seq) FROM events"), 7);
  EXPECT_EQ(j->Prune(3650, 0), 0);                // all are newer
  EXPECT_EQ(j->LoadBookmark(*id)->next_seq, 11);  // sequence numbers go on
}

// A block's records are one transaction with the bookmark that stands ahead
// of the read position; a bookmark written before blocks existed (no
// anchor) reads as resting on its last record.
TEST_F(JournalTest, CommitsABlockWithItsBookmarkAndReadsItBack) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  std::vector<StoredRecord> block;
  for (uint8_t i = 0; i < 5; ++i) block.push_back(StoredRecord{0x26, 0x12, 0x07, i});
  Bookmark b;
  b.known = true;
  b.next_seq = 6;
  b.position = 2;
  b.has_last = true;
  b.last = block.back();
  b.ahead = 4;
  b.anchor = block.front();
  ASSERT_TRUE(j->CommitEvents(id, block, NowMs(), b));
  const Bookmark loaded = j->LoadBookmark(id).value_or(Bookmark{});
  EXPECT_EQ(loaded.ahead, 4);
  EXPECT_EQ(loaded.anchor, block.front());
  EXPECT_EQ(j->JournaledRecords(id, 2, 4).value_or(std::vector<StoredRecord>{}),
            std::vector<StoredRecord>(block.begin() + 1, block.end() - 1));
  {
    auto lock = j->Lock();
    ASSERT_TRUE(Exec(j->db(), "UPDATE bookmarks SET ahead = 0, anchor_raw = NULL"));
  }
  EXPECT_EQ(j->LoadBookmark(id)->anchor, block.back());
}

}  // namespace
}  // namespace zarvod

namespace zarvod {
namespace {

int DenyReadsOf(void* table, int action, const char* object, const char*, const char*,
                const char*) {
  return action == SQLITE_READ && object && *static_cast<std::string*>(table) == object
             ? SQLITE_DENY
             : SQLITE_OK;
}

struct FailedReadCase {
  const char* table;                            // reads of it fail
  std::function<bool(Journal&, int64_t)> read;  // true when the read said it failed
};

// A read that fails is an error, never "no bookmark" or "no records": a
// collector taking it for a first contact would write its bookmark anew
// behind events already journaled.
TEST_F(JournalTest, AReadThatFailsIsAnErrorNotNothingFound) {
  const FailedReadCase cases[] = {
      {"bookmarks", [](Journal& j, int64_t id) { return !j.LoadBookmark(id); }},
      {"events", [](Journal& j, int64_t id) { return !j.JournaledRecords(id, 1, 5); }},
  };
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b;
  JournalEvents(*j, id, b, 3, NowMs());
  for (const FailedReadCase& c : cases) {
    SCOPED_TRACE(c.table);
    std::string table = c.table;
    {
      auto lock = j->Lock();
      sqlite3_set_authorizer(j->db(), DenyReadsOf, &table);
    }
    EXPECT_TRUE(c.read(*j, id));
    EXPECT_FALSE(j->last_error().empty());
    {
      auto lock = j->Lock();
      sqlite3_set_authorizer(j->db(), nullptr, nullptr);
    }
    EXPECT_FALSE(c.read(*j, id));
  }
  EXPECT_EQ(j->LoadBookmark(id)->next_seq, 4);
  EXPECT_FALSE(j->LoadBookmark(id + 1)->known);  // no bookmark yet: a first contact
}

// Retention never deletes what a collector may need to find its place: a
// controller's events from its bookmark's anchor on (block reads put the
// anchor `ahead` records before the last). It deletes in small transactions
// so that lines commit in between, and ages out the audit trail and other
// modules' rows too.
TEST_F(JournalTest, RetentionKeepsEachControllersEventsFromItsAnchorOn) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t blocks = j->Controller({"s", "l", 1, "blocks"}).value_or(0);
  const int64_t singles = j->Controller({"s", "l", 2, "singles"}).value_or(0);
  Bookmark by_blocks, one_by_one;
  JournalEvents(*j, blocks, by_blocks, 2500, 1000, 300);  // anchor: sequence number 2200
  JournalEvents(*j, singles, one_by_one, 20, 1000);
  JournalEvents(*j, singles, one_by_one, 5, NowMs());
  ASSERT_TRUE(j->RecordCommand({"old", "s", "l", 1, "door.open", 0}));
  ASSERT_TRUE(j->RecordCommand({"new", "s", "l", 1, "door.open", 0}));
  ExecOrFail(*j, "UPDATE audit SET at_ms = 1000 WHERE who = 'old'");
  std::vector<int64_t> cutoffs;
  j->AddPruneStep([&](sqlite3*, int64_t cutoff_ms, int) {
    cutoffs.push_back(cutoff_ms);
    return int64_t{0};
  });
  int commits = 0;
  {
    auto lock = j->Lock();
    sqlite3_commit_hook(
        j->db(),
        [](void* n) {
          ++*static_cast<int*>(n);
          return 0;
        },
        &commits);
  }
  EXPECT_EQ(j->Prune(1, 0), 2199 + 20);
  EXPECT_EQ(Kept(*j, blocks), std::pair(int64_t{301}, int64_t{2200}));
  EXPECT_EQ(Kept(*j, singles), std::pair(int64_t{5}, int64_t{21}));
  EXPECT_GE(commits, 3);  // 2219 events, at most 1000 a transaction
  EXPECT_EQ(Count(*j, "SELECT count(*) FROM audit"), 1);
  ASSERT_EQ(cutoffs.size(), 1u);
  EXPECT_NEAR(static_cast<double>(cutoffs[0]), static_cast<double>(NowMs() - 86400000), 60000);
  // By count: only the newest one is asked to stay, each anchor's stay too.
  EXPECT_EQ(j->Prune(0, 1), 4);
  EXPECT_EQ(Kept(*j, blocks), std::pair(int64_t{301}, int64_t{2200}));
  EXPECT_EQ(Kept(*j, singles), std::pair(int64_t{1}, int64_t{25}));
  {
    auto lock = j->Lock();
    sqlite3_commit_hook(j->db(), nullptr, nullptr);
  }
}

// Readers follow the journal by event id (`zarvod events --follow`, the
// MQTT publisher): a follower sees each event once, and events journaled
// after retention emptied the table still come after the last id it saw.
TEST_F(JournalTest, AFollowerSeesEachEventOnceEvenAfterTheTableWasEmptied) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b;
  JournalEvents(*j, id, b, 3, NowMs());
  std::unique_ptr<JournalReader> reader = JournalReader::Open(Path(), error);
  ASSERT_TRUE(reader) << error;
  std::vector<int64_t> seen;
  const auto follow = [&](int64_t after) {
    return reader->ForEachEvent(after, 0, [&](const EventRow& e) { seen.push_back(e.seq); });
  };
  int64_t last = follow(0);
  last = follow(last);
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
  ExecOrFail(*j, "DELETE FROM events");
  JournalEvents(*j, id, b, 1, NowMs());
  follow(last);
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3, 4}));
}

// A journal written before ids were kept unique: upgrading it keeps every
// event's id, the triggers other modules put on the events table, and ids
// go on from the highest.
TEST_F(JournalTest, UpgradingKeepsEventIdsAndOtherModulesTriggers) {
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
    std::string sql =
        "CREATE TABLE schema_migrations(module TEXT NOT NULL, step INTEGER NOT NULL, applied_ms "
        "INTEGER NOT NULL, PRIMARY KEY(module, step));"
        "INSERT INTO schema_migrations VALUES('journal', 1, 0), ('journal', 2, 0);";
    sql += JournalMigrations().at(0).sql + JournalMigrations().at(1).sql;
    sql +=
        "INSERT INTO controllers(id, site, line, address, name) VALUES(1, 's', 'l', 1, 'C');"
        "INSERT INTO events VALUES(5, 1, 1, x'00', '', 0, 0, 0, 0, 0), "
        "(6, 1, 2, x'00', '', 0, 0, 0, 0, 0), (9, 1, 3, x'00', '', 0, 0, 0, 0, 0);"
        "CREATE TABLE forgotten(event_id INTEGER);"
        "CREATE TRIGGER forget AFTER DELETE ON events BEGIN "
        "INSERT INTO forgotten VALUES(old.id); END;";
    std::string error;
    EXPECT_TRUE(Exec(db, sql, &error)) << error;
    sqlite3_close(db);
  }
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  EXPECT_EQ(Count(*j, "SELECT sum(id) FROM events"), 5 + 6 + 9);
  EXPECT_EQ(Count(*j, "SELECT seq FROM sqlite_sequence WHERE name = 'events'"), 9);
  ExecOrFail(*j, "DELETE FROM events");
  EXPECT_EQ(Count(*j, "SELECT count(*) FROM forgotten"), 3);
  Bookmark b;
  b.next_seq = 4;
  JournalEvents(*j, 1, b, 1, NowMs());
  EXPECT_EQ(Count(*j, "SELECT id FROM events"), 10);
}

// A damaged journal fails part way through a read: the reader says so and
// stops, whatever it was reading, and returns only rows it could read.
TEST_F(JournalTest, AReaderStopsAtAFailedStepAndSaysSo) {
  std::string error;
  int64_t events_page = 0, page_size = 0;
  {
    std::unique_ptr<Journal> j = Journal::Open(Path(), error);
    ASSERT_TRUE(j) << error;
    Bookmark b;
    JournalEvents(*j, j->Controller({"s", "l", 1, "C"}).value_or(0), b, 5, NowMs());
    events_page = Count(*j, "SELECT rootpage FROM sqlite_master WHERE name = 'events'");
    page_size = Count(*j, "PRAGMA page_size");
    // The file keeps its write-ahead log when it closes: move the events
    // into the main file, where the damage goes.
    ExecOrFail(*j, "PRAGMA wal_checkpoint(TRUNCATE)");
  }
  {
    std::fstream file(Path(), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((events_page - 1) * page_size);
    const std::string junk(static_cast<size_t>(page_size), '\xff');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    ASSERT_TRUE(file.good());
  }
  std::unique_ptr<JournalReader> reader = JournalReader::Open(Path(), error);
  ASSERT_TRUE(reader) << error;
  ControllerRow c;
  c.site = "s";
  c.line = "l";
  c.address = 1;
  const std::pair<const char*, std::function<size_t()>> reads[] = {
      {"drift estimate's recent events", [&] { return reader->RecentEvents(c, 32).size(); }},
      {"events",
       [&] {
         size_t n = 0;
         reader->ForEachEvent(0, 0, [&](const EventRow&) { ++n; });
         return n;
       }},
  };
  for (const auto& [what, read] : reads) {
    SCOPED_TRACE(what);
    EXPECT_EQ(read(), 0u);
    EXPECT_NE(reader->last_error(), "");
  }
  reader->Gaps(10);
  EXPECT_EQ(reader->last_error(), "");  // a read that works clears it
}

}  // namespace
}  // namespace zarvod

namespace zarvod {
namespace {

// A bookmark behind the journaled events (a second daemon wrote its stale
// one over the other's) would fail every commit on a sequence number taken;
// brought forward, collection goes on after the newest event.
TEST_F(JournalTest, BringsABookmarkBehindItsEventsForward) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b;
  b.known = true;
  for (uint8_t i = 1; i <= 10; ++i) {
    ++b.next_seq;
    b.has_last = true;
    b.last = b.anchor = StoredRecord{0x26, 0x12, 0x07, i};
    ASSERT_TRUE(j->CommitEvent(id, b.last, NowMs(), b));
  }
  Bookmark stale = b;
  stale.next_seq = 5;
  ASSERT_TRUE(j->SaveBookmark(id, stale));
  ++stale.next_seq;
  EXPECT_FALSE(j->CommitEvent(id, StoredRecord{0x26, 0x12, 0x07, 11}, NowMs(), stale));

  const std::vector<RepairedBookmark> repaired = RepairBookmarksBehindEvents(*j, error);
  ASSERT_EQ(repaired.size(), 1u) << error;
  EXPECT_EQ(repaired[0].was_next_seq, 5);
  EXPECT_EQ(repaired[0].next_seq, 11);
  const Bookmark loaded = j->LoadBookmark(id).value_or(Bookmark{});
  EXPECT_EQ(loaded.next_seq, 11);
  EXPECT_EQ(loaded.last, (StoredRecord{0x26, 0x12, 0x07, 10}));
  EXPECT_EQ(loaded.anchor, loaded.last);
  EXPECT_EQ(loaded.ahead, 0);
  Bookmark next = loaded;
  ++next.next_seq;
  EXPECT_TRUE(j->CommitEvent(id, StoredRecord{0x26, 0x12, 0x07, 11}, NowMs(), next))
      << j->last_error();
  EXPECT_TRUE(RepairBookmarksBehindEvents(*j, error).empty());  // sound ones stay
}

// Events go only into the file at the journal's path: once it is deleted or
// replaced, commits fail and the controller keeps its events.
TEST_F(JournalTest, RefusesCommitsOnceItsFileIsReplaced) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b;
  b.known = true;
  ++b.next_seq;
  ASSERT_TRUE(j->CommitEvent(id, StoredRecord{1}, NowMs(), b));
  EXPECT_EQ(j->FileChange(), "");
  std::filesystem::rename(Path(), dir_ + "/moved.db");
  ++b.next_seq;
  EXPECT_FALSE(j->CommitEvent(id, StoredRecord{2}, NowMs(), b));
  EXPECT_NE(j->last_error().find("deleted or moved away"), std::string::npos) << j->last_error();
  std::ofstream(Path()) << "";
  EXPECT_FALSE(j->CommitEvents(id, {StoredRecord{2}}, NowMs(), b));
  EXPECT_NE(j->FileChange().find("replaced by another file"), std::string::npos);
}

// Another process in a write transaction costs a commit about a second, not
// five, and nothing once a stop is asked.
TEST_F(JournalTest, WaitsForAnotherWriterBrieflyAndNotAtAllWhenStopping) {
  std::string error;
  std::unique_ptr<Journal> j = Journal::Open(Path(), error);
  ASSERT_TRUE(j) << error;
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Path().c_str(), &other), SQLITE_OK);
  ASSERT_TRUE(Exec(other, "BEGIN IMMEDIATE"));
  Bookmark b;
  b.known = true;
  ++b.next_seq;
  const auto commit_takes = [&] {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(j->CommitEvent(id, StoredRecord{1}, NowMs(), b));
    return std::chrono::steady_clock::now() - start;
  };
  const auto waited = commit_takes();
  EXPECT_GE(waited, BusyWait::kLongestWait);
  EXPECT_LT(waited, BusyWait::kLongestWait + std::chrono::milliseconds(500));
  j->StopWaiting();
  EXPECT_LT(commit_takes(), std::chrono::milliseconds(100));
  Exec(other, "ROLLBACK");
  sqlite3_close(other);
}

// Card PINs are in the journal: the owner alone reads it and its -wal and
// -shm files, or the group too under the packaged service's umask.
TEST_F(JournalTest, CreatesItsFilesForTheOwnerOrItsGroup) {
  for (const auto& [umask_value, mode] : {std::pair{022, 0600}, std::pair{007, 0640}}) {
    const mode_t before = ::umask(static_cast<mode_t>(umask_value));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    std::string error;
    std::unique_ptr<Journal> j = Journal::Open(Path(), error);
    ::umask(before);
    ASSERT_TRUE(j) << error;
    ASSERT_TRUE(j->Controller({"s", "l", 1, "C"}));
    for (const char* suffix : {"", "-wal", "-shm"}) {
      struct stat st {};
      ASSERT_EQ(::stat((Path() + suffix).c_str(), &st), 0) << suffix;
      EXPECT_EQ(st.st_mode & 0777, static_cast<mode_t>(mode)) << suffix << " umask " << umask_value;
    }
  }
}

// What a reader is told about a file it cannot read as a journal, and a
// reader in the journal's group reads it while no daemon runs.
TEST_F(JournalTest, ReadersOpenReadOnlyAndSayWhyTheyCannot) {
  std::string error;
  ASSERT_TRUE(Journal::Open(Path(), error)) << error;  // closed again: no daemon
  std::ofstream(dir_ + "/garbage.db") << std::string(4096, 'x');
  ASSERT_TRUE(Journal::Open(dir_ + "/old.db", error)) << error;
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/old.db").c_str(), &db), SQLITE_OK);
    ASSERT_TRUE(Exec(db, "DELETE FROM schema_migrations WHERE module = 'journal' AND step = 2"));
    sqlite3_close(db);
  }
  const struct {
    std::string file;
    const char* told;
  } cases[] = {
      {"garbage.db", "not a zarvod journal"},
      {"old.db", "written by an older zarvod"},
      {"missing.db", "unable to open"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(JournalReader::Open(dir_ + "/" + c.file, error)) << c.file;
    EXPECT_NE(error.find(c.told), std::string::npos) << c.file << ": " << error;
  }
  if (::geteuid() != 0) GTEST_SKIP() << "reading as another user needs root";
  // A member of the group may read the files but create none beside them.
  const gid_t group = 65534;
  ASSERT_EQ(::chown(dir_.c_str(), 0, group), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0750), 0);
  for (const char* suffix : {"", "-wal", "-shm"}) {
    ASSERT_EQ(::chown((Path() + suffix).c_str(), 0, group), 0) << suffix;
    ASSERT_EQ(::chmod((Path() + suffix).c_str(), 0640), 0) << suffix;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(65534) != 0) ::_exit(3);
    std::string child_error;
    auto reader = JournalReader::Open(Path(), child_error);
    if (!reader) std::fprintf(stderr, "%s\n", child_error.c_str());
    ::_exit(reader && reader->Controllers().empty() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace zarvod
