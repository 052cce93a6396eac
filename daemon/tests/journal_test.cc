// The journal file: schema steps, retention, event ids, failed reads, its
// mode, its replacement, another writer's lock, readers, bookmark repair.
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
  std::unique_ptr<Journal> OpenJournal() {
    std::unique_ptr<Journal> j = Journal::Open(Path(), error_);
    EXPECT_TRUE(j) << error_;
    return j;
  }
  using Authorizer = int (*)(void*, int, const char*, const char*, const char*, const char*);
  static void SetAuthorizer(Journal& j, Authorizer fn, void* data) {
    auto lock = j.Lock();
    sqlite3_set_authorizer(j.db(), fn, data);
  }

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
  std::string error_;
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

int DenyReadsOf(void* table, int action, const char* object, const char*, const char*,
                const char*) {
  return action == SQLITE_READ && object && *static_cast<std::string*>(table) == object
             ? SQLITE_DENY
             : SQLITE_OK;
}

// A failed read taken for "nothing found" would look like a first contact:
// the collector would write its bookmark anew behind journaled events.
TEST_F(JournalTest, AReadThatFailsIsAnErrorNotNothingFound) {
  const std::pair<std::string, std::function<bool(Journal&, int64_t)>> cases[] = {
      {"bookmarks", [](Journal& j, int64_t id) { return !j.LoadBookmark(id); }},
      {"events", [](Journal& j, int64_t id) { return !j.JournaledRecords(id, 1, 5); }},
  };
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b;
  JournalEvents(*j, id, b, 3, NowMs());
  for (auto [table, read_failed] : cases) {
    SCOPED_TRACE(table);
    SetAuthorizer(*j, DenyReadsOf, &table);
    EXPECT_TRUE(read_failed(*j, id));
    EXPECT_FALSE(j->last_error().empty());
    SetAuthorizer(*j, nullptr, nullptr);
    EXPECT_FALSE(read_failed(*j, id));
  }
  EXPECT_EQ(j->LoadBookmark(id)->next_seq, 4);
  EXPECT_FALSE(j->LoadBookmark(id + 1)->known);  // no bookmark yet: a first contact
}

// Retention keeps each controller's events from its bookmark's anchor on,
// deletes in transactions of at most 1000 rows, and ages out the audit
// trail and other modules' rows too.
TEST_F(JournalTest, RetentionKeepsEachControllersEventsFromItsAnchorOn) {
  auto j = OpenJournal();
  ASSERT_TRUE(j);
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
        j->db(), [](void* n) { return ++*static_cast<int*>(n), 0; }, &commits);
  }
  EXPECT_EQ(j->Prune(1, 0), 2199 + 20);
  EXPECT_EQ(Kept(*j, blocks), std::pair(int64_t{301}, int64_t{2200}));
  EXPECT_EQ(Kept(*j, singles), std::pair(int64_t{5}, int64_t{21}));
  EXPECT_GE(commits, 3);
  EXPECT_EQ(Count(*j, "SELECT count(*) FROM audit"), 1);
  ASSERT_EQ(cutoffs.size(), 1u);
  EXPECT_NEAR(static_cast<double>(cutoffs[0]), static_cast<double>(NowMs() - 86400000), 60000);
  EXPECT_EQ(j->Prune(0, 1), 4);  // by count: the newest stays, and each anchor on
  EXPECT_EQ(Kept(*j, blocks), std::pair(int64_t{301}, int64_t{2200}));
  EXPECT_EQ(Kept(*j, singles), std::pair(int64_t{1}, int64_t{25}));
  auto lock = j->Lock();
  sqlite3_commit_hook(j->db(), nullptr, nullptr);
}

// A follower by event id sees each event once, also after retention emptied
// the table.
TEST_F(JournalTest, AFollowerSeesEachEventOnceEvenAfterTheTableWasEmptied) {
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b;
  JournalEvents(*j, id, b, 3, NowMs());
  std::string error;
  std::unique_ptr<JournalReader> reader = JournalReader::Open(Path(), error);
  ASSERT_TRUE(reader) << error;
  std::vector<int64_t> seen;
  const auto follow = [&](int64_t after) {
    return reader->ForEachEvent(after, 0, [&](const EventRow& e) { seen.push_back(e.seq); });
  };
  const int64_t last = follow(follow(0));
  ExecOrFail(*j, "DELETE FROM events");
  JournalEvents(*j, id, b, 1, NowMs());
  follow(last);
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3, 4}));
}

