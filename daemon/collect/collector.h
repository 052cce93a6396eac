// Collects one controller's events exactly once. The steps carry the names
// they have in docs/daemon.md ("Exactly once"): Look, Reconcile, Take, Recheck,
// Commit, Move, and for a backlog Block and Catch up. The invariant: the
// controller's read position moves past an event only after the journal has
// committed it, together with a bookmark that says where the read position
// stood.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "collect/log_view.h"
#include "journal/journal.h"
#include "zarvoac.h"

namespace zarvod {

enum class TurnResult {
  kIdle,           // every event the controller had is journaled
  kMore,           // stopped at the budget (or a stop request); more may wait
  kNoReply,        // an exchange failed; the bookmark still holds
  kJournalFailed,  // the journal could not be written; nothing was moved
};

class Collector {
 public:
  Collector(Journal& journal, int64_t controller_id, ZarvoLine* line, int address,
            std::string label);

  // One turn on the line: looks at the log and journals up to `budget`
  // events (a backlog by whole blocks), or moves the read position up to
  // `budget` records towards what block reads journaled. Returns early,
  // between two exchanges, once `stop` is set.
  TurnResult Turn(int budget, const std::atomic<bool>& stop);

  // Everything is journaled but the read position still has to catch up
  // with what block reads took (later turns do it).
  bool catching_up() const { return bookmark_.ahead > 0; }
  // `flag` is true while a block read is on the line. A block read moves
  // nothing on the controller and nothing of it is committed until it is
  // over, so a process that stops may leave it unfinished.
  void ReportBlockReadsTo(std::atomic<bool>* flag) { reading_block_ = flag; }
  const LogView& last_view() const { return view_; }

 private:
  enum class BlockResult { kTaken, kChanged, kNoReply, kJournalFailed };
  enum class RecheckResult { kSame, kAtFront, kChanged, kNoReply };

  bool Look();
  // Compares the log with the bookmark and records any gap. Returns how many
  // journaled records lie from the read position on, when the device values
  // tell (a log with room); nullopt when only the record's bytes can.
  std::optional<int> Reconcile();
  // The same from the record at the read position (a full log); nullopt
  // when the journal could not be read.
  std::optional<int> LocateByBytes(const StoredRecord& at_position);
  // Reconcile, then Locate where needed; sets behind_ and rests the
  // bookmark on the read position. `at_position` receives the record there
  // when it was read.
  TurnResult Resolve(std::optional<StoredRecord>& at_position);
  bool RestOnReadPosition(const std::optional<StoredRecord>& at_position);
  bool BlockPays(int read_position, int next) const;
  // The read position at or next to the oldest record of a full log, with
  // nothing journaled past it: a move there may pass a record that drops
  // just before it, so the records are taken by a block read instead.
  bool AtFrontOfFullLog() const;
  BlockResult TakeBlock(const std::optional<StoredRecord>& at_position);
  // After a clear: the records of the new log that the read position
  // passed before the clear was seen, read back from block 0.
  TurnResult TakePassedAfterClear();
  // Look again before committing a record read after the turn's look.
  RecheckResult Recheck(int position, bool moved);
  TurnResult CatchUp(int& budget, const std::atomic<bool>& stop);
  TurnResult TakeOneByOne(std::optional<StoredRecord> at_position, int budget,
                          const std::atomic<bool>& stop);
  // Records the gap; with `then`, in one transaction with that bookmark,
  // which becomes the collector's.
  bool NoteGap(Gap gap, const Bookmark* then = nullptr);
  bool Read(bool move, StoredRecord& record);
  // Read, with a record that looks cut short read again at the read position.
  bool ReadChecked(bool move, StoredRecord& record);
  // Move next past the bookmark's last record; false when the answer was lost.
  bool MovePastLast(StoredRecord& next);
  bool Commit(const StoredRecord& record, int position);

  Journal& journal_;
  int64_t controller_id_;
  ZarvoLine* line_;
  int address_;
  std::string label_;
  Bookmark bookmark_;
  LogView view_;
  bool loaded_ = false;
  // Journaled records from the read position on, after Resolve: 0 when the
  // read position is on the next record to take (or past the last one).
  int behind_ = 0;
  // Set (to the bookmark's next_seq) when this process saw the answer of the
  // move past the bookmark's last record: the read position is then on the
  // record after it, even one with the same bytes (a card shown twice
  // within a second). After a restart, or a move whose answer was lost, the
  // bytes decide (A8).
  std::optional<int64_t> past_last_of_;
  // The answer of that move: the record the read position rests on, unless
  // it dropped off a full log since or someone else moved it.
  StoredRecord past_last_answer_{};
  // Records of a log cleared by someone else that the read position passed
  // in the new log before the clear was seen.
  int passed_after_clear_ = 0;
  // The read position is on the anchor: this process saw it there and has
  // not moved it since. In a full log it then stays on the anchor until
  // that record drops (and it rests on the oldest, index 0); anywhere else,
  // someone else moved it.
  bool on_anchor_ = false;
  // Turns left without block reads after one whose log changed under it.
  int blockless_turns_ = 0;
  std::vector<EventRecord> block_;
  std::atomic<bool>* reading_block_ = nullptr;
};

}  // namespace zarvod
