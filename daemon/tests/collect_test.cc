// Collection against virtual controllers: every event journaled once, in
// order, across lost replies, full logs and logs cleared by someone else.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "commands/command_codes.h"
#include "site_fixture.h"

namespace zarvod::testing {
namespace {

class CollectTest : public VirtualSiteTest {
 protected:
  CollectTest() : VirtualSiteTest({{1, 2, 3, 4}}) {}

  void SetCapacity(uint8_t address, size_t capacity) {
    buses_[0]->WithController(
        address, [&](zarvo::sim::ControllerState& s) { s.events.set_capacity(capacity); });
  }
  // As if someone else had read the log up to `position`.
  void MoveReadPosition(uint8_t address, size_t position) {
    buses_[0]->WithController(address, [&](zarvo::sim::ControllerState& s) {
      while (s.events.position() < position) s.events.Next();
    });
  }
};

TEST_F(CollectTest, JournalsEveryEventOnceInOrderAcrossTurns) {
  LogEvents(0, 1, 100);
  LogEvents(0, 2, 30);
  Drain(0, 1);
  Drain(0, 2);
  LogEvents(0, 1, 7, 500);
  Drain(0, 1);
  Drain(0, 2);
  EXPECT_EQ(Journaled(0, 1), ControllerLog(0, 1));
  EXPECT_EQ(Journaled(0, 2), ControllerLog(0, 2));
  EXPECT_TRUE(Gaps().empty());
}

struct WindowCase {
  const char* name;
  zarvo::sim::FaultKind fault;  // on the reply to the move
  bool full;
};

// A move whose reply is lost: the controller did not move (silence) or did
// and its reply was cut. Collection then resumes (after a restart, from the
// bookmark alone) and journals neither that event again nor skips the next.
// In a full log indexes shift as records drop, and only the record's bytes
// tell where the read position stands.
TEST_F(CollectTest, AMoveWithoutAReplyCostsNothing) {
  const WindowCase cases[] = {
      {"not moved, log with room", zarvo::sim::FaultKind::kSilence, false},
      {"moved, reply cut, log with room", zarvo::sim::FaultKind::kTruncate, false},
      {"not moved, full log", zarvo::sim::FaultKind::kSilence, true},
      {"moved, reply cut, full log", zarvo::sim::FaultKind::kTruncate, true},
  };
  uint8_t address = 0;
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    ++address;
    std::vector<StoredRecord> logged = LogEvents(0, address, 12, 1000);
    if (c.full) {
      SetCapacity(address, 12);
      MoveReadPosition(address, 4);  // read by someone before us
      logged.erase(logged.begin(), logged.begin() + 4);
    } else {
      const std::vector<StoredRecord> history = ControllerLog(0, address);
      logged.insert(logged.begin(), history.begin(), history.end() - 12);
    }
    zarvo::sim::Fault fault;
    fault.kind = c.fault;
    fault.bytes = 30;  // the record does not arrive whole
    fault.command = zarvo::kCmdNextEvent;
    buses_[0]->InjectFault(fault);
    const std::atomic<bool> stop{false};
    CollectorFor(0, address).Turn(64, stop);
    buses_[0]->ClearFaults();
    collectors_.erase({0, address});  // a restart: only the journal remembers
    for (const StoredRecord& r : LogEvents(0, address, 3, 2000)) logged.push_back(r);
    Drain(0, address);
    EXPECT_EQ(Journaled(0, address), logged);
  }
  EXPECT_TRUE(Gaps().empty());
}

struct GapCase {
  const char* name;
  const char* kind;
  int lost;  // -1: unknown
};

// What others do to the log between two turns is recorded as a gap, and
// collection goes on with what the log holds after it.
TEST_F(CollectTest, RecordsAGapWhenEventsAreLostBeforeTheyAreRead) {
  const GapCase cases[] = {{"cleared", "cleared", 5}, {"log-full", "log-full", -1}};
  for (const GapCase& c : cases) {
    SCOPED_TRACE(c.name);
    const uint8_t address = c.kind == std::string("cleared") ? 1 : 2;
    SetCapacity(address, 50);
    Drain(0, address);
    const std::vector<StoredRecord> kept = ControllerLog(0, address);
    if (c.kind == std::string("cleared")) {
      LogEvents(0, address, 5, 3000);
      buses_[0]->WithController(address, [](auto& s) { s.events.Clear(); });
      LogEvents(0, address, 3, 4000);
    } else {
      LogEvents(0, address, 80, 3000);  // 30 of them never fit
    }
    Drain(0, address);
    std::vector<StoredRecord> expected = kept;
    const std::vector<StoredRecord> now = ControllerLog(0, address);
    expected.insert(expected.end(), now.begin(), now.end());
    EXPECT_EQ(Journaled(0, address), expected);
    const std::vector<GapRow> gaps = Gaps();
    ASSERT_FALSE(gaps.empty());
    EXPECT_EQ(gaps.front().kind, c.kind);
    EXPECT_EQ(gaps.front().controller, Name(0, address));
    EXPECT_EQ(gaps.front().after_seq, static_cast<int64_t>(kept.size()));
    EXPECT_EQ(gaps.front().lost.value_or(-1), c.lost);
  }
  EXPECT_EQ(Gaps().size(), 2u);
}

// A full log that keeps taking events while the read position stays ahead
// of the dropping records loses nothing and records no gap.
TEST_F(CollectTest, FullLogWithTheReadPositionAheadLosesNothing) {
  SetCapacity(1, 20);
  LogEvents(0, 1, 30, 100);
  MoveReadPosition(1, 20);  // everything read; the log stays full
  std::vector<StoredRecord> logged;
  for (int round = 0; round < 5; ++round) {
    for (const StoredRecord& r : LogEvents(0, 1, 7, 1000 + 10 * round)) logged.push_back(r);
    Drain(0, 1);
  }
  EXPECT_EQ(Journaled(0, 1), logged);
  EXPECT_TRUE(Gaps().empty());
}

// The same card shown twice within a second at one door logs two records
// with the same bytes. Once the move past the first is confirmed, the
// second is a new event, full log or not.
TEST_F(CollectTest, ATwinOfTheLastRecordInAFullLogIsJournaledToo) {
  SetCapacity(1, 20);
  LogEvents(0, 1, 20, 100);
  Drain(0, 1);
  std::vector<StoredRecord> logged = Journaled(0, 1);
  for (int twins = 0; twins < 2; ++twins) {
    buses_[0]->WithController(1, [&](zarvo::sim::ControllerState& state) {
      state.events.Append(state.events.records().back());
      logged.push_back(state.events.records().back());
    });
    Drain(0, 1);
  }
  EXPECT_EQ(Journaled(0, 1), logged);
  EXPECT_TRUE(Gaps().empty());
}

// Someone clears the log while a turn takes records one by one: nothing of
// the new log is lost or taken for the old, and the gap counts exactly the
// old log's uncollected records, at their place.
TEST_F(CollectTest, AClearDuringATurnLosesNothingOfTheNewLogAndCountsTheOld) {
  const struct {
    const char* name;
    uint8_t after;  // the clear comes while the reply to the nth of these is on the line
    int nth;
  } cases[] = {
      {"cleared as a move's answer is on the line", zarvo::kCmdNextEvent, 2},
      {"cleared between a look and a move", zarvo::kCmdDeviceInformation, 3},
  };
  uint8_t address = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ++address;
    Drain(0, address);
    std::vector<StoredRecord> expected = ControllerLog(0, address);
    const std::vector<StoredRecord> logged = LogEvents(0, address, 10, 100);
    std::vector<StoredRecord> after_clear;
    buses_[0]->set_after_answer([&, seen = 0](uint8_t command, auto& state) mutable {
      if (command != c.after || ++seen != c.nth) return;
      state.events.Clear();
      for (uint32_t i = 0; i < 3; ++i) {
        state.LogEvent(zarvo::sim::kEventCardPresented, 0, 900 + i, 0);
        after_clear.push_back(state.events.records().back());
      }
    });
    Drain(0, address);
    buses_[0]->set_after_answer(nullptr);
    expected.insert(expected.end(), logged.begin(), logged.begin() + 2);
    const int64_t gap_after = static_cast<int64_t>(expected.size());
    expected.insert(expected.end(), after_clear.begin(), after_clear.end());
    EXPECT_EQ(Journaled(0, address), expected);
    const std::vector<GapRow> gaps = Gaps();
    ASSERT_EQ(gaps.size(), static_cast<size_t>(address));
    EXPECT_EQ(gaps.back().kind, "cleared");
    EXPECT_EQ(gaps.back().after_seq, gap_after);
    EXPECT_EQ(gaps.back().lost.value_or(-1), 8);
  }
}

