// The journal file: schema steps of several modules applied once each, in
// order, and retention by age and count.
#include "journal/journal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

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
