// How the card commands reach a line. While the daemon runs, its worker
// thread for the line owns the ZarvoLine and runs tasks ahead of polling;
// without the daemon, DirectLineRunner opens the lines itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "zarvoac.h"

namespace zarvod::cards {

struct LineTask {
  std::string what;  // for the audit trail: "add card 00001234 to north-1"
  int32_t address = 0;
  std::function<int32_t(ZarvoLine*)> run;  // returns a library result code
};

class LineRunner {
 public:
  virtual ~LineRunner() = default;
  // Runs task.run with the line's handle on the thread that drives line
  // `line`, waits for it and returns its result; ZARVO_E_NOT_OPEN, without
  // running it, when there is no such line or the line is stopping.
  virtual int32_t Run(const std::string& line, const LineTask& task) = 0;
};

}  // namespace zarvod::cards
