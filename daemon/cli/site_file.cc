#include "cli/site_file.h"

#include <cstdio>
#include <filesystem>

#include "cli/site_modules.h"
#include "journal/journal_reader.h"
#include "time_zone.h"

namespace zarvod {

std::string SiteFilePath(const Args& args) {
  const std::string given = FlagValue(args, "--config");
  if (!given.empty()) return given;
  std::error_code ignored;
  return std::filesystem::exists(kPackagedSiteFile, ignored) ? kPackagedSiteFile : kLocalSiteFile;
}

bool LoadViewSiteFile(const std::string& command, const Args& args,
                      std::optional<SiteConfig>& config) {
  const std::string path = SiteFilePath(args);
  std::error_code ignored;
  if (!HasFlag(args, "--config") && !std::filesystem::exists(path, ignored)) return true;
  ConfigError error;
  config = LoadConfig(path, error);
  if (config) return true;
  if (!HasFlag(args, "--config") && HasFlag(args, "--journal")) {
    std::fprintf(stderr, "zarvod %s: warning: %s; going on without the site file\n",
                 command.c_str(), error.Text().c_str());
    return true;
  }
  std::fprintf(stderr, "zarvod %s: %s\n", command.c_str(), error.Text().c_str());
  return false;
}

bool UseJournalTimeZone(const std::string& command, JournalReader& reader,
                        const std::optional<SiteConfig>& config) {
  if (const std::string zone = reader.SiteTimeZone(); !zone.empty()) {
    const std::string error = clocks::UseTimeZone(zone);
    if (error.empty()) return true;
    std::fprintf(stderr, "zarvod %s: warning: the journal's %s\n", command.c_str(), error.c_str());
  }
  if (!config) return true;
  if (const std::string error = UseSiteTimeZone(*config); !error.empty()) {
    std::fprintf(stderr, "zarvod %s: time_zone: %s\n", command.c_str(), error.c_str());
    return false;
  }
  return true;
}

}  // namespace zarvod
