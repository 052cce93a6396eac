// A line's health counters as zarvoctl shows them (--stats, doctor).
#pragma once

#include <string>

#include "json.h"
#include "zarvoac.h"

namespace zarvoctl {

Json StatsJson(const ZarvoLineStats& stats);
// One counter per line, "  name  value", the ones at 0 left out but for
// the exchanges.
std::string StatsText(const ZarvoLineStats& stats);

}  // namespace zarvoctl
