#include "sim_site/sim_site.h"

#include "event_source.h"
#include "virtual_bus.h"

namespace zarvod {
namespace {

struct SimLine {
  const char* name;
  std::vector<uint8_t> addresses;
  std::vector<const char*> controllers;
};

const SimLine kLines[] = {
    {"ground", {1, 2, 3}, {"entrance", "loading-bay", "server-room"}},
    {"upper", {1, 2}, {"office-east", "office-west"}},
};

}  // namespace

SimSite::SimSite(double rate) : rate_(rate) {}

SimSite::~SimSite() {
  for (auto& s : sources_) s->Stop();
  for (auto& b : buses_) b->Stop();
}

bool SimSite::Start(std::string& error) {
  for (const SimLine& line : kLines) {
    buses_.push_back(std::make_unique<zarvo::sim::VirtualBus>(line.addresses));
    if (!buses_.back()->Start()) {
      error = "cannot make a pseudo-terminal for line " + std::string(line.name);
      return false;
    }
  }
  return true;
}

void SimSite::StartEvents() {
  // Each line gets a share of the rate in proportion to its controllers.
  size_t total = 0;
  for (const SimLine& line : kLines) total += line.addresses.size();
  for (size_t i = 0; i < buses_.size(); ++i) {
    const double share =
        rate_ * static_cast<double>(kLines[i].addresses.size()) / static_cast<double>(total);
    sources_.push_back(std::make_unique<zarvo::sim::EventSource>(
        *buses_[i], kLines[i].addresses, share, static_cast<uint32_t>(i + 1)));
    sources_.back()->Start();
  }
}

SiteConfig SimSite::Config(const std::string& journal_path) const {
  SiteConfig config;
  config.site = "simulated";
  config.poll_interval_ms = 200;
  config.journal.path = journal_path;
  for (size_t i = 0; i < buses_.size(); ++i) {
    LineConfig line;
    line.name = kLines[i].name;
    line.port = buses_[i]->device_name();
    line.baud = 9600;
    for (size_t c = 0; c < kLines[i].addresses.size(); ++c) {
      line.controllers.push_back(
          {kLines[i].addresses[c], kLines[i].controllers[c], {"Door 1", "Door 2"}});
    }
    config.lines.push_back(std::move(line));
  }
  return config;
}

}  // namespace zarvod
