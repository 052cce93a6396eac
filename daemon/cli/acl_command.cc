// zarvod acl diff FILE | apply FILE | verify: through the running daemon's
// control socket, or on the site's lines and journal when no daemon answers.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "acl_cli.h"
#include "cards/site_adapters.h"
#include "cli/commands.h"
#include "cli/site_modules.h"

namespace zarvod {
namespace {

constexpr const char* kPackagedConfig = "/etc/zarvod/zarvod.toml";

// The words after "acl" without the options this file takes.
Args AclWords(const Args& args) {
  Args words;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--config" || args[i] == "--journal" || args[i] == "--socket") {
      ++i;
      continue;
    }
    words.push_back(args[i]);
  }
  return words;
}

std::string ConfigPath(const Args& args) {
  const std::string given = FlagValue(args, "--config");
  if (!given.empty()) return given;
  return std::filesystem::exists(kPackagedConfig) ? kPackagedConfig : "./zarvod.toml";
}

}  // namespace

int AclCommand(const Args& args) {
  const std::string config_path = ConfigPath(args);
  // The config names the journal, and so the socket beside it; a config
  // that cannot be read is reported only if the lines must be opened here.
  ConfigError config_error;
  const std::optional<SiteConfig> config = LoadConfig(config_path, config_error);
  const std::string journal_path =
      FlagValue(args, "--journal", config ? config->journal.path : JournalConfig{}.path);

  control::AclCliEnvironment environment;
  environment.site = config ? config->site : "";
  environment.socket_path =
      FlagValue(args, "--socket", DefaultSocketPath(environment.site, journal_path));
  environment.open_site = [&](std::string& error) -> std::unique_ptr<control::StandaloneSite> {
    if (!config) {
      error = config_error.Text();
      return nullptr;
    }
    if (std::string zone_error = UseSiteTimeZone(*config); !zone_error.empty()) {
      error = zone_error;
      return nullptr;
    }
    std::shared_ptr<Journal> journal = Journal::Open(journal_path, error);
    if (!journal) return nullptr;
    auto site = std::make_unique<control::StandaloneSite>();
    site->layout = cards::LayoutFromConfig(*config);
    site->ports = cards::PortsFromConfig(*config);
    site->journal = journal->db();
    site->owner = journal;
    return site;
  };
  Args words = AclWords(args);
  // diff and apply without a file take the site file's card list, a
  // relative path being relative to the site file.
  if (words.size() == 1 && (words[0] == "diff" || words[0] == "apply") && config &&
      !config->cards.source.empty()) {
    const std::filesystem::path source(config->cards.source);
    words.push_back(source.is_absolute()
                        ? source.string()
                        : (std::filesystem::path(config_path).parent_path() / source).string());
  }
  return control::RunAclCli(words, environment);
}

}  // namespace zarvod
