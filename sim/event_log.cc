#include "event_log.h"

#include <algorithm>
#include <cstring>

namespace zarvo::sim {
namespace {

uint8_t Bcd(int v) {
  v = ((v % 100) + 100) % 100;
  return static_cast<uint8_t>(16 * (v / 10) + v % 10);
}

void Put24(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 16);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v);
}

struct PastEvent {
  int64_t seconds_ago;
  uint8_t kind;
  uint8_t door;
  uint32_t card;
};

constexpr PastEvent kHistory[] = {
    {3 * 3600 + 1210, kEventCardPresented, 0, 123456},
    {2 * 3600 + 845, kEventCardPresented, 1, 654321},
    {2 * 3600 + 790, kEventDoorOpened, 1, 0},
    {1 * 3600 + 302, kEventCardPresented, 0, 777001},
    {1 * 3600 + 35, kEventCardPresented, 2, 123456},
    {1 * 1800 + 12, kEventCardPresented, 3, 888123},
};

}  // namespace

StoredEvent MakeStoredEvent(const DateTime& when, uint8_t value1, uint8_t value2, uint32_t number1,
                            uint32_t number2) {
  StoredEvent e{};
  e[0] = Bcd(when.year);
  e[1] = Bcd(when.month);
  e[2] = Bcd(when.day);
  e[3] = Bcd(when.hour);
  e[4] = Bcd(when.minute);
  e[5] = Bcd(when.second);
  e[6] = value1;
  e[7] = value2;
  Put24(number1, &e[9]);
  Put24(number2, &e[13]);
  return e;
}

void EventLog::Append(const StoredEvent& event) {
  records_.push_back(event);
  DropOldestBeyondCapacity();
}

void EventLog::set_capacity(size_t capacity) {
  capacity_ = capacity;
  DropOldestBeyondCapacity();
}

void EventLog::DropOldestBeyondCapacity() {
  if (records_.size() <= capacity_) return;
  const size_t excess = records_.size() - capacity_;
  records_.erase(records_.begin(), records_.begin() + static_cast<long>(excess));
  // The read position stays on the record it was on, or on the oldest left.
  position_ = position_ > excess ? position_ - excess : 0;
}

StoredEvent EventLog::Current() const {
  return position_ < records_.size() ? records_[position_] : StoredEvent{};
}

StoredEvent EventLog::Next() {
  if (position_ < records_.size()) ++position_;
  return Current();
}

std::vector<uint8_t> EventLog::Block(uint8_t block) const {
  const StoredEvent empty{};
  std::vector<uint8_t> payload(kBlockRecords * empty.size(), 0);
  const size_t first = size_t{block} * kBlockRecords;
  for (size_t slot = 0; slot < kBlockRecords && first + slot < records_.size(); ++slot) {
    const StoredEvent& record = records_[first + slot];
    std::memcpy(&payload[slot * record.size()], record.data(), record.size());
  }
  return payload;
}

void EventLog::Reload(std::vector<StoredEvent> records, std::vector<StoredEvent> set_aside,
                      size_t position) {
  records_ = std::move(records);
  cleared_ = std::move(set_aside);
  position_ = std::min(position, records_.size());
  DropOldestBeyondCapacity();
}

void EventLog::Clear() {
  cleared_.insert(cleared_.end(), records_.begin(), records_.end());
  records_.clear();
  position_ = 0;
  // Only what a restore could bring back is worth keeping.
  if (cleared_.size() > capacity_) {
    cleared_.erase(cleared_.begin(), cleared_.end() - static_cast<long>(capacity_));
  }
}

void EventLog::Restore() {
  records_.insert(records_.begin(), cleared_.begin(), cleared_.end());
  cleared_.clear();
  position_ = 0;
  DropOldestBeyondCapacity();
}

void SeedHistory(EventLog& log, const ControllerClock& clock) {
  for (const PastEvent& e : kHistory) {
    log.Append(MakeStoredEvent(clock.SecondsAgo(e.seconds_ago), e.kind, e.door, e.card, 0));
  }
}

}  // namespace zarvo::sim