// A look that gets no reply ends the turn: nothing is decided on what the
// log looked like before.
TEST_F(CollectTest, ALookWithoutAReplyEndsTheTurn) {
  Drain(0, 1);
  LogEvents(0, 1, 5, 100);
  zarvo::sim::Fault fault;
  fault.kind = zarvo::sim::FaultKind::kSilence;
  fault.command = zarvo::kCmdDeviceInformation;
  buses_[0]->InjectFault(fault);
  const std::atomic<bool> stop{false};
  EXPECT_EQ(CollectorFor(0, 1).Turn(64, stop), TurnResult::kNoReply);
  buses_[0]->ClearFaults();
  Drain(0, 1);
  EXPECT_EQ(Journaled(0, 1), ControllerLog(0, 1));
  EXPECT_TRUE(Gaps().empty());
}

// A log that overflowed unread keeps taking events while it is collected
// from its front, where each new record drops the oldest: what dropped is
// one run, at one gap, and nothing after it is lost.
TEST_F(CollectTest, AnOverflowedLogTakingEventsLosesNothingMoreAtItsFront) {
  SetCapacity(1, 60);
  Drain(0, 1);
  std::vector<StoredRecord> logged = ControllerLog(0, 1);
  for (const StoredRecord& r : LogEvents(0, 1, 100, 1000)) logged.push_back(r);
  // One event in every three exchanges, and one right after the first
  // record is read at the front.
  buses_[0]->set_after_answer([&, answers = 0, read_ones = 0](uint8_t command,
                                                              auto& state) mutable {
    const bool first_read = command == zarvo::kCmdReadEvent && read_ones++ == 0;
    if (++answers % 3 != 0 && !first_read) return;
    state.LogEvent(zarvo::sim::kEventCardPresented, 1, 5000 + static_cast<uint32_t>(answers), 0);
    logged.push_back(state.events.records().back());
  });
  const std::atomic<bool> stop{false};
  for (int turn = 0; turn < 40; ++turn) CollectorFor(0, 1).Turn(64, stop);
  buses_[0]->set_after_answer(nullptr);
  Drain(0, 1);
  const std::vector<StoredRecord> journaled = Journaled(0, 1);
  const std::vector<GapRow> gaps = Gaps();
  ASSERT_EQ(gaps.size(), 1u);
  ASSERT_LT(journaled.size(), logged.size());
  const auto hole = std::mismatch(journaled.begin(), journaled.end(), logged.begin()).first;
  EXPECT_EQ(gaps[0].after_seq, hole - journaled.begin());
  EXPECT_TRUE(std::equal(hole, journaled.end(),
                         logged.end() - static_cast<std::ptrdiff_t>(journaled.end() - hole)));
}

