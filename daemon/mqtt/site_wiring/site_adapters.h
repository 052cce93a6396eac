// The running site as the MQTT side sees it: its command queue, and its
// controllers with their status from the journal.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "journal/journal.h"
#include "journal_watch.h"
#include "site/site.h"
#include "site_ports.h"

namespace zarvo::mqtt {

class SiteCommandRunner final : public CommandRunner {
 public:
  explicit SiteCommandRunner(zarvod::Site& site) : site_(site) {}
  bool Submit(RemoteCommand command) override;

 private:
  zarvod::Site& site_;
};

// Controllers from the site file, status from the journal's controllers
// table. A change of online or version is told at once; last-seen alone
// at most once a minute, so that polling does not become a stream of
// retained messages. Only the rows that changed are read again: polling
// notes a reply on every controller now and then, and re-reading the whole
// site each time would cost an idle site more than its polling.
class JournalSiteDirectory final : public SiteDirectory {
 public:
  JournalSiteDirectory(const zarvod::SiteConfig& config, zarvod::Journal& journal,
                       JournalWatch& watch);
  ~JournalSiteDirectory() override;
  std::vector<ControllerInfo> Controllers() override;
  // Controllers of this site the journal has met that the site file no
  // longer names.
  std::vector<std::string> FormerControllers() override;
  void SetListener(std::function<void(const ControllerInfo&)> changed) override;

 private:
  void Watch();
  // The controller in the journal's row `row`, when it is one of this site's.
  std::optional<ControllerInfo> Read(int64_t row);

  const zarvod::SiteConfig& config_;
  zarvod::Journal& journal_;
  zarvod::Statement status_, by_row_, names_;
  // This site's controllers as configured, by line and address.
  std::map<std::pair<std::string, int>, ControllerInfo> configured_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::set<int64_t> dirty_;  // rows changed since the last look
  bool stopping_ = false;
  std::function<void(const ControllerInfo&)> listener_;
  std::map<std::string, ControllerInfo> told_;
  std::thread thread_;
};

}  // namespace zarvo::mqtt
