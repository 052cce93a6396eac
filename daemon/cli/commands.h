// The subcommands of zarvod; each returns the process exit code.
#pragma once

#include <signal.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/site_config.h"
#include "journal/journal.h"
#include "site/site.h"

namespace zarvod {

using Args = std::vector<std::string>;

int CheckConfigCommand(const Args& args);
int RunCommand(const Args& args);
int SimCommand(const Args& args);
int EventsCommand(const Args& args);
int StatusCommand(const Args& args);
int AclCommand(const Args& args);
int InitCommand(const Args& args);
// zarvod init --sim: writes the built-in site's file to `output`.
int InitBuiltInSite(const std::string& output, bool replace);

// Blocks SIGINT, SIGTERM and SIGHUP in this thread and every thread
// started after it, so that RunSite alone takes them (a stop, or for
// SIGHUP a logged "not supported"); call before starting any thread.
sigset_t BlockStopSignals();

// A part of the daemon that runs beside the lines (clock keeping, the
// control socket, ...): started once the lines are up, stopped before they
// stop. Either function may be empty. `start` returns "" or why the daemon
// cannot run (it then stops at start).
struct SiteModule {
  std::function<std::string(Site& site, Journal& journal)> start;
  std::function<void()> stop;
};

// Runs `config` until SIGTERM or SIGINT, with its journal at `journal_path`
// and `modules` beside it. Returns the exit code.
int RunSite(const SiteConfig& config, const std::string& journal_path,
            const std::vector<SiteModule>& modules = {});

// The value after `flag` in `args`, or `fallback`.
std::string FlagValue(const Args& args, const std::string& flag, const std::string& fallback = "");
bool HasFlag(const Args& args, const std::string& flag);

// --since of zarvod events: "YYYY-MM-DD[ HH:MM[:SS]]" local time, or an age
// such as "15m", "2h", "7d"; milliseconds since the epoch.
std::optional<int64_t> ParseSince(const std::string& text, int64_t now_ms);

}  // namespace zarvod