// Someone else moves the read position of a full log while the daemon
// knows which record it is on: a gap with an unknown count (indexes shift
// as records drop).
TEST_F(CollectTest, AReadPositionMovedByAnotherInAFullLogIsAGap) {
  SetCapacity(1, 20);
  LogEvents(0, 1, 30, 100);
  MoveReadPosition(1, 5);  // read by someone before us
  const std::vector<StoredRecord> log = ControllerLog(0, 1);
  const std::atomic<bool> stop{false};
  EXPECT_EQ(CollectorFor(0, 1).Turn(3, stop), TurnResult::kMore);
  buses_[0]->WithController(1, [](auto& s) {
    for (int i = 0; i < 4; ++i) s.events.Next();
  });
  Drain(0, 1);
  std::vector<StoredRecord> expected(log.begin() + 5, log.begin() + 8);
  const std::vector<StoredRecord> rest = ControllerLog(0, 1);
  expected.insert(expected.end(), rest.begin() + 11, rest.end());
  EXPECT_EQ(Journaled(0, 1), expected);
  const std::vector<GapRow> gaps = Gaps();
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_EQ(gaps[0].kind, "moved-by-other");
  EXPECT_EQ(gaps[0].after_seq, 3);
  EXPECT_FALSE(gaps[0].lost);
}

}  // namespace
}  // namespace zarvod::testing

