// A LineRunner for when the daemon is not running: opens each line itself
// and runs a job on the calling thread, one job per line at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "line_runner.h"

namespace zarvod::cards {

struct LinePort {
  std::string name;
  std::string port;  // as Zarvo_LineOpenCom takes it, options included
  int32_t baud = 9600;
};

class DirectLineRunner : public LineRunner {
 public:
  DirectLineRunner() = default;
  ~DirectLineRunner() override;
  DirectLineRunner(const DirectLineRunner&) = delete;
  DirectLineRunner& operator=(const DirectLineRunner&) = delete;

  // Opens every line; returns why one could not be opened ("" when all are).
  std::string Open(const std::vector<LinePort>& lines);
  int32_t Run(const std::string& line, const LineTask& task) override;

 private:
  struct Line {
    ZarvoLine* handle = nullptr;
    std::mutex mutex;
  };
  std::map<std::string, std::unique_ptr<Line>> lines_;
};

}  // namespace zarvod::cards
