#include "collect/collector.h"

#include <utility>

#include "log/log.h"

namespace zarvod {

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
  const int collected = b.has_last ? b.position + 1 : b.position;
  // After a gap, collection goes on from the read position as it is now.
  auto restart_here = [&] {
    b.position = view_.position;
    b.has_last = false;
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
    return std::nullopt;
  }
  if (view_.set_aside < b.set_aside) {
    NoteGap({"restored", 0,
             "records a clear had set aside were restored by someone else; collection goes on "
             "from the read position"});
    restart_here();
    return std::nullopt;
  }
  // In a full log records drop off the front and every index shifts by an
  // unknown amount: only the record's bytes can tell (see Take).
  if (view_.full()) return b.has_last ? std::optional<int>(view_.position) : std::nullopt;
  // Not full: nothing dropped since the bookmark, so its index still holds.
  if (b.has_last && view_.position == b.position) return b.position;
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
  return std::nullopt;
}

// The record at the read position is the bookmark's last one (journaled,
// not yet moved past) when the read position has not moved: told by its
// index where nothing dropped, by its bytes in a full log.
bool Collector::AlreadyJournaled(const StoredRecord& at_position,
                                 std::optional<int> unmoved_at) const {
  return unmoved_at && bookmark_.has_last && at_position == bookmark_.last;
}

bool Collector::Commit(const StoredRecord& record, int position) {
  Bookmark next = bookmark_;
  ++next.next_seq;
  next.position = position;
  next.has_last = true;
  next.last = record;
  next.count = view_.count;
  next.set_aside = view_.set_aside;
  if (!journal_.CommitEvent(controller_id_, record, NowMs(), next)) return false;
  bookmark_ = next;
  return true;
}

TurnResult Collector::Turn(int budget, const std::atomic<bool>& stop) {
  if (!loaded_) {
    bookmark_ = journal_.LoadBookmark(controller_id_);
    loaded_ = true;
  }
  // Look
  if (!Look()) return TurnResult::kNoReply;
  if (!bookmark_.known) {
    // First contact: what lies before the read position was collected by
    // whoever read this log before us.
    bookmark_ = Bookmark{true, 1, view_.position, false, {}, view_.count, view_.set_aside};
    if (!journal_.SaveBookmark(controller_id_, bookmark_)) return TurnResult::kJournalFailed;
  }
  // Reconcile
  const bool full_at_look = view_.full();
  const std::optional<int> unmoved_at = Reconcile();
  if (view_.position >= view_.count) return TurnResult::kIdle;
  // Take
  StoredRecord record{};
  if (!ReadChecked(false, record)) return TurnResult::kNoReply;
  int position = view_.position;
  if (AlreadyJournaled(record, unmoved_at)) {
    if (!ReadChecked(true, record)) return TurnResult::kNoReply;
    ++position;
  } else if (full_at_look && view_.position == 0 && bookmark_.has_last) {
    // Our last record dropped off the full log before the read position
    // passed what followed it: events may have dropped with it.
    NoteGap({"log-full", std::nullopt,
             "the log was full and dropped its oldest records, among them the last one "
             "journaled; unread ones may have dropped with it"});
    bookmark_.has_last = false;
    bookmark_.position = 0;
    if (!journal_.SaveBookmark(controller_id_, bookmark_)) return TurnResult::kJournalFailed;
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
    if (!ReadChecked(true, record)) return TurnResult::kNoReply;
    ++position;
  }
  return TurnResult::kIdle;
}

}  // namespace zarvod
