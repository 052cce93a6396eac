// The built-in site behind `zarvod --sim`: two lines of virtual
// controllers on pseudo-terminals, with card events logged at a set rate.
// The lines answer at their configured speed, as real ones would, and the
// controllers' memory can be kept in a file between runs.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/site_config.h"

namespace zarvo::sim {
class VirtualBus;
class EventSource;
}  // namespace zarvo::sim

namespace zarvod {

class SimSite {
 public:
  // `rate`: card events per second over the whole site. `paced`: replies
  // take as long as at the lines' speed (false: at once, for tests).
  explicit SimSite(double rate, bool paced = true);
  ~SimSite();

  // Brings the lines up; false (with `error`) when a pseudo-terminal cannot
  // be made.
  bool Start(std::string& error);
  void StartEvents();
  void StopEvents();
  // The site file that the daemon would read for these lines.
  SiteConfig Config(const std::string& journal_path) const;
  // Puts these lines' devices in place of the ports of the lines of
  // `config` that bear the built-in lines' names; "" or why `config` is not
  // a site of the built-in lines.
  std::string Attach(SiteConfig& config) const;

  // The built-in site as a site file names it: each line's port is
  // kVirtualPort and the line's name, which only --sim can open.
  static SiteConfig Layout();
  static constexpr const char* kVirtualPort = "virtual:";

  // Keeps the controllers' memory in `path`: reads it now when it exists,
  // so the controllers go on where they were left. Returns "" or why the
  // file could not be read; it is then moved aside to PATH.unreadable and
  // the controllers start afresh.
  std::string KeepStateIn(const std::string& path);
  // Writes the controllers' memory every `every_s` seconds from now on,
  // once the site runs (not before: a daemon that does not start must not
  // overwrite what another one on the same journal keeps).
  void StartSaving(int every_s = 10);
  // Writes the controllers' memory to the file now, once StartSaving was
  // called; "" or why not.
  std::string SaveState();

 private:
  void SaveEvery(int every_s);

  double rate_;
  bool paced_;
  std::vector<std::unique_ptr<zarvo::sim::VirtualBus>> buses_;
  std::vector<std::unique_ptr<zarvo::sim::EventSource>> sources_;
  std::string state_path_;
  std::mutex write_mutex_;  // one writer of the file at a time
  std::mutex save_mutex_;
  std::condition_variable stop_saving_;
  bool stopping_ = false;
  std::thread saver_;
};

}  // namespace zarvod
