// The card module on the daemon's own types: the site file's lines and
// controllers as a SiteLayout and line ports, and a LineRunner over the
// site's line workers (their command queues). Templates, so that this
// module needs none of the daemon's headers; they take any types of the
// same shape:
//   config.lines[i].name / .port / .baud / .controllers[j].address / .name
//   config.groups: group name -> controller names or "line/address"
//   site.Line(name) -> worker*, worker->Submit({who, what, address, run})
//     -> std::future<int32_t>
#pragma once

#include <string>
#include <vector>

#include "direct_line_runner.h"
#include "line_runner.h"
#include "site_layout.h"

namespace zarvod::cards {

template <typename SiteConfig>
SiteLayout LayoutFromConfig(const SiteConfig& config) {
  SiteLayout layout;
  for (const auto& line : config.lines) {
    for (const auto& c : line.controllers) {
      layout.controllers.push_back({c.name, line.name, static_cast<int32_t>(c.address)});
    }
  }
  for (const auto& [group, members] : config.groups) {
    layout.groups[group] = std::vector<std::string>(members.begin(), members.end());
  }
  return layout;
}

template <typename SiteConfig>
std::vector<LinePort> PortsFromConfig(const SiteConfig& config) {
  std::vector<LinePort> ports;
  for (const auto& line : config.lines) {
    ports.push_back({line.name, line.port, static_cast<int32_t>(line.baud)});
  }
  return ports;
}

// Runs card tasks as commands of the running site: each waits in the line's
// queue, runs ahead of polling on the line's worker thread, and goes into
// the audit trail as `who` did `task.what`.
template <typename Site>
class SiteLineRunner : public LineRunner {
 public:
  explicit SiteLineRunner(Site& site, std::string who = "cards")
      : site_(site), who_(std::move(who)) {}

  int32_t Run(const std::string& line, const LineTask& task) override {
    auto* worker = site_.Line(line);
    if (worker == nullptr) return ZARVO_E_NOT_OPEN;
    return worker->Submit({who_, task.what, task.address, task.run}).get();
  }

 private:
  Site& site_;
  std::string who_;
};

}  // namespace zarvod::cards