// A controller renamed in the site file keeps its row: its events read
// under the new name, and collection goes on from its bookmark.
TEST_F(JournalTest, ARenamedControllerKeepsItsEventsUnderItsNewName) {
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  const int64_t id = j->Controller({"s", "l", 1, "gate"}).value_or(0);
  Bookmark b;
  JournalEvents(*j, id, b, 2, NowMs());
  EXPECT_EQ(j->Controller({"s", "l", 1, "yard-gate"}), id);
  std::unique_ptr<JournalReader> reader = JournalReader::Open(Path(), error_);
  ASSERT_TRUE(reader) << error_;
  std::vector<std::string> names;
  reader->ForEachEvent(0, 0, [&](const EventRow& e) { names.push_back(e.controller); });
  EXPECT_EQ(names, (std::vector<std::string>{"yard-gate", "yard-gate"}));
}

// Upgrading a journal from before ids were kept unique keeps every event's
// id and other modules' triggers, and ids go on from the highest.
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
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  EXPECT_EQ(Count(*j, "SELECT sum(id) FROM events"), 5 + 6 + 9);
  ExecOrFail(*j, "DELETE FROM events");
  EXPECT_EQ(Count(*j, "SELECT count(*) FROM forgotten"), 3);
  Bookmark b{.next_seq = 4};
  JournalEvents(*j, 1, b, 1, NowMs());
  EXPECT_EQ(Count(*j, "SELECT id FROM events"), 10);
}

