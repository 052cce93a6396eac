// The modules that run beside the lines of a running site (clock keeping,
// the control socket with the card-list commands), and what they need
// before the journal opens.
#pragma once

#include <string>
#include <vector>

#include "cli/commands.h"

namespace zarvod {

// Adds the card and MQTT tables' schema steps to the journal's; call once, before
// any Journal::Open.
void RegisterModuleMigrations();

// Makes the site's time zone the process's local zone; call before any
// thread starts. Returns why it cannot ("" on success or when none is set).
std::string UseSiteTimeZone(const SiteConfig& config);

// Where the control socket is when no --socket is given: one per site in the
// packaged daemon's runtime folder when it exists, otherwise beside the
// journal.
std::string DefaultSocketPath(const std::string& site, const std::string& journal_path);

// The clock keeper, the control socket at `socket_path` and the site on
// MQTT (when configured), in start order.
std::vector<SiteModule> DaemonModules(const SiteConfig& config, const std::string& socket_path);

}  // namespace zarvod