namespace zarvod::testing {
namespace {

// A journal that cannot be written stops event reading: the controller
// keeps its events, and they are journaled once writing works again.
TEST_F(CollectTest, AJournalThatCannotBeWrittenLeavesTheEventsOnTheController) {
  LogEvents(0, 1, 5);
  auto exec = [this](const char* sql) {
    auto lock = journal_->Lock();
    ASSERT_TRUE(Exec(journal_->db(), sql));
  };
  exec("CREATE TRIGGER full_disk BEFORE INSERT ON events BEGIN SELECT RAISE(FAIL, 'full'); END");
  const std::atomic<bool> stop{false};
  EXPECT_EQ(CollectorFor(0, 1).Turn(64, stop), TurnResult::kJournalFailed);
  buses_[0]->WithController(1, [](auto& s) { EXPECT_EQ(s.events.position(), 0u); });
  exec("DROP TRIGGER full_disk");
  Drain(0, 1);
  EXPECT_EQ(Journaled(0, 1), ControllerLog(0, 1));
}

int DenyBookmarkReads(void*, int action, const char* table, const char*, const char*, const char*) {
  return action == SQLITE_READ && table && std::string(table) == "bookmarks" ? SQLITE_DENY
                                                                             : SQLITE_OK;
}

// A bookmark that cannot be read is no first contact: the turn fails and
// nothing is written that would put the bookmark behind journaled events.
TEST_F(CollectTest, ABookmarkThatCannotBeReadIsReadAgainLater) {
  LogEvents(0, 1, 5);
  Drain(0, 1);
  collectors_.erase({0, 1});  // a restart: only the journal remembers
  LogEvents(0, 1, 3, 500);
  const auto deny = [this](bool on) {
    auto lock = journal_->Lock();
    sqlite3_set_authorizer(journal_->db(), on ? DenyBookmarkReads : nullptr, nullptr);
  };
  deny(true);
  const std::atomic<bool> stop{false};
  EXPECT_EQ(CollectorFor(0, 1).Turn(64, stop), TurnResult::kJournalFailed);
  deny(false);
  Drain(0, 1);
  EXPECT_EQ(Journaled(0, 1), ControllerLog(0, 1));
}

}  // namespace
}  // namespace zarvod::testing

