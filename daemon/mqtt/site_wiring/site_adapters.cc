#include "site_adapters.h"

#include <memory>

namespace zarvo::mqtt {
namespace {

constexpr int64_t kLastSeenEvery = 60'000;

// Calls `done` once: with the action's result, or, when the line drops the
// command without running it, as the last copy of the command goes.
class DoneOnce {
 public:
  explicit DoneOnce(std::function<void(int32_t)> done) : done_(std::move(done)) {}
  ~DoneOnce() {
    if (done_) done_(ZARVO_E_NOT_OPEN);
  }
  void Call(int32_t result) {
    auto done = std::move(done_);
    done_ = nullptr;
    done(result);
  }

 private:
  std::function<void(int32_t)> done_;
};

}  // namespace

bool SiteCommandRunner::Submit(RemoteCommand command) {
  const auto where = site_.FindController(command.controller);
  if (!where) return false;
  auto once = std::make_shared<DoneOnce>(std::move(command.done));
  const int address = where->address;
  zarvod::LineCommand line_command;
  line_command.who = command.who;
  line_command.what = command.what;
  line_command.address = address;
  line_command.run = [once, action = std::move(command.action), address](ZarvoLine* line) {
    const int32_t result = action(line, address);
    once->Call(result);
    return result;
  };
  // The result comes through `once`; the future is not needed.
  where->line->Submit(std::move(line_command));
  return true;
}

JournalSiteDirectory::JournalSiteDirectory(const zarvod::SiteConfig& config,
                                           zarvod::Journal& journal, JournalWatch& watch)
    : config_(config),
      journal_(journal),
      status_(journal.db(),
              "SELECT online, version, last_seen_ms FROM controllers "
              "WHERE site = ? AND line = ? AND address = ?"),
      by_row_(journal.db(),
              "SELECT line, address, online, version, last_seen_ms FROM controllers "
              "WHERE id = ? AND site = ?"),
      names_(journal.db(),
             "SELECT name FROM controllers WHERE site = ?1 UNION SELECT name FROM former_names "
             "WHERE site = ?1") {
  for (const zarvod::LineConfig& line : config_.lines) {
    for (const zarvod::ControllerConfig& c : line.controllers) {
      configured_[{line.name, c.address}] = {c.name, line.name, c.address, c.doors, false, "", 0};
    }
  }
  watch.OnControllers([this](int64_t row) {
    std::lock_guard<std::mutex> lock(mutex_);
    dirty_.insert(row);
    wake_.notify_all();
  });
  thread_ = std::thread([this] { Watch(); });
}

JournalSiteDirectory::~JournalSiteDirectory() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

std::vector<ControllerInfo> JournalSiteDirectory::Controllers() {
  std::vector<ControllerInfo> out;
  auto lock = journal_.Lock();
  for (const zarvod::LineConfig& line : config_.lines) {
    for (const zarvod::ControllerConfig& c : line.controllers) {
      ControllerInfo info{c.name, line.name, c.address, c.doors, false, "", 0};
      status_.Bind(1, config_.site).Bind(2, line.name).Bind(3, int64_t{c.address});
      if (status_.Step() == SQLITE_ROW) {
        info.online = !status_.IsNull(0) && status_.Int(0) != 0;
        info.version = status_.IsNull(1) ? "" : status_.Text(1);
        info.last_seen_ms = status_.IsNull(2) ? 0 : status_.Int(2);
      }
      status_.Reset();
      out.push_back(std::move(info));
    }
  }
  return out;
}

std::vector<std::string> JournalSiteDirectory::FormerControllers() {
  std::set<std::string> configured;
  for (const auto& [where, c] : configured_) configured.insert(c.name);
  std::vector<std::string> former;
  auto lock = journal_.Lock();
  names_.Bind(1, config_.site);
  while (names_.Step() == SQLITE_ROW) {
    if (configured.count(names_.Text(0)) == 0) former.push_back(names_.Text(0));
  }
  names_.Reset();
  return former;
}

void JournalSiteDirectory::SetListener(std::function<void(const ControllerInfo&)> changed) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(changed);
}

std::optional<ControllerInfo> JournalSiteDirectory::Read(int64_t row) {
  std::optional<ControllerInfo> info;
  auto lock = journal_.Lock();
  by_row_.Bind(1, row).Bind(2, config_.site);
  if (by_row_.Step() == SQLITE_ROW) {
    const auto it = configured_.find({by_row_.Text(0), static_cast<int>(by_row_.Int(1))});
    if (it != configured_.end()) {
      info = it->second;
      info->online = !by_row_.IsNull(2) && by_row_.Int(2) != 0;
      info->version = by_row_.IsNull(3) ? "" : by_row_.Text(3);
      info->last_seen_ms = by_row_.IsNull(4) ? 0 : by_row_.Int(4);
    }
  }
  by_row_.Reset();
  return info;
}

void JournalSiteDirectory::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !dirty_.empty(); });
    if (stopping_) return;
    const std::set<int64_t> rows = std::move(dirty_);
    dirty_.clear();
    lock.unlock();
    std::vector<ControllerInfo> now;
    for (int64_t row : rows) {
      if (std::optional<ControllerInfo> c = Read(row)) now.push_back(std::move(*c));
    }
    lock.lock();
    for (const ControllerInfo& c : now) {
      ControllerInfo& before = told_[c.name];
      const bool changed = before.name.empty() || c.online != before.online ||
                           c.version != before.version ||
                           c.last_seen_ms - before.last_seen_ms >= kLastSeenEvery;
      if (!changed) continue;
      before = c;
      if (listener_) listener_(c);
    }
  }
}

}  // namespace zarvo::mqtt
