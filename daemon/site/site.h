// The whole site: one LineWorker per configured line (see line_worker.h for
// how threads share the lines).
#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/site_config.h"
#include "journal/journal.h"
#include "site/line_worker.h"

namespace zarvod {

class Site {
 public:
  Site(const SiteConfig& config, Journal& journal);
  ~Site();

  void Start();
  // Asks every line to stop after its exchange in progress and waits.
  void Stop();
  // The same, but a line still in a block read after `patience` is left to
  // it: returns false then, and the process must end without waiting (the
  // block read moved nothing and nothing of it is committed).
  bool StopWithin(std::chrono::milliseconds patience);

  const SiteConfig& config() const { return config_; }
  LineWorker* Line(const std::string& name);
  // The line and address of the controller called `name` on this site.
  struct Where {
    LineWorker* line;
    int address;
  };
  std::optional<Where> FindController(const std::string& name);

 private:
  SiteConfig config_;
  std::vector<std::unique_ptr<LineWorker>> lines_;
};

}  // namespace zarvod
