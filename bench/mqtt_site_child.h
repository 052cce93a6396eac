// The daemon's side of zarvod-mqtt-bench: a site (its line workers and the
// journal) on MQTT, as `zarvod run` puts it together, either in the bench's
// own process or alone in a child process whose CPU time and memory the
// bench reads from /proc.
#pragma once

#include <string>
#include <vector>

#include "config/site_config.h"

namespace zarvod::bench {

// A site "bench" with one line per device (line1, line2, ...), controllers
// at addresses 1..per_line on each, named L<line>C<address>, polled at the
// default interval.
SiteConfig BenchSite(const std::string& journal_path, const std::vector<std::string>& devices,
                     int per_line);

// The child's main: runs BenchSite on MQTT (broker_port 0: without) until
// its standard input closes. Prints "ready" once the site runs; answers a
// line "heap" with "heap <bytes in use>".
//   --site-child JOURNAL BROKER_PORT PER_LINE DEVICE...
int RunSiteChild(const std::vector<std::string>& args);

}  // namespace zarvod::bench
