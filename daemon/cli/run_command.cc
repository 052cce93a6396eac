// zarvod check-config FILE and zarvod run --config FILE.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/commands.h"
#include "cli/mqtt_module.h"
#include "cli/site_modules.h"
#include "journal/journal.h"
#include "log/log.h"
#include "site/site.h"

namespace zarvod {
namespace {

constexpr int kPruneEverySeconds = 3600;
// SIGTERM is answered within 2 s: lines still in a block read after this are
// not waited for.
constexpr std::chrono::milliseconds kStopPatience{1500};

void Prune(Journal& journal, const JournalConfig& config) {
  if (config.retention_days == 0 && config.retention_events == 0) return;
  const int64_t deleted = journal.Prune(config.retention_days, config.retention_events);
  if (deleted > 0) LogInfo("journal: " + std::to_string(deleted) + " old events deleted");
}

}  // namespace

sigset_t BlockStopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
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
  ConfigError error;
  const std::optional<SiteConfig> config = LoadConfig(args[0], error);
  if (!config) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
    return 1;
  }
  if (const std::string zone_error = UseSiteTimeZone(*config); !zone_error.empty()) {
    std::fprintf(stderr, "%s: time_zone: %s\n", args[0].c_str(), zone_error.c_str());
    return 1;
  }
  size_t controllers = 0;
  for (const LineConfig& line : config->lines) controllers += line.controllers.size();
  std::printf("%s: site '%s', %zu lines, %zu controllers: OK\n", args[0].c_str(),
              config->site.c_str(), config->lines.size(), controllers);
  return 0;
}

int RunSite(const SiteConfig& config, const std::string& journal_path,
            const std::vector<SiteModule>& modules) {
  const sigset_t stop = BlockStopSignals();

  std::string error;
  std::unique_ptr<Journal> journal = Journal::Open(journal_path, error);
  if (!journal) {
    LogError("journal: " + error);
    return 1;
  }
  LogInfo("site '" + config.site + "': journal " + journal_path);
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
  while (all_started) {
    const timespec wait{kPruneEverySeconds, 0};
    const int signal_number = sigtimedwait(&stop, nullptr, &wait);
    if (signal_number == SIGINT || signal_number == SIGTERM) break;
    Prune(*journal, config.journal);
  }
  LogInfo("stopping");
  while (started-- > 0) {
    if (modules[started].stop) modules[started].stop();
  }
  if (!site.StopWithin(kStopPatience)) {
    // A block read takes up to 6.4 s at 9600 bit/s. It moves nothing on the
    // controller and nothing of it is committed yet, so ending now is safe
    // (as a crash would be) and the next start reads that block again.
    LogInfo("stopped; a block read in progress was left unfinished");
    std::fflush(stderr);
    std::_Exit(all_started ? 0 : 1);
  }
  LogInfo("stopped");
  return all_started ? 0 : 1;
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
