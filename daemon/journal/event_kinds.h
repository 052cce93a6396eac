// What an installation's event values mean. The controllers log two value
// bytes per event, and what they stand for (which kind of event, at which
// door, in or out) depends on how the controllers were wired and set up,
// not on the protocol: the site file names them, the journal keeps the
// names, and every view shows them beside the numbers.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace zarvod {

struct EventKind {
  std::string words;      // "card accepted"
  int door = 0;           // 1 to 4; 0 when the kind is at no one door
  std::string direction;  // "in", "out", or empty

  bool operator==(const EventKind&) const = default;
};

class EventKinds {
 public:
  // Names events with these values; `value2` kAnyValue2 names every event
  // of `value1` whose pair is not named on its own.
  static constexpr int kAnyValue2 = -1;
  void Name(int value1, int value2, EventKind kind) { kinds_[{value1, value2}] = std::move(kind); }

  // The name of an event with these values, or nullptr when it has none.
  const EventKind* Find(int value1, int value2) const;

  bool empty() const { return kinds_.empty(); }
  // Keyed by (value1, value2), value2 kAnyValue2 for "any".
  const std::map<std::pair<int, int>, EventKind>& entries() const { return kinds_; }

  bool operator==(const EventKinds&) const = default;

 private:
  std::map<std::pair<int, int>, EventKind> kinds_;
};

// "card accepted, door 1, in": the kind's words with its door and direction;
// empty when the event's values are not named.
std::string DescribeEvent(const EventKinds& kinds, int value1, int value2);

}  // namespace zarvod
