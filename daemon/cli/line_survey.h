// What is on a line before a site file names it: whether the port opens,
// whether controllers answer at the speed asked for and through the adapter
// as the port name sets it up, and which addresses answer. Where the line
// cannot be used as given, the finding says what was seen and what to do.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zarvod {

struct FoundController {
  int address = 0;
  std::string version;  // as the controller reports it; empty when unread
};

struct LineSurvey {
  // Empty when the line can go into a site file as given; else what was
  // found and what to do about it.
  std::string finding;
  std::vector<FoundController> controllers;
  // Worth knowing, nothing to fix (an adapter's echo, colliding replies).
  std::vector<std::string> notes;
};

// Called before each address is probed and after it answered (`found`
// then holds that controller), for a progress display.
struct ScanWatcher {
  std::function<void(int address, int last)> probing;
  std::function<void(const FoundController& found)> found;
};

// Opens `port` at `baud`, checks that controllers answer there and scans
// addresses 1 to `last`, reading each controller's version.
LineSurvey SurveyLine(const std::string& port, int baud, int last, const ScanWatcher& watcher);

}  // namespace zarvod
