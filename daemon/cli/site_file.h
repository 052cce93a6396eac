// The site file a command reads when none is named on its command line,
// and the time zone the views of the journal show times in.
#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"

namespace zarvod {

class JournalReader;

constexpr const char* kPackagedSiteFile = "/etc/zarvod/zarvod.toml";
constexpr const char* kLocalSiteFile = "./zarvod.toml";

// --config, else the packaged daemon's site file when it exists, else
// ./zarvod.toml.
std::string SiteFilePath(const Args& args);

// The site file for zarvod events and status: the one --config names, or
// the one found as SiteFilePath finds it; nullopt when none is given or
// found. False (the reason printed) when the site file cannot be used: one
// given must load; one found may fail only where --journal says which
// journal to read (the failure is then printed as a warning).
bool LoadViewSiteFile(const std::string& command, const Args& args,
                      std::optional<SiteConfig>& config);

// Makes the zone the journal's daemon ran the site in the local zone, else
// the site file's; false (the reason printed) when the site file's zone is
// not a zone.
bool UseJournalTimeZone(const std::string& command, JournalReader& reader,
                        const std::optional<SiteConfig>& config);

}  // namespace zarvod
