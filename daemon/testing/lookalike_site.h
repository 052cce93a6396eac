// A stand-in for the running site where a test counts exchanges: the same
// shape as the daemon's (Site::Line, LineWorker::Submit), but each line is
// opened directly, nothing polls, and a submitted command runs at once on
// the caller's thread. Keeps the audit trail of what was submitted.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "direct_line_runner.h"
#include "tests/site_fixture.h"

namespace zarvod::testing {

struct LookalikeCommand {
  std::string who;
  std::string what;
  int address = 0;
  std::function<int32_t(ZarvoLine*)> run;
};

class LookalikeSite {
 public:
  class Worker {
   public:
    Worker(LookalikeSite& site, std::string line) : site_(site), line_(std::move(line)) {}
    std::future<int32_t> Submit(LookalikeCommand command) {
      {
        std::lock_guard lock(site_.mutex_);
        site_.audit_.push_back(command.who + ": " + command.what);
      }
      std::promise<int32_t> result;
      result.set_value(site_.lines_.Run(line_, {command.what, command.address, command.run}));
      return result.get_future();
    }

   private:
    LookalikeSite& site_;
    std::string line_;
  };

  // Opens every line of `config`; false when one cannot be opened.
  template <typename SiteConfig>
  bool Open(const SiteConfig& config) {
    std::vector<cards::LinePort> ports;
    for (const auto& line : config.lines) {
      ports.push_back({line.name, line.port, line.baud});
      workers_[line.name] = std::make_unique<Worker>(*this, line.name);
    }
    return lines_.Open(ports).empty();
  }
  Worker* Line(const std::string& name) {
    const auto it = workers_.find(name);
    return it == workers_.end() ? nullptr : it->second.get();
  }
  std::vector<std::string> Audit() {
    std::lock_guard lock(mutex_);
    return audit_;
  }

 private:
  cards::DirectLineRunner lines_;
  std::map<std::string, std::unique_ptr<Worker>> workers_;
  std::mutex mutex_;
  std::vector<std::string> audit_;
};

}  // namespace zarvod::testing
