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

void Collector::NoteGap(Gap gap) {
  const std::string lost = gap.lost ? std::to_string(*gap.lost) : "an unknown number of";
  LogWarning(label_ + ": gap (" + gap.kind + "): " + lost + " events lost; " + gap.detail);
  if (!journal_.RecordGap(controller_id_, bookmark_.next_seq - 1, gap)) {
    LogError(label_ + ": " + journal_.last_error());
  }
}

std::optional<int> Collector::Reconcile() {
  Bookmark& b = bookmark_;
  // Index just past the last record journaled, as the log counted then.
  const int collected = b.has_last ? b.position + b.ahead + 1 : b.position;
  // After a gap, collection goes on from the read position as it is now.
  auto restart_here = [&] {
    b.position = view_.position;
    b.has_last = false;
    b.ahead = 0;
    b.count = view_.count;
    b.set_aside = view_.set_aside;
    if (!journal_.SaveBookmark(controller_id_, b)) LogError(label_ + ": " + journal_.last_error());
  };
  if (view_.set_aside > b.set_aside || (view_.set_aside == b.set_aside && view_.count < b.count)) {
    // Someone cleared the log. A clear counts the records it sets aside, so
    // the uncollected ones among them are known unless that count is at
    // its ceiling.
    std::optional<int> lost;
    const int cleared = view_.set_aside - b.set_aside;
    if (view_.set_aside < view_.capacity && cleared >= collected) lost = cleared - collected;
    NoteGap({"cleared", lost, "the log was cleared by someone else"});
    restart_here();
    return 0;
  }
  if (view_.set_aside < b.set_aside) {
    NoteGap({"restored", 0,
             "records a clear had set aside were restored by someone else; collection goes on "
             "from the read position"});
    restart_here();
    return 0;
  }
  // In a full log records drop off the front and every index shifts by an
  // unknown amount: only the record's bytes can tell (see LocateByBytes).
  if (view_.full()) return b.has_last ? std::nullopt : std::optional<int>(0);
  // Not full: nothing dropped since the bookmark, so its indexes still hold.
  if (b.has_last && view_.position >= b.position && view_.position <= collected) {
    return collected - view_.position;
  }
  if (view_.position > collected) {
    NoteGap({"moved-by-other", view_.position - collected,
             "the read position was moved past events by someone else"});
    restart_here();
  } else if (view_.position < b.position) {
    NoteGap({"moved-by-other", 0,
             "the read position was moved back by someone else; events it passes again are "
             "journaled again"});
    restart_here();
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
  const bool moved_past_last = past_last_of_ == b.next_seq && b.ahead == 0;
  if (at_position == b.anchor && !moved_past_last) return b.ahead + 1;
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
    b.has_last = false;
    b.ahead = 0;
    b.position = view_.position;
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

// Block: the records from the next index to the block's end, journaled in
// one transaction, but only if a look before and a look after the read show
// that no index shifted (nothing dropped, nothing cleared) and the record
// before the first one taken is the last one journaled.
Collector::BlockResult Collector::TakeBlock() {
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
  behind_ += count;
  return BlockResult::kTaken;
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
    --behind_;
  }
  return TurnResult::kIdle;
}

bool Collector::MovePastLast(StoredRecord& next) {
  past_last_of_.reset();  // until the answer is in, the move may or may not have happened
  if (!ReadChecked(true, next)) return false;
  if (bookmark_.has_last && bookmark_.ahead == 0) past_last_of_ = bookmark_.next_seq;
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
  return true;
}

// Take, Commit, Move, one record at a time.
TurnResult Collector::TakeOneByOne(std::optional<StoredRecord> at_position, int budget,
                                   const std::atomic<bool>& stop) {
  StoredRecord record{};
  int position = view_.position;
  if (behind_ == 1) {
    // On the last record journaled: the move past it a crash or a lost
    // answer cut off (or the end of a catch-up).
    position = bookmark_.position;
    if (!MovePastLast(record)) return TurnResult::kNoReply;
    ++position;
    behind_ = 0;
  } else if (position >= view_.count) {
    return TurnResult::kIdle;
  } else if (at_position) {
    record = *at_position;
  } else if (!ReadChecked(false, record)) {
    return TurnResult::kNoReply;
  }
  while (!IsEmptySlot(record)) {
    if (budget-- <= 0 || stop.load()) return TurnResult::kMore;
    // Commit: the event and the bookmark, durably, before the move.
    if (!Commit(record, position)) {
      LogError(label_ + ": journal: " + journal_.last_error() + "; event reading stops");
      return TurnResult::kJournalFailed;
    }
    // Move: the read position passes the event only now. The reply is the
    // next record (an empty slot at the end of the log).
    if (!MovePastLast(record)) return TurnResult::kNoReply;
    ++position;
    // A backlog that has come within reach of a block goes faster that way.
    if (!IsEmptySlot(record) && BlockPays(position, position)) return TurnResult::kMore;
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
  // Block
  if (blockless_turns_ > 0) --blockless_turns_;
  bool took_blocks = false;
  while (BlockPays(view_.position, view_.position + behind_)) {
    if (stop.load()) return TurnResult::kMore;
    const BlockResult block = TakeBlock();
    if (block == BlockResult::kNoReply) return TurnResult::kNoReply;
    if (block == BlockResult::kJournalFailed) return TurnResult::kJournalFailed;
    if (block == BlockResult::kChanged) {
      // Nothing of that block was committed; the records come one by one.
      blockless_turns_ = kBlocklessTurns;
      result = Resolve(at_position);
      if (result != TurnResult::kIdle) return result;
      break;
    }
    took_blocks = true;
  }
  // Everything is journaled; the read position catches up in later turns.
  if (took_blocks && view_.position + behind_ >= view_.count) return TurnResult::kIdle;
  // Catch up
  result = CatchUp(budget, stop);
  if (result != TurnResult::kIdle) return result;
  // Take, Commit, Move
  return TakeOneByOne(at_position, budget, stop);
}

}  // namespace zarvod
