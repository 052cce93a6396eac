// The built-in site behind `zarvod --sim`: two lines of virtual
// controllers on pseudo-terminals, with card events logged at a set rate.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/site_config.h"

namespace zarvo::sim {
class VirtualBus;
class EventSource;
}  // namespace zarvo::sim

namespace zarvod {

class SimSite {
 public:
  // `rate`: card events per second over the whole site.
  explicit SimSite(double rate);
  ~SimSite();

  // Brings the lines up; false (with `error`) when a pseudo-terminal cannot
  // be made.
  bool Start(std::string& error);
  void StartEvents();
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

 private:
  double rate_;
  std::vector<std::unique_ptr<zarvo::sim::VirtualBus>> buses_;
  std::vector<std::unique_ptr<zarvo::sim::EventSource>> sources_;
};

}  // namespace zarvod
