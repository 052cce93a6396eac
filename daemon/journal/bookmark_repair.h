// Bookmarks left behind the events journaled for their controller (by a
// second daemon on the same journal, a restored backup or a hand edit):
// every commit would fail on a sequence number already taken, and
// collection would stop for good. At start each is brought forward to rest
// on the newest event journaled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "journal/journal.h"

namespace zarvod {

struct RepairedBookmark {
  std::string line, controller;
  int64_t was_next_seq = 0;
  int64_t next_seq = 0;
};

// Returns the bookmarks it moved; sets `error` when the journal fails.
std::vector<RepairedBookmark> RepairBookmarksBehindEvents(Journal& journal, std::string& error);

}  // namespace zarvod
