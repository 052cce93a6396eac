// zarvod init --sim: the built-in site's file, so that a site can be tried
// and its file learnt before any hardware is wired. Its lines are virtual:
// `zarvod --sim --config FILE` runs it, with everything else the file says.
#include <cstdio>

#include "cli/commands.h"
#include "cli/first_site_file.h"
#include "cli/site_file_writer.h"
#include "sim_site/sim_site.h"

namespace zarvod {

int InitBuiltInSite(const std::string& output, bool replace) {
  const SiteConfig layout = SimSite::Layout();
  FirstSite site{layout.site, HostTimeZone(), "zarvod-sim.db", {}, {}};
  site.preface = {"The built-in site: its lines are virtual controllers that only exist while",
                  "  zarvod --sim --config " + output,
                  "runs. Try the optional tables below with it; for a site on real lines, run",
                  "zarvod init --port PORT (or put the real ports below and use zarvod run)."};
  for (const LineConfig& line : layout.lines) {
    SurveyedLine surveyed{line.name, line.port, line.baud, {}};
    for (const ControllerConfig& c : line.controllers) {
      surveyed.controllers.push_back({c.address, c.name, ""});
    }
    site.lines.push_back(std::move(surveyed));
  }
  if (const std::string error = WriteSiteFile(output, FirstSiteFileText(site), replace);
      !error.empty()) {
    std::fprintf(stderr, "zarvod init: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote %s\n", output.c_str());
  std::fflush(stdout);
  if (CheckConfigCommand({output}) != 0) return 1;
  std::printf("next: zarvod --sim --config %s\n", output.c_str());
  return 0;
}

}  // namespace zarvod