namespace zarvod::testing {
namespace {

class BlockDrainTest : public CollectTest {
 protected:
  // Runs `during` on the controller while the first block read's reply is
  // on the line, and counts block reads.
  void DuringFirstBlock(std::function<void(zarvo::sim::ControllerState&)> during) {
    buses_[0]->set_after_answer([this, during](uint8_t command, auto& state) {
      if (command != zarvo::kCmdReadEventBlock) return;
      if (block_reads_++ == 0 && during) during(state);
    });
  }
  void ExpectReadPositionPastTheLastRecord(uint8_t address) {
    buses_[0]->WithController(
        address, [](auto& s) { EXPECT_EQ(s.events.position(), s.events.records().size()); });
  }
  int block_reads_ = 0;
};

enum class DuringBlock { kNothing, kEvents, kClear };

struct BlockCase {
  const char* name;
  DuringBlock during;
  size_t capacity;  // the log is full of the backlog when it is this size
  int first_drain;  // events journaled before the backlog
  int block_reads;  // at least
};

// A backlog is read by blocks, one commit per block, and the read position
// catches up afterwards. A block under which the log changed (records
// dropped off a full log, a clear) is not committed: collection falls back
// to single records and loses nothing that was still in the log.
TEST_F(BlockDrainTest, DrainsABacklogByBlocksAndFallsBackWhenTheLogChanges) {
  const BlockCase cases[] = {
      {"log with room", DuringBlock::kNothing, 4096, 0, 2},
      {"full log taking events during the block", DuringBlock::kEvents, 400, 0, 1},
      {"log cleared during the block", DuringBlock::kClear, 4096, 200, 1},
  };
  uint8_t address = 0;
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.name);
    ++address;
    block_reads_ = 0;
    SetCapacity(address, c.capacity);
    std::vector<StoredRecord> expected;
    if (c.first_drain > 0) {
      LogEvents(0, address, c.first_drain, 100);
      Drain(0, address);
      expected = ControllerLog(0, address);
    }
    LogEvents(0, address, 400, 1000);
    if (c.during == DuringBlock::kEvents) MoveReadPosition(address, 50);  // read before us
    std::vector<StoredRecord> late;
    DuringFirstBlock([&](zarvo::sim::ControllerState& s) {
      if (c.during == DuringBlock::kClear) s.events.Clear();
      if (c.during == DuringBlock::kNothing) return;
      for (uint32_t i = 0; i < 5; ++i) {
        s.LogEvent(zarvo::sim::kEventCardPresented, 0, 5000 + i, 0);
        late.push_back(s.events.records().back());
      }
    });
    const std::vector<StoredRecord> before_block = ControllerLog(0, address);
    Drain(0, address);
    buses_[0]->set_after_answer(nullptr);
    if (c.during == DuringBlock::kEvents) {
      expected.assign(before_block.begin() + 50, before_block.end());
    } else if (c.during == DuringBlock::kNothing) {
      expected = before_block;
    }
    expected.insert(expected.end(), late.begin(), late.end());
    EXPECT_EQ(Journaled(0, address), expected);
    EXPECT_GE(block_reads_, c.block_reads);
    ExpectReadPositionPastTheLastRecord(address);
  }
  const std::vector<GapRow> gaps = Gaps();
  ASSERT_EQ(gaps.size(), 1u);  // the clear's
  EXPECT_EQ(gaps[0].kind, "cleared");
  EXPECT_EQ(gaps[0].lost.value_or(-1), 400);
}

struct CatchUpCase {
  const char* name;
  size_t capacity;                // 384: the backlog fills the log
  zarvo::sim::FaultKind on_move;  // on the first catch-up move
};

