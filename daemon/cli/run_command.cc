// zarvod check-config FILE and zarvod run --config FILE.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "cli/commands.h"
#include "cli/mqtt_module.h"
#include "cli/service_manager.h"
#include "cli/site_modules.h"
#include "journal/bookmark_repair.h"
#include "journal/event_kinds_store.h"
#include "journal/journal.h"
#include "journal/journal_file.h"
#include "journal/journal_lock.h"
#include "journal/site_settings.h"
#include "log/log.h"
#include "sim_site/sim_site.h"
#include "site/site.h"
#include "site/stall_watch.h"
#include "time_zone.h"

namespace zarvod {
namespace {

constexpr int kPruneEverySeconds = 3600;
// How often the daemon looks whether its journal file is still the one at
// the journal's path (commits check it too).
constexpr int kFileCheckSeconds = 2;
// SIGTERM is answered within 2 s: lines still in a block read after this are
// not waited for.
constexpr std::chrono::milliseconds kStopPatience{1500};
constexpr std::chrono::milliseconds kUnwatchedLookEvery{30000};

void Prune(Journal& journal, const JournalConfig& config) {
  if (config.retention_days == 0 && config.retention_events == 0) return;
  const int64_t deleted = journal.Prune(config.retention_days, config.retention_events);
  if (deleted < 0) LogError("journal: retention: " + journal.last_error());
  if (deleted > 0) LogInfo("journal: " + std::to_string(deleted) + " old events deleted");
}

// The journal, owned by this daemon alone, its bookmarks sound; nullptr
// (the reason logged) when the daemon cannot run on it.
std::unique_ptr<Journal> OpenOwnJournal(const std::string& path,
                                        std::unique_ptr<JournalLock>& lock) {
  std::string error = PrepareJournalFile(path);
  if (error.empty()) lock = JournalLock::Acquire(path, JournalLock::Holder::kDaemon, error);
  std::unique_ptr<Journal> journal = error.empty() ? Journal::Open(path, error) : nullptr;
  if (!journal) {
    LogError("journal: " + error + "; zarvod does not start");
    return nullptr;
  }
  for (const RepairedBookmark& r : RepairBookmarksBehindEvents(*journal, error)) {
    LogWarning("journal: the bookmark of " + r.line + "/" + r.controller +
               " stood behind its journaled events (next #" + std::to_string(r.was_next_seq) +
               "); brought forward to #" + std::to_string(r.next_seq));
  }
  if (!error.empty()) {
    LogError("journal: bookmarks: " + error + "; zarvod does not start");
    return nullptr;
  }
  return journal;
}

// Waits for SIGTERM or SIGINT (SIGHUP is logged and ignored), pruning the journal hourly. Returns
// the exit code: 0 on a stop asked for, 1 when the journal file went away.
int WaitForStop(const sigset_t& stop, Journal& journal, const JournalConfig& config) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point next_prune = Clock::now() + std::chrono::seconds(kPruneEverySeconds);
  for (;;) {
    const timespec wait{kFileCheckSeconds, 0};
    const int signal_number = sigtimedwait(&stop, nullptr, &wait);
    if (signal_number == SIGINT || signal_number == SIGTERM) return 0;
    if (signal_number == SIGHUP) {
      // The site file is read once: lines, workers and modules are built
      // from it. Reloading it in place would mean rebuilding them all.
      LogInfo(
          "SIGHUP: reloading the site file is not supported; ignored (restart zarvod to "
          "apply a changed site file)");
      continue;
    }
    if (const std::string change = journal.FileChange(); !change.empty()) {
      LogError("journal: " + change + "; collection stops");
      return 1;
    }
    if (Clock::now() >= next_prune) {
      Prune(journal, config);
      next_prune = Clock::now() + std::chrono::seconds(kPruneEverySeconds);
    }
  }
}

// Feeds the service manager's watchdog while every line keeps moving. With
// no service manager watching, a stalled line is still logged.
std::unique_ptr<StallWatch> WatchLines(Site& site) {
  std::chrono::milliseconds every = WatchdogFeedInterval();
  if (every.count() == 0) every = kUnwatchedLookEvery;
  std::vector<StallWatch::Part> parts;
  for (const LineConfig& line : site.config().lines) {
    if (LineWorker* worker = site.Line(line.name)) {
      parts.push_back({"line " + line.name, &worker->heartbeat()});
    }
  }
  auto watch =
      std::make_unique<StallWatch>(std::move(parts), StallWatch::kLongestStep, NotifyAlive);
  watch->Start(every);
  return watch;
}

}  // namespace

sigset_t BlockStopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  return stop;
}

std::string FlagValue(const Args& args, const std::string& flag, const std::string& fallback) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == flag) return args[i + 1];
  }
  return fallback;
}

