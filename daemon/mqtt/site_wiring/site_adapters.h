// The running site as the MQTT side sees it: its command queue, and its
// controllers with their status from the journal.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

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
// retained messages.
class JournalSiteDirectory final : public SiteDirectory {
 public:
  JournalSiteDirectory(const zarvod::SiteConfig& config, zarvod::Journal& journal,
                       JournalWatch& watch);
  ~JournalSiteDirectory() override;
  std::vector<ControllerInfo> Controllers() override;
  void SetListener(std::function<void(const ControllerInfo&)> changed) override;

 private:
  void Watch();

  const zarvod::SiteConfig& config_;
  zarvod::Journal& journal_;
  zarvod::Statement status_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool dirty_ = false;
  bool stopping_ = false;
  std::function<void(const ControllerInfo&)> listener_;
  std::map<std::string, ControllerInfo> told_;
  std::thread thread_;
};

}  // namespace zarvo::mqtt