// A damaged journal fails part way through a read: the reader stops, says
// so, and returns only rows it could read.
TEST_F(JournalTest, AReaderStopsAtAFailedStepAndSaysSo) {
  int64_t events_page = 0, page_size = 0;
  {
    auto j = OpenJournal();
    ASSERT_TRUE(j);
    Bookmark b;
    JournalEvents(*j, j->Controller({"s", "l", 1, "C"}).value_or(0), b, 5, NowMs());
    events_page = Count(*j, "SELECT rootpage FROM sqlite_master WHERE name = 'events'");
    page_size = Count(*j, "PRAGMA page_size");
    ExecOrFail(*j, "PRAGMA wal_checkpoint(TRUNCATE)");  // the events into the main file
  }
  {
    std::fstream file(Path(), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((events_page - 1) * page_size);
    const std::string junk(static_cast<size_t>(page_size), '\xff');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    ASSERT_TRUE(file.good());
  }
  std::string error;
  std::unique_ptr<JournalReader> reader = JournalReader::Open(Path(), error);
  ASSERT_TRUE(reader) << error;
  ControllerRow c;
  c.site = "s";
  c.line = "l";
  c.address = 1;
  const std::pair<const char*, std::function<size_t()>> reads[] = {
      {"recent events", [&] { return reader->RecentEvents(c, 32).size(); }},
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

// A bookmark behind its events (a second daemon's stale one) fails every
// commit; brought forward, collection goes on after the newest event.
TEST_F(JournalTest, BringsABookmarkBehindItsEventsForward) {
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b{.known = true, .has_last = true};
  for (uint8_t i = 1; i <= 10; ++i) {
    ++b.next_seq;
    b.last = b.anchor = StoredRecord{0x26, 0x12, 0x07, i};
    ASSERT_TRUE(j->CommitEvent(id, b.last, NowMs(), b));
  }
  Bookmark stale = b;
  stale.next_seq = 5;
  ASSERT_TRUE(j->SaveBookmark(id, stale));

  const std::vector<RepairedBookmark> repaired = RepairBookmarksBehindEvents(*j, error_);
  ASSERT_EQ(repaired.size(), 1u) << error_;
  EXPECT_EQ(repaired[0].was_next_seq, 5);
  Bookmark next = j->LoadBookmark(id).value_or(Bookmark{});
  EXPECT_EQ(next.next_seq, 11);
  EXPECT_EQ(next.last, (StoredRecord{0x26, 0x12, 0x07, 10}));
  EXPECT_EQ(next.anchor, next.last);
  EXPECT_EQ(next.ahead, 0);
  ++next.next_seq;
  EXPECT_TRUE(j->CommitEvent(id, StoredRecord{0x26, 0x12, 0x07, 11}, NowMs(), next))
      << j->last_error();
  EXPECT_TRUE(RepairBookmarksBehindEvents(*j, error_).empty());  // sound ones stay
}

// Once the file at the journal's path is deleted or replaced, commits fail
// and the controller keeps its events.
TEST_F(JournalTest, RefusesCommitsOnceItsFileIsReplaced) {
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  Bookmark b{.known = true, .next_seq = 2};
  ASSERT_TRUE(j->CommitEvent(id, StoredRecord{1}, NowMs(), b));
  std::filesystem::rename(Path(), dir_ + "/moved.db");
  ++b.next_seq;
  EXPECT_FALSE(j->CommitEvent(id, StoredRecord{2}, NowMs(), b));
  EXPECT_NE(j->last_error().find("deleted or moved away"), std::string::npos) << j->last_error();
  std::ofstream(Path()) << "";
  EXPECT_FALSE(j->CommitEvents(id, {StoredRecord{2}}, NowMs(), b));
  EXPECT_NE(j->FileChange().find("replaced by another file"), std::string::npos);
}

// Another process's write transaction costs a commit about a second, and
// nothing once a stop is asked.
TEST_F(JournalTest, WaitsForAnotherWriterBrieflyAndNotAtAllWhenStopping) {
  auto j = OpenJournal();
  ASSERT_TRUE(j);
  const int64_t id = j->Controller({"s", "l", 1, "C"}).value_or(0);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Path().c_str(), &other), SQLITE_OK);
  ASSERT_TRUE(Exec(other, "BEGIN IMMEDIATE"));
  const auto commit_takes = [&] {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(j->CommitEvent(id, StoredRecord{1}, NowMs(), {.known = true, .next_seq = 2}));
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

// The journal holds card PINs: it and its -wal and -shm files are the
// owner's alone, or the group's too under the packaged service's umask.
TEST_F(JournalTest, CreatesItsFilesForTheOwnerOrItsGroup) {
  for (const auto& [umask_value, mode] : {std::pair{022, 0600}, std::pair{007, 0640}}) {
    const mode_t before = ::umask(static_cast<mode_t>(umask_value));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    auto j = OpenJournal();
    ::umask(before);
    ASSERT_TRUE(j);
    ASSERT_TRUE(j->Controller({"s", "l", 1, "C"}));
    for (const char* suffix : {"", "-wal", "-shm"}) {
      struct stat st {};
      ASSERT_EQ(::stat((Path() + suffix).c_str(), &st), 0) << suffix;
      EXPECT_EQ(st.st_mode & 0777, static_cast<mode_t>(mode)) << suffix << " umask " << umask_value;
    }
  }
}

// Why a reader cannot read a file as a journal, and a reader in the
// journal's group reads it while no daemon runs.
TEST_F(JournalTest, ReadersOpenReadOnlyAndSayWhyTheyCannot) {
  ASSERT_TRUE(OpenJournal());  // closed again: no daemon
  std::ofstream(dir_ + "/garbage.db") << std::string(4096, 'x');
  ASSERT_TRUE(Journal::Open(dir_ + "/old.db", error_)) << error_;
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir_ + "/old.db").c_str(), &db), SQLITE_OK);
    ASSERT_TRUE(Exec(db, "DELETE FROM schema_migrations WHERE module = 'journal' AND step = 2"));
    sqlite3_close(db);
  }
  const std::pair<const char*, const char*> cases[] = {
      {"garbage.db", "not a zarvod journal"},
      {"old.db", "written by an older zarvod"},
      {"missing.db", "unable to open"},
  };
  for (const auto& [file, told] : cases) {
    EXPECT_FALSE(JournalReader::Open(dir_ + "/" + file, error_)) << file;
    EXPECT_NE(error_.find(told), std::string::npos) << file << ": " << error_;
  }
  if (::geteuid() != 0) GTEST_SKIP() << "reading as another user needs root";
  // A group member may read the files but create none beside them.
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
    auto reader = JournalReader::Open(Path(), error_);
    if (!reader) std::fprintf(stderr, "%s\n", error_.c_str());
    ::_exit(reader && reader->Controllers().empty() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace zarvod
