// zarvod --sim: the daemon on a built-in site of virtual controllers.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

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
  std::string journal = FlagValue(args, "--journal");
  if (journal.empty()) {
    char path[] = "/tmp/zarvod-sim-XXXXXX.db";
    const int fd = mkstemps(path, 3);
    if (fd < 0) {
      std::perror("zarvod --sim: cannot make a journal file");
      return 1;
    }
    ::close(fd);
    ::unlink(path);  // SQLite makes it afresh
    journal = path;
  }
  BlockStopSignals();  // before the virtual lines start their threads
  SimSite sim(rate);
  std::string error;
  if (!sim.Start(error)) {
    LogError(error);
    return 1;
  }
  SiteConfig config = sim.Config(journal);
  if (const std::string flag_error = ApplyMqttFlag(args, config); !flag_error.empty()) {
    LogError(flag_error);
    return 2;
  }
  LogInfo("built-in site: 5 virtual controllers on 2 lines, " + std::to_string(rate) +
          " card events per second");
  LogInfo("see the events with: zarvod events --journal " + journal + " --follow");
  const std::string socket = FlagValue(args, "--socket", journal + ".sock");
  LogInfo("card lists: zarvod acl diff FILE --socket " + socket);
  if (config.mqtt) {
    LogInfo("on MQTT at " + config.mqtt->broker + ": subscribe to 'zarvo/" + config.site + "/#'");
  }
  std::vector<SiteModule> modules{{[&sim](Site&, Journal&) {
                                     sim.StartEvents();
                                     return std::string();
                                   },
                                   nullptr}};
  for (SiteModule& m : DaemonModules(config, socket)) modules.push_back(std::move(m));
  return RunSite(config, journal, modules);
}

}  // namespace zarvod
