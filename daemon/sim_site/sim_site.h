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

 private:
  double rate_;
  std::vector<std::unique_ptr<zarvo::sim::VirtualBus>> buses_;
  std::vector<std::unique_ptr<zarvo::sim::EventSource>> sources_;
};

}  // namespace zarvod
