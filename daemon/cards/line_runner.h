// How the card commands reach a line. While the daemon runs, its worker
// thread for the line owns the ZarvoLine and runs jobs between polling
// exchanges; without the daemon, DirectLineRunner opens the lines itself.
#pragma once

#include <functional>
#include <string>

#include "zarvoac.h"

namespace zarvod::cards {

using LineJob = std::function<void(ZarvoLine*)>;

class LineRunner {
 public:
  virtual ~LineRunner() = default;
  // Runs `job` with the line's handle on the thread that drives line `line`
  // and returns once it has run. False, without running it, when there is
  // no such line or the line is shutting down.
  virtual bool Run(const std::string& line, const LineJob& job) = 0;
};

}  // namespace zarvod::cards
