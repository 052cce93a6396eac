#include "sim_site/sim_site.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "event_kind_names.h"
#include "event_source.h"
#include "log/log.h"
#include "saved_state.h"
#include "virtual_bus.h"

namespace zarvod {
namespace {

constexpr int kLineBaud = 9600;

struct SimLine {
  const char* name;
  std::vector<uint8_t> addresses;
  std::vector<const char*> controllers;
};

const SimLine kLines[] = {
    {"ground", {1, 2, 3}, {"entrance", "loading-bay", "server-room"}},
    {"upper", {1, 2}, {"office-east", "office-west"}},
};

// The virtual controller's own kinds; at a door, the second value is the
// door's index.
EventKinds VirtualControllerKinds() {
  EventKinds kinds;
  for (const zarvo::sim::EventKindName& name : zarvo::sim::EventKindNames()) {
    kinds.Name(name.kind, EventKinds::kAnyValue2, {name.words, 0, ""});
    for (int door = 0; name.at_door && door < zarvo::sim::kDoorCount; ++door) {
      kinds.Name(name.kind, door, {name.words, door + 1, ""});
    }
  }
  return kinds;
}

}  // namespace

SimSite::SimSite(double rate, bool paced) : rate_(rate), paced_(paced) {}

SimSite::~SimSite() {
  {
    std::lock_guard lock(save_mutex_);
    stopping_ = true;
  }
  stop_saving_.notify_all();
  if (saver_.joinable()) saver_.join();
  StopEvents();
  for (auto& b : buses_) b->Stop();
}

bool SimSite::Start(std::string& error) {
  for (const SimLine& line : kLines) {
    buses_.push_back(std::make_unique<zarvo::sim::VirtualBus>(line.addresses));
    if (paced_) buses_.back()->set_paced_baud(kLineBaud);
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

void SimSite::StopEvents() {
  for (auto& s : sources_) s->Stop();
}

SiteConfig SimSite::Layout() {
  SiteConfig config;
  config.site = "simulated";
  config.poll_interval_ms = 200;
  config.event_kinds = VirtualControllerKinds();
  for (const SimLine& built_in : kLines) {
    LineConfig line;
    line.name = built_in.name;
    line.port = kVirtualPort + line.name;
    line.baud = kLineBaud;
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

// The file: the header, then "line NAME" and that line's controllers.
std::string SimSite::KeepStateIn(const std::string& path) {
  state_path_ = path;
  std::string problem;
  std::ifstream in(path);
  std::string header;
  if (in && std::getline(in, header)) {
    std::map<std::string, std::string> parts;
    std::string* part = nullptr;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("line ", 0) == 0) {
        part = &parts[line.substr(5)];
      } else if (part != nullptr) {
        *part += line + "\n";
      }
    }
    if (header != zarvo::sim::kSavedStateHeader)
      problem = "not a saved state of virtual controllers";
    for (size_t i = 0; problem.empty() && i < buses_.size(); ++i) {
      if (!zarvo::sim::LoadBusState(*buses_[i], parts[kLines[i].name], problem)) {
        problem = "line " + std::string(kLines[i].name) + ": " + problem;
      }
    }
  }
  if (problem.empty()) return "";
  in.close();
  const std::string aside = path + ".unreadable";
  std::rename(path.c_str(), aside.c_str());
  return path + ": " + problem + " (moved to " + aside + ")";
}

void SimSite::StartSaving(int every_s) {
  if (state_path_.empty() || saver_.joinable()) return;
  saver_ = std::thread([this, every_s] { SaveEvery(every_s); });
}

std::string SimSite::SaveState() {
  if (state_path_.empty() || !saver_.joinable()) return "";
  std::lock_guard writing(write_mutex_);
  std::ostringstream text;
  text << zarvo::sim::kSavedStateHeader << "\n";
  for (size_t i = 0; i < buses_.size(); ++i) {
    text << "line " << kLines[i].name << "\n" << zarvo::sim::SaveBusState(*buses_[i]);
  }
  // A stop in the middle of writing leaves the last whole file in place.
  const std::string temporary = state_path_ + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) return "cannot write " + temporary;
  }
  if (std::rename(temporary.c_str(), state_path_.c_str()) != 0) {
    return "cannot replace " + state_path_;
  }
  return "";
}

void SimSite::SaveEvery(int every_s) {
  std::unique_lock lock(save_mutex_);
  while (
      !stop_saving_.wait_for(lock, std::chrono::seconds(every_s), [this] { return stopping_; })) {
    lock.unlock();
    if (const std::string problem = SaveState(); !problem.empty()) LogWarning("--sim: " + problem);
    lock.lock();
  }
}

}  // namespace zarvod
