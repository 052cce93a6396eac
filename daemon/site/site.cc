#include "site/site.h"

namespace zarvod {

Site::Site(const SiteConfig& config, Journal& journal) : config_(config) {
  for (const LineConfig& line : config_.lines) {
    lines_.push_back(
        std::make_unique<LineWorker>(config_.site, line, journal, config_.poll_interval_ms));
  }
}

Site::~Site() { Stop(); }

void Site::Start() {
  for (auto& line : lines_) line->Start();
}

void Site::Stop() {
  for (auto& line : lines_) line->RequestStop();
  for (auto& line : lines_) line->Join();
}

bool Site::StopWithin(std::chrono::milliseconds patience) {
  for (auto& line : lines_) line->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + patience;
  bool all = true;
  for (auto& line : lines_) {
    if (!line->StoppedBy(deadline) && line->reading_block()) {
      all = false;
      continue;
    }
    line->Join();
  }
  return all;
}

LineWorker* Site::Line(const std::string& name) {
  for (auto& line : lines_) {
    if (line->config().name == name) return line.get();
  }
  return nullptr;
}

std::optional<Site::Where> Site::FindController(const std::string& name) {
  for (auto& line : lines_) {
    for (const ControllerConfig& c : line->config().controllers) {
      if (c.name == name) return Where{line.get(), c.address};
    }
  }
  return std::nullopt;
}

}  // namespace zarvod