// A restart (kill -9) after block commits, before or during the catch-up,
// and a catch-up move whose answer is lost: the bookmark alone tells where
// the read position stands, by index in a log with room, by the record's
// bytes in a full log that drops records meanwhile.
TEST_F(BlockDrainTest, ARestartOrALostMoveDuringTheCatchUpCostsNothing) {
  const CatchUpCase cases[] = {
      {"restart before the catch-up, log with room", 4096, zarvo::sim::FaultKind::kNone},
      {"restart before the catch-up, full log", 384, zarvo::sim::FaultKind::kNone},
      {"catch-up move not made, full log", 384, zarvo::sim::FaultKind::kSilence},
      {"catch-up move made, answer cut, full log", 384, zarvo::sim::FaultKind::kTruncate},
  };
  uint8_t address = 0;
  for (const CatchUpCase& c : cases) {
    SCOPED_TRACE(c.name);
    ++address;
    SetCapacity(address, c.capacity);
    LogEvents(0, address, 384 - static_cast<int>(ControllerLog(0, address).size()), 1000);
    MoveReadPosition(address, 1);  // a full log is block-read with the read position off 0
    std::vector<StoredRecord> logged = ControllerLog(0, address);
    logged.erase(logged.begin());
    const std::atomic<bool> stop{false};
    EXPECT_EQ(CollectorFor(0, address).Turn(64, stop), TurnResult::kIdle);
    EXPECT_TRUE(CollectorFor(0, address).catching_up());
    EXPECT_EQ(Journaled(0, address), logged);
    if (c.on_move != zarvo::sim::FaultKind::kNone) {
      zarvo::sim::Fault fault;
      fault.kind = c.on_move;
      fault.bytes = 30;
      fault.command = zarvo::kCmdNextEvent;
      buses_[0]->InjectFault(fault);
      CollectorFor(0, address).Turn(64, stop);
      buses_[0]->ClearFaults();
    }
    collectors_.erase({0, address});  // a restart: only the journal remembers
    // In the full log these drop as many of the oldest, the read position's own
    // record among them.
    for (const StoredRecord& r : LogEvents(0, address, 20, 9000)) logged.push_back(r);
    Drain(0, address);
    EXPECT_EQ(Journaled(0, address), logged);
    ExpectReadPositionPastTheLastRecord(address);
  }
  EXPECT_TRUE(Gaps().empty());
}

// Retention after a block drain keeps what the catch-up needs; events found
// missing all the same (deleted by hand) make the read position's place
// unknown: from it on all is journaled again, behind a gap of unknown count.
TEST_F(BlockDrainTest, EventsMissingFromTheJournalDuringTheCatchUpSkipNothing) {
  for (const uint8_t address : {1, 2}) {
    const bool by_retention = address == 1;
    SCOPED_TRACE(by_retention ? "pruned by retention" : "deleted by hand");
    SetCapacity(address, 128);
    LogEvents(0, address, 128 - static_cast<int>(ControllerLog(0, address).size()), 1000);
    MoveReadPosition(address, 1);  // a full log is block-read with the read position off 0
    std::vector<StoredRecord> logged = ControllerLog(0, address);
    logged.erase(logged.begin());
    const std::atomic<bool> stop{false};
    EXPECT_EQ(CollectorFor(0, address).Turn(64, stop), TurnResult::kIdle);
    ASSERT_TRUE(CollectorFor(0, address).catching_up());
    if (by_retention) {
      EXPECT_EQ(journal_->Prune(0, 10), 0);  // all from the anchor on
    } else {
      auto lock = journal_->Lock();
      ASSERT_TRUE(Exec(JournalDb(), "DELETE FROM events WHERE seq BETWEEN 2 AND 19"));
    }
    collectors_.erase({0, address});  // a restart: only the journal remembers
    // These drop the read position's record and it rests on the oldest left.
    for (const StoredRecord& r : LogEvents(0, address, 25, 9000)) logged.push_back(r);
    Drain(0, address);
    ExpectReadPositionPastTheLastRecord(address);
    if (by_retention) {
      EXPECT_EQ(Journaled(0, address), logged);
      EXPECT_TRUE(Gaps().empty());
      continue;
    }
    std::vector<StoredRecord> journaled;
    std::string error;
    JournalReader::Open(JournalPath(), error)->ForEachEvent(0, 0, [&](const EventRow& e) {
      if (e.controller == Name(0, address)) journaled.push_back(e.raw);
    });
    const std::vector<StoredRecord> in_the_log = ControllerLog(0, address);
    ASSERT_GE(journaled.size(), in_the_log.size());
    EXPECT_TRUE(std::equal(in_the_log.begin(), in_the_log.end(),
                           journaled.end() - static_cast<std::ptrdiff_t>(in_the_log.size())));
  }
  const std::vector<GapRow> gaps = Gaps();
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_EQ(gaps[0].controller, Name(0, 2));
  EXPECT_FALSE(gaps[0].lost);
}

}  // namespace
}  // namespace zarvod::testing
