// `zarvod acl diff FILE | apply FILE | verify` on the command line. While
// the daemon runs it owns the lines, so the command goes to it over the
// control socket; when no daemon holds the journal's lock, the command
// opens the site's lines and journal itself.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "direct_line_runner.h"
#include "site_layout.h"

namespace zarvod::control {

// The site as the command line opens it without the daemon.
struct StandaloneSite {
  cards::SiteLayout layout;
  std::vector<cards::LinePort> ports;
  sqlite3* journal = nullptr;   // migrated, card tables included
  std::shared_ptr<void> owner;  // keeps the journal open while in use
};

struct AclCliEnvironment {
  std::string socket_path;
  // The site file's site: the daemon refuses a request for another site.
  std::string site;
  // Who holds the site's journal now, by its lock ("zarvod (pid 812)"; ""
  // when nobody does): a holder is asked over the socket, and without one
  // the command works on the lines itself. Empty when the journal is not
  // known (no site file, no --journal): then whatever answers on the socket
  // is the daemon.
  std::function<std::string()> journal_holder;
  // Called only when no daemon runs; takes the journal's lock, sets `error`
  // and returns nullptr when the configuration or journal cannot be opened.
  std::function<std::unique_ptr<StandaloneSite>(std::string& error)> open_site;
};

// `args` are the words after "acl". Prints the report on stdout and faults
// on stderr. Exit status: 0 done (or in step), 1 a fault or changes not
// made or cards drifted, 2 bad usage.
int RunAclCli(const std::vector<std::string>& args, const AclCliEnvironment& environment);

}  // namespace zarvod::control
