// zarvod --sim: the daemon on a built-in site of virtual controllers.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "cli/commands.h"
#include "cli/mqtt_module.h"
#include "cli/site_modules.h"
#include "log/log.h"
#include "shared/option_parser.h"
#include "sim_site/sim_site.h"

namespace zarvod {

int SimCommand(const Args& args) {
  const std::string rate_text = FlagValue(args, "--rate", "2");
  char* end = nullptr;
  const double rate = std::strtod(rate_text.c_str(), &end);
  if (end != rate_text.c_str() + rate_text.size() || !(rate > 0 && rate <= 1000)) {
    std::fprintf(
        stderr, "zarvod --sim: %s\n",
        zarvo::tools::BadValue("--rate", rate_text, "events per second, e.g. 2 or 0.5").c_str());
    return 2;
  }
  // A site file of the built-in lines (zarvod init --sim writes one) gives
  // the site everything but its ports.
  const std::string config_path = FlagValue(args, "--config");
  std::optional<SiteConfig> file_config;
  if (!config_path.empty()) {
    ConfigError config_error;
    file_config = LoadConfig(config_path, config_error);
    if (!file_config) {
      LogError(config_error.Text());
      return 2;
    }
    // The zone is the process's before the virtual lines start threads.
    if (const std::string zone_error = UseSiteTimeZone(*file_config); !zone_error.empty()) {
      LogError(config_path + ": time_zone: " + zone_error);
      return 2;
    }
  }
  std::string journal = FlagValue(args, "--journal", file_config ? file_config->journal.path : "");
  if (journal.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/zarvod-sim-XXXXXX.db";
    const int fd = mkstemps(path.data(), 3);
    if (fd < 0) {
      std::perror("zarvod --sim: cannot make a journal file");
      return 1;
    }
    ::close(fd);
    ::unlink(path.c_str());  // SQLite makes it afresh
    journal = path;
  }
  BlockStopSignals();  // before the virtual lines start their threads
  SimSite sim(rate, !HasFlag(args, "--unpaced"));
  std::string error;
  if (!sim.Start(error)) {
    LogError(error);
    return 1;
  }
  // Run again on the same journal, the site goes on with the same
  // controllers: their logs, cards and clocks as this run leaves them.
  const std::string state = journal + ".sim-state";
  if (const std::string problem = sim.KeepStateIn(state); !problem.empty()) {
    LogWarning(problem + "; the virtual controllers not read from it start afresh");
  }
  SiteConfig config = sim.Config(journal);
  if (file_config) {
    config = *file_config;
    config.journal.path = journal;
    if (const std::string attach_error = sim.Attach(config); !attach_error.empty()) {
      LogError(config_path + ": " + attach_error + "; --sim runs only the built-in lines");
      return 2;
    }
  }
  if (const std::string flag_error = ApplyMqttFlag(args, config); !flag_error.empty()) {
    LogError(flag_error);
    return 2;
  }
  LogInfo("built-in site: 5 virtual controllers on 2 lines at " +
          std::to_string(config.lines[0].baud) + " bit/s, " + std::to_string(rate) +
          " card events per second; their memory kept in " + state);
  LogInfo("see the events with: zarvod events --journal " + journal + " --follow");
  const std::string socket = FlagValue(args, "--socket", journal + ".sock");
  LogInfo("card lists: zarvod acl diff FILE --socket " + socket);
  if (config.mqtt) {
    LogInfo("on MQTT at " + config.mqtt->broker + ": subscribe to 'zarvo/" + config.site + "/#'");
  }
  const auto save = [&sim] {
    if (const std::string problem = sim.SaveState(); !problem.empty()) LogWarning(problem);
  };
  // Saved once events stop, in case the lines are not waited for, and again
  // once they have stopped, with their last read positions.
  std::vector<SiteModule> modules{{[&sim](Site&, Journal&) {
                                     sim.StartEvents();
                                     sim.StartSaving();
                                     return std::string();
                                   },
                                   [&sim, &save] {
                                     sim.StopEvents();
                                     save();
                                   }}};
  for (SiteModule& m : DaemonModules(config, socket)) modules.push_back(std::move(m));
  const int exit_code = RunSite(config, journal, modules);
  save();
  return exit_code;
}

}  // namespace zarvod
