#include "collect/collector.h"

#include <algorithm>
#include <utility>

#include "log/log.h"

namespace zarvod {
namespace {

constexpr int kBlockSlots = 192;
constexpr int kLastBlock = 255;
// A block read (6.43 s at 9600 bit/s) costs as much as about 107
// single-record exchanges, and two looks bracket it: fewer new records than
// this in a block are cheaper one by one.
constexpr int kBlockWorth = 110;
// After a block whose log changed while it was read, the next turns take
// records one by one: a log that keeps dropping records would spoil every
// block.
constexpr int kBlocklessTurns = 8;

}  // namespace

Collector::Collector(Journal& journal, int64_t controller_id, ZarvoLine* line, int address,
                     std::string label)
    : journal_(journal),
      controller_id_(controller_id),
      line_(line),
      address_(address),
      label_(std::move(label)) {}

bool Collector::Look() {
  int32_t values[6] = {};
  if (Zarvo_LineDeviceInformation(line_, address_, values) != ZARVO_OK) return false;
  view_ = LogViewFromDeviceValues(values);
  return true;
}

bool Collector::Read(bool move, StoredRecord& record) {
  EventRecord e{};
  const int32_t rc =
      move ? Zarvo_LineMoveNext(line_, address_, &e) : Zarvo_LineReadOne(line_, address_, &e);
  if (rc != ZARVO_OK) return false;
  record = StoredFromEventRecord(e);
  return true;
}

namespace {

bool IsBcd(uint8_t b, int highest) {
  return (b >> 4) <= 9 && (b & 15) <= 9 && (b >> 4) * 10 + (b & 15) <= highest;
}

// A stored record's date and time are BCD and name a real moment; a reply
// the line cut short reads as a record padded with zeros, which does not.
bool LooksWhole(const StoredRecord& r) {
  return IsBcd(r[0], 99) && IsBcd(r[1], 12) && r[1] != 0 && IsBcd(r[2], 31) && r[2] != 0 &&
         IsBcd(r[3], 23) && IsBcd(r[4], 59) && IsBcd(r[5], 59);
}

}  // namespace

bool Collector::ReadChecked(bool move, StoredRecord& record) {
  if (!Read(move, record)) return false;
  if (IsEmptySlot(record) || LooksWhole(record)) return true;
  // Read the record at the read position once more: the same bytes twice
  // are what the controller stored, however odd.
  StoredRecord again{};
  if (!Read(false, again)) return false;
  const bool same = again == record;
  record = again;
  return same || IsEmptySlot(again) || LooksWhole(again);
}

bool Collector::NoteGap(Gap gap, const Bookmark* then) {
  const std::string lost = gap.lost ? std::to_string(*gap.lost) : "an unknown number of";
  LogWarning(label_ + ": gap (" + gap.kind + "): " + lost + " events lost; " + gap.detail);
  const int64_t after = bookmark_.next_seq - 1;
  const bool recorded = then ? journal_.RecordGap(controller_id_, after, gap, *then)
                             : journal_.RecordGap(controller_id_, after, gap);
  if (!recorded) {
    LogError(label_ + ": " + journal_.last_error());
    return false;
  }
  if (then) bookmark_ = *then;
  return true;
}

std::optional<int> Collector::Reconcile() {
  Bookmark& b = bookmark_;
  // Index just past the last record journaled, as the log counted then.
  const int collected = b.has_last ? b.position + b.ahead + 1 : b.position;
  // After a gap, collection goes on from the read position as it is now.
  auto restart_here = [&](Gap gap, int position) {
    on_anchor_ = false;
    Bookmark then = b;
    then.position = position;
    then.has_last = false;
    then.ahead = 0;
    then.count = view_.count;
    then.set_aside = view_.set_aside;
    NoteGap(std::move(gap), &then);
  };
  if (view_.set_aside > b.set_aside || (view_.set_aside == b.set_aside && view_.count < b.count)) {
    // Someone cleared the log. A clear counts the records it sets aside, so
    // the uncollected ones among them are known unless that count is at
    // its ceiling.
    std::optional<int> lost;
    const int cleared = view_.set_aside - b.set_aside;
    if (view_.set_aside < view_.capacity && cleared >= collected) lost = cleared - collected;
    // A clear puts the read position at 0, so its index counts the records
    // of the new log that moves made since passed; none of them was
    // journaled, as every record is looked at again before its commit. The
    // bookmark rests at 0 until they are read back.
    restart_here({"cleared", lost, "the log was cleared by someone else"}, 0);
    passed_after_clear_ = view_.position;
    return 0;
  }
  if (view_.set_aside < b.set_aside) {
    restart_here({"restored", 0,
                  "records a clear had set aside were restored by someone else; collection goes "
                  "on from the read position"},
                 view_.position);
    return 0;
  }
  // In a full log records drop off the front and every index shifts by an
  // unknown amount: only the record's bytes can tell (see LocateByBytes).
  if (view_.full()) return b.has_last ? std::nullopt : std::optional<int>(0);
  // Not full: nothing dropped since the bookmark, so its indexes still hold.
  if (b.has_last && view_.position >= b.position && view_.position <= collected) {
    return collected - view_.position;
  }
  if (passed_after_clear_ > 0 && view_.position == passed_after_clear_ && !b.has_last) return 0;
  passed_after_clear_ = 0;
  if (view_.position > collected) {
    restart_here({"moved-by-other", view_.position - collected,
                  "the read position was moved past events by someone else"},
                 view_.position);
  } else if (view_.position < b.position) {
    restart_here({"moved-by-other", 0,
                  "the read position was moved back by someone else; events it passes again are "
                  "journaled again"},
                 view_.position);
  }
  return 0;
}

// The read position stays on its record while older ones drop (A5), so the
// record there says where it stands: on the anchor (not moved since the
// bookmark), on one of the records journaled after it (moved, or its own
// record dropped and it rests on the oldest), or past them all.
std::optional<int> Collector::LocateByBytes(const StoredRecord& at_position) {
  Bookmark& b = bookmark_;
  if (IsEmptySlot(at_position)) return 0;
  auto restart_here = [&] {
    on_anchor_ = false;
    past_last_of_.reset();
    b.has_last = false;
    b.ahead = 0;
    b.position = view_.position;
  };
  if (past_last_of_ == b.next_seq && b.ahead == 0) {
    // This process saw the answer of the move past the last record: the
    // read position rests on that record (or, past the end then, on the
    // first one logged since) until it drops or someone else moves it.
    if (at_position == past_last_answer_) return 0;
    // The first record logged since rests at index 0 once the log has
    // filled after it, and drops next.
    if (IsEmptySlot(past_last_answer_) && view_.position > 0) return 0;
    if (view_.position == 0) {
      NoteGap({"log-full", std::nullopt,
               "the record after the last one journaled dropped off the full log before it was "
               "read, and maybe more with it"});
    } else {
      NoteGap({"moved-by-other", std::nullopt,
               "the read position was moved by someone else in a full log, past an unknown "
               "number of events"});
    }
    restart_here();
    return 0;
  }
  if (at_position == b.anchor) {
    on_anchor_ = true;
    return b.ahead + 1;
  }
  bool rows_missing = false;
  if (b.ahead > 0) {
    const std::optional<std::vector<StoredRecord>> after_anchor =
        journal_.JournaledRecords(controller_id_, b.next_seq - b.ahead, b.next_seq - 1);
    if (!after_anchor) return std::nullopt;
    // With journaled records missing, a match's index says nothing: the
    // place is unknown, and collection goes on from the read position.
    rows_missing = after_anchor->size() != static_cast<size_t>(b.ahead);
    // The newest match: should a record repeat within the window, records
    // are journaled twice rather than skipped.
    const auto found = std::find(after_anchor->rbegin(), after_anchor->rend(), at_position);
    if (!rows_missing && found != after_anchor->rend()) {
      return b.ahead - static_cast<int>(after_anchor->rend() - found - 1);
    }
  }
  if (view_.position == 0 || b.ahead > 0) {
    // Our last record dropped off the full log before the read position
    // passed what followed it: events may have dropped with it.
    NoteGap({"log-full", std::nullopt,
             rows_missing ? "journaled events after the bookmark are missing from the journal; "
                            "collection goes on from the read position"
                          : "the log was full and dropped its oldest records, among them the "
                            "last one journaled; unread ones may have dropped with it"});
    restart_here();
  } else if (on_anchor_) {
    // Not moved by this process, not on its record, and not at the front
    // where a dropped record would leave it.
    NoteGap({"moved-by-other", std::nullopt,
             "the read position was moved by someone else in a full log, past an unknown number "
             "of events"});
    restart_here();
  }
  return 0;
}

TurnResult Collector::Resolve(std::optional<StoredRecord>& at_position) {
  at_position.reset();
  const Bookmark before = bookmark_;
  std::optional<int> behind = Reconcile();
  if (!behind) {
    behind = 0;
    if (view_.position < view_.count) {
      StoredRecord record{};
      if (!ReadChecked(false, record)) return TurnResult::kNoReply;
      at_position = record;
      behind = LocateByBytes(record);
      if (!behind) {
        LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
        return TurnResult::kJournalFailed;
      }
    }
  }
  behind_ = *behind;
  const bool changed = bookmark_.has_last != before.has_last ||
                       bookmark_.position != before.position || bookmark_.ahead != before.ahead;
  const bool moved =
      behind_ > 0 && (bookmark_.position != view_.position || bookmark_.ahead != behind_ - 1);
  if ((changed || moved) && !RestOnReadPosition(at_position)) {
    LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
    return TurnResult::kJournalFailed;
  }
  return TurnResult::kIdle;
}

// Writes the bookmark anew; when the read position is on a journaled record,
// with that record as its anchor and its index as it stands now.
bool Collector::RestOnReadPosition(const std::optional<StoredRecord>& at_position) {
  Bookmark& b = bookmark_;
  if (behind_ > 0) {
    if (at_position) {
      b.anchor = *at_position;
      on_anchor_ = true;
    } else if (b.position != view_.position) {
      const int64_t seq = b.next_seq - behind_;
      const std::optional<std::vector<StoredRecord>> r =
          journal_.JournaledRecords(controller_id_, seq, seq);
      if (!r) return false;
      if (!r->empty()) b.anchor = r->front();
    }
    b.position = view_.position;
    b.ahead = behind_ - 1;
  }
  return journal_.SaveBookmark(controller_id_, b);
}

bool Collector::BlockPays(int read_position, int next) const {
  const int block = next / kBlockSlots;
  if (blockless_turns_ > 0 || block > kLastBlock) return false;
  // At index 0 of a full log the read position rests where its own record
  // dropped, and a drop during the block would go unseen.
  if (view_.full() && read_position == 0) return false;
  return std::min(view_.count, (block + 1) * kBlockSlots) - next >= kBlockWorth;
}

bool Collector::AtFrontOfFullLog() const {
  return view_.full() && view_.position <= 1 && behind_ <= 1;
}

// Block: the records from the next index to the block's end, journaled in
// one transaction, but only if a look before and a look after the read show
// that no index shifted (nothing dropped, nothing cleared) and the record
// before the first one taken is the last one journaled.
Collector::BlockResult Collector::TakeBlock(const std::optional<StoredRecord>& at_position) {
  const LogView before = view_;
  const int next = before.position + behind_;
  const int first = next % kBlockSlots;
  block_.resize(kBlockSlots);
  if (reading_block_) *reading_block_ = true;
  const int32_t slots =
      Zarvo_LineReadRecordOfBlock(line_, address_, next / kBlockSlots, block_.data());
  if (reading_block_) *reading_block_ = false;
  if (slots < 0 || !Look()) return BlockResult::kNoReply;
  const bool held = view_.position == before.position && view_.set_aside == before.set_aside &&
                    (view_.count == before.count || (view_.count > before.count && !view_.full()));
  if (!held || first >= slots) return BlockResult::kChanged;
  // The record read at the read position must still be there: at the
  // front of a full log it may have dropped, the index staying 0.
  if (behind_ == 0 && at_position && StoredFromEventRecord(block_[first]) != *at_position) {
    return BlockResult::kChanged;
  }
  if (first > 0 && bookmark_.has_last &&
      StoredFromEventRecord(block_[first - 1]) != bookmark_.last) {
    LogWarning(label_ + ": a block read disagrees with the journal; reading records one by one");
    return BlockResult::kChanged;
  }
  std::vector<StoredRecord> taken;
  taken.reserve(static_cast<size_t>(slots - first));
  for (int slot = first; slot < slots; ++slot) taken.push_back(StoredFromEventRecord(block_[slot]));
  const int count = static_cast<int>(taken.size());
  Bookmark next_bookmark = bookmark_;
  next_bookmark.next_seq += count;
  next_bookmark.has_last = true;
  next_bookmark.last = taken.back();
  if (behind_ == 0) next_bookmark.anchor = taken.front();  // taken from the read position on
  next_bookmark.position = view_.position;
  next_bookmark.ahead = behind_ + count - 1;
  next_bookmark.count = view_.count;
  next_bookmark.set_aside = view_.set_aside;
  if (!journal_.CommitEvents(controller_id_, taken, NowMs(), next_bookmark)) {
    LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
    return BlockResult::kJournalFailed;
  }
  bookmark_ = next_bookmark;
  if (behind_ == 0) on_anchor_ = true;
  behind_ += count;
  return BlockResult::kTaken;
}

Collector::RecheckResult Collector::Recheck(int position, bool moved) {
  const LogView seen = view_;
  if (!Look()) return RecheckResult::kNoReply;
  // A clear or a restore since: the record may belong to another log.
  if (view_.set_aside != seen.set_aside || view_.count < seen.count) {
    return RecheckResult::kChanged;
  }
  // In a log with room indexes hold; another index means someone else
  // moved the read position.
  if (!view_.full()) {
    return view_.position == position ? RecheckResult::kSame : RecheckResult::kChanged;
  }
  // In a full log the read position's record drops only from index 0, and
  // a move made after that passes the record that became the oldest; the
  // read position is then at index 1 at most. Beyond, the move passed only
  // the last record journaled.
  return moved && view_.position <= 1 ? RecheckResult::kAtFront : RecheckResult::kSame;
}

TurnResult Collector::TakePassedAfterClear() {
  const int passed = passed_after_clear_;
  const LogView before = view_;
  std::vector<StoredRecord> taken;
  if (passed <= kBlockSlots && !before.full()) {
    block_.resize(kBlockSlots);
    if (reading_block_) *reading_block_ = true;
    const int32_t slots = Zarvo_LineReadRecordOfBlock(line_, address_, 0, block_.data());
    if (reading_block_) *reading_block_ = false;
    if (slots < 0 || !Look()) return TurnResult::kNoReply;
    const bool held = view_.position == before.position && view_.set_aside == before.set_aside &&
                      view_.count >= before.count && !view_.full();
    for (int slot = 0; held && slot < std::min(passed, slots); ++slot) {
      taken.push_back(StoredFromEventRecord(block_[slot]));
    }
  }
  passed_after_clear_ = 0;
  Bookmark next = bookmark_;
  if (static_cast<int>(taken.size()) != passed) {
    next.position = view_.position;
    if (!NoteGap({"cleared", passed,
                  "records logged after a clear were passed before the clear was seen and could "
                  "not be read back"},
                 &next)) {
      return TurnResult::kJournalFailed;
    }
    return TurnResult::kMore;
  }
  next.next_seq += passed;
  next.has_last = true;
  next.last = taken.back();
  next.anchor = taken.back();
  next.position = passed - 1;  // the read position is just past it
  next.ahead = 0;
  next.count = view_.count;
  next.set_aside = view_.set_aside;
  if (!journal_.CommitEvents(controller_id_, taken, NowMs(), next)) {
    LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
    return TurnResult::kJournalFailed;
  }
  bookmark_ = next;
  on_anchor_ = false;
  return TurnResult::kMore;
}

// Catch up: move the read position over records block reads journaled,
// each answer checked against the journal and each move committed in the
// bookmark, until it rests on the last one journaled.
TurnResult Collector::CatchUp(int& budget, const std::atomic<bool>& stop) {
  if (behind_ < 2) return TurnResult::kIdle;
  const std::optional<std::vector<StoredRecord>> journaled = journal_.JournaledRecords(
      controller_id_, bookmark_.next_seq - behind_ + 1, bookmark_.next_seq - 1);
  if (!journaled) {
    LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
    return TurnResult::kJournalFailed;
  }
  const std::vector<StoredRecord>& expected = *journaled;
  // Retention keeps them; should some be missing, the device values alone
  // guard.
  const bool checked = expected.size() == static_cast<size_t>(behind_ - 1);
  for (size_t i = 0; behind_ >= 2; ++i) {
    if (budget-- <= 0 || stop.load()) return TurnResult::kMore;
    StoredRecord answer{};
    on_anchor_ = false;
    if (!ReadChecked(true, answer)) return TurnResult::kNoReply;
    // Another answer: records dropped under the read position or the log
    // was cleared; the next turn's look sorts it out.
    if (checked && answer != expected[i]) {
      return TurnResult::kMore;
    }
    Bookmark next = bookmark_;
    ++next.position;
    --next.ahead;
    next.anchor = answer;
    if (!journal_.SaveBookmark(controller_id_, next)) {
      LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
      return TurnResult::kJournalFailed;
    }
    bookmark_ = next;
    on_anchor_ = true;
    --behind_;
  }
  return TurnResult::kIdle;
}

bool Collector::MovePastLast(StoredRecord& next) {
  past_last_of_.reset();  // until the answer is in, the move may or may not have happened
  on_anchor_ = false;
  if (!ReadChecked(true, next)) return false;
  if (bookmark_.has_last && bookmark_.ahead == 0) {
    past_last_of_ = bookmark_.next_seq;
    past_last_answer_ = next;
  }
  return true;
}

bool Collector::Commit(const StoredRecord& record, int position) {
  Bookmark next = bookmark_;
  ++next.next_seq;
  next.position = position;
  next.has_last = true;
  next.last = record;
  next.ahead = 0;
  next.anchor = record;
  next.count = view_.count;
  next.set_aside = view_.set_aside;
  if (!journal_.CommitEvent(controller_id_, record, NowMs(), next)) return false;
  bookmark_ = next;
  on_anchor_ = true;
  return true;
}

// Take, Recheck, Commit, Move, one record at a time.
TurnResult Collector::TakeOneByOne(std::optional<StoredRecord> at_position, int budget,
                                   const std::atomic<bool>& stop) {
  if (budget <= 0 || stop.load()) return TurnResult::kMore;
  StoredRecord record{};
  int position = view_.position;
  bool moved = false;
  if (behind_ == 1) {
    // On the last record journaled: the move past it a crash or a lost
    // answer cut off (or the end of a catch-up).
    position = bookmark_.position;
    if (!MovePastLast(record)) return TurnResult::kNoReply;
    ++position;
    behind_ = 0;
    moved = true;
  } else if (position >= view_.count) {
    return TurnResult::kIdle;
  } else if (at_position) {
    record = *at_position;
  } else if (!ReadChecked(false, record)) {
    return TurnResult::kNoReply;
  }
  while (!IsEmptySlot(record)) {
    // Recheck: the record was read after the last look; the log may have
    // been cleared since, or the move may have left the front of a full log.
    const RecheckResult seen = Recheck(position, moved);
    if (seen == RecheckResult::kNoReply) return TurnResult::kNoReply;
    if (seen == RecheckResult::kChanged) return TurnResult::kMore;  // the next Reconcile
    if (seen == RecheckResult::kAtFront) {
      NoteGap({"log-full", std::nullopt,
               "the full log dropped records at its front while the read position moved there; "
               "one may have been passed"});
    }
    // Commit: the event and the bookmark, durably, before the move.
    if (!Commit(record, position)) {
      LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
      return TurnResult::kJournalFailed;
    }
    // The turn ends on the record just journaled, not moved past it: at the
    // front of a full log the next turn reads by blocks; a backlog within
    // reach of a block goes faster that way.
    if (seen == RecheckResult::kAtFront || --budget <= 0 || stop.load() ||
        BlockPays(position, position + 1)) {
      return TurnResult::kMore;
    }
    // Move: the read position passes the event only now. The reply is the
    // next record (an empty slot at the end of the log).
    if (!MovePastLast(record)) return TurnResult::kNoReply;
    ++position;
    moved = true;
  }
  return TurnResult::kIdle;
}

TurnResult Collector::Turn(int budget, const std::atomic<bool>& stop) {
  if (!loaded_) {
    // A bookmark that could not be read is not "no bookmark": starting over
    // would journal sequence numbers already taken.
    const std::optional<Bookmark> loaded = journal_.LoadBookmark(controller_id_);
    if (!loaded) {
      LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
      return TurnResult::kJournalFailed;
    }
    bookmark_ = *loaded;
    loaded_ = true;
  }
  // Look
  if (!Look()) return TurnResult::kNoReply;
  // A command waiting (a door to open) goes first: it waits for one
  // exchange at most, not for the reads this look may lead to.
  if (stop.load()) return TurnResult::kMore;
  if (!bookmark_.known) {
    // First contact: what lies before the read position was collected by
    // whoever read this log before us.
    bookmark_ = Bookmark{};
    bookmark_.known = true;
    bookmark_.position = view_.position;
    bookmark_.count = view_.count;
    bookmark_.set_aside = view_.set_aside;
    if (!journal_.SaveBookmark(controller_id_, bookmark_)) return TurnResult::kJournalFailed;
  }
  // Reconcile
  std::optional<StoredRecord> at_position;
  TurnResult result = Resolve(at_position);
  if (result != TurnResult::kIdle) return result;
  if (passed_after_clear_ > 0) return TakePassedAfterClear();
  // Block
  if (blockless_turns_ > 0) --blockless_turns_;
  bool took_blocks = false;
  while (AtFrontOfFullLog() || BlockPays(view_.position, view_.position + behind_)) {
    if (stop.load()) return TurnResult::kMore;
    const BlockResult block = TakeBlock(at_position);
    if (block == BlockResult::kNoReply) return TurnResult::kNoReply;
    if (block == BlockResult::kJournalFailed) return TurnResult::kJournalFailed;
    if (block == BlockResult::kChanged) {
      // Nothing of that block was committed; the records come one by one.
      blockless_turns_ = kBlocklessTurns;
      result = Resolve(at_position);
      if (result != TurnResult::kIdle) return result;
      if (passed_after_clear_ > 0) return TakePassedAfterClear();
      // Still at the front of a full log: no move there, a block next turn.
      if (AtFrontOfFullLog()) return TurnResult::kMore;
      break;
    }
    took_blocks = true;
  }
  // Everything is journaled; the read position catches up in later turns.
  if (took_blocks && view_.position + behind_ >= view_.count) return TurnResult::kIdle;
  // A block read at index 0 of a full log cannot see drops (the index stays
  // 0): one move, checked against the journal, takes the read position off
  // it, and the next turn looks again before the next block.
  if (took_blocks && view_.full() && view_.position == 0) {
    int one = 1;
    result = CatchUp(one, stop);
    return result == TurnResult::kIdle ? TurnResult::kMore : result;
  }
  // Catch up
  result = CatchUp(budget, stop);
  if (result != TurnResult::kIdle) return result;
  // Take, Commit, Move
  return TakeOneByOne(at_position, budget, stop);
}

}  // namespace zarvod