bool HasFlag(const Args& args, const std::string& flag) {
  for (const std::string& a : args) {
    if (a == flag) return true;
  }
  return false;
}

int CheckConfigCommand(const Args& args) {
  if (args.empty()) {
    std::fprintf(stderr, "usage: zarvod check-config FILE\n");
    return 2;
  }
  std::vector<ConfigError> errors;
  const std::optional<SiteConfig> config = LoadConfig(args[0], errors, clocks::TimeZoneProblem);
  if (!config) {
    for (const ConfigError& e : errors) std::fprintf(stderr, "%s\n", e.Text().c_str());
    return 1;
  }
  size_t controllers = 0;
  for (const LineConfig& line : config->lines) controllers += line.controllers.size();
  const size_t lines = config->lines.size();
  std::printf("%s: site '%s', %zu line%s, %zu controller%s: OK\n", args[0].c_str(),
              config->site.c_str(), lines, lines == 1 ? "" : "s", controllers,
              controllers == 1 ? "" : "s");
  return 0;
}

int RunSite(const SiteConfig& config, const std::string& journal_path,
            const std::vector<SiteModule>& modules) {
  const sigset_t stop = BlockStopSignals();

  std::unique_ptr<JournalLock> lock;
  std::unique_ptr<Journal> journal = OpenOwnJournal(journal_path, lock);
  if (!journal) return 1;
  LogInfo("site '" + config.site + "': journal " + journal_path);
  if (std::string error; !SaveEventKinds(*journal, config.event_kinds, error)) {
    LogWarning("journal: the event kinds of the site file not kept (" + error +
               "); zarvod events shows their values only");
  }
  // Readers of the journal measure drift in the zone the controllers keep.
  const std::string zone = config.time_zone.empty() ? clocks::LocalZoneName() : config.time_zone;
  if (const std::string error = SaveSiteSetting(*journal, kTimeZoneSetting, zone); !error.empty()) {
    LogWarning("journal: the site's time zone is not kept: " + error);
  }
  Prune(*journal, config.journal);
  Site site(config, *journal);
  site.Start();
  size_t started = 0;
  for (; started < modules.size(); ++started) {
    const SiteModule& m = modules[started];
    if (!m.start) continue;
    if (const std::string why = m.start(site, *journal); !why.empty()) {
      LogError(why);
      break;
    }
  }
  const bool all_started = started == modules.size();
  std::unique_ptr<StallWatch> watch;
  if (all_started) {
    watch = WatchLines(site);
    NotifyReady();
  }
  const int exit_code = all_started ? WaitForStop(stop, *journal, config.journal) : 1;
  NotifyStopping();
  // A commit waiting for another process's write lock gives up now: its
  // events stay on the controller for the next start.
  journal->StopWaiting();
  LogInfo("stopping");
  watch.reset();
  while (started-- > 0) {
    if (modules[started].stop) modules[started].stop();
  }
  if (!site.StopWithin(kStopPatience)) {
    // A block read takes up to 6.4 s at 9600 bit/s. It moves nothing on the
    // controller and nothing of it is committed yet, so ending now is safe
    // (as a crash would be) and the next start reads that block again.
    LogInfo("stopped; a block read in progress was left unfinished");
    std::fflush(stderr);
    lock.reset();  // notes the stop for zarvod status
    std::_Exit(exit_code);
  }
  LogInfo("stopped");
  return exit_code;
}

int RunCommand(const Args& args) {
  const std::string path = FlagValue(args, "--config");
  if (path.empty()) {
    std::fprintf(stderr,
                 "usage: zarvod run --config FILE [--journal FILE] [--socket PATH] "
                 "[--mqtt mqtt[s]://HOST[:PORT]]\n");
    return 2;
  }
  ConfigError error;
  std::optional<SiteConfig> config = LoadConfig(path, error);
  if (!config) {
    LogError(error.Text());
    return 2;
  }
  for (const LineConfig& line : config->lines) {
    if (line.port.rfind(SimSite::kVirtualPort, 0) == 0) {
      LogError(path + ": line '" + line.name +
               "' is a virtual line of the built-in site; run it with: zarvod --sim --config " +
               path);
      return 2;
    }
  }
  if (const std::string flag_error = ApplyMqttFlag(args, *config); !flag_error.empty()) {
    LogError(flag_error);
    return 2;
  }
  // Before any thread starts: localtime_r reads the zone without a lock.
  if (const std::string zone_error = UseSiteTimeZone(*config); !zone_error.empty()) {
    LogError(path + ": time_zone: " + zone_error);
    return 2;
  }
  const std::string journal = FlagValue(args, "--journal", config->journal.path);
  const std::string socket = FlagValue(args, "--socket", DefaultSocketPath(config->site, journal));
  return RunSite(*config, journal, DaemonModules(*config, socket));
}

}  // namespace zarvod
