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

SiteConfig SimSite::Layout() {
  SiteConfig config;
  config.site = "simulated";
  config.poll_interval_ms = 200;
  for (const SimLine& built_in : kLines) {
    LineConfig line;
    line.name = built_in.name;
    line.port = kVirtualPort + line.name;
    line.baud = 9600;
    for (size_t c = 0; c < built_in.addresses.size(); ++c) {
      line.controllers.push_back(
          {built_in.addresses[c], built_in.controllers[c], {"Door 1", "Door 2"}});
    }
    config.lines.push_back(std::move(line));
  }
  return config;
}

SiteConfig SimSite::Config(const std::string& journal_path) const {
  SiteConfig config = Layout();
  config.journal.path = journal_path;
  Attach(config);
  return config;
}

std::string SimSite::Attach(SiteConfig& config) const {
  for (LineConfig& line : config.lines) {
    size_t i = 0;
    while (i < buses_.size() && line.name != kLines[i].name) ++i;
    if (i == buses_.size()) {
      return "line '" + line.name + "' is not a line of the built-in site (ground, upper)";
    }
    line.port = buses_[i]->device_name();
  }
  return "";
}

}  // namespace zarvod
