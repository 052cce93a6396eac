// zarvod acl diff FILE | apply FILE | verify: through the running daemon's
// control socket, or on the site's lines and journal when no daemon holds
// the journal.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "acl_cli.h"
#include "cards/site_adapters.h"
#include "cli/commands.h"
#include "cli/site_file.h"
#include "cli/site_modules.h"
#include "journal/journal_file.h"
#include "journal/journal_lock.h"

namespace zarvod {
namespace {

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

// The journal and the lock that keeps a daemon off it while the command
// works on the lines; the journal closes first.
struct OwnedJournal {
  std::unique_ptr<JournalLock> lock;
  std::unique_ptr<Journal> journal;
};

std::string HolderOf(const std::string& journal_path) {
  const JournalOwner owner = InspectJournalLock(journal_path);
  if (!owner.held) return "";
  if (owner.by_daemon) return "zarvod (pid " + std::to_string(owner.pid) + ")";
  return "another zarvod acl command";
}

}  // namespace

int AclCommand(const Args& args) {
  const std::string config_path = SiteFilePath(args);
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
  // A lock this user may not look at leaves the socket to tell.
  if ((config || HasFlag(args, "--journal")) && InspectJournalLock(journal_path).known) {
    environment.journal_holder = [&journal_path] { return HolderOf(journal_path); };
  }
  environment.open_site = [&](std::string& error) -> std::unique_ptr<control::StandaloneSite> {
    if (!config) {
      error = config_error.Text();
      return nullptr;
    }
    if (std::string zone_error = UseSiteTimeZone(*config); !zone_error.empty()) {
      error = zone_error;
      return nullptr;
    }
    if (error = PrepareJournalFile(journal_path); !error.empty()) return nullptr;
    auto owned = std::make_shared<OwnedJournal>();
    owned->lock = JournalLock::Acquire(journal_path, JournalLock::Holder::kCommand, error);
    if (!owned->lock) return nullptr;
    owned->journal = Journal::Open(journal_path, error);
    if (!owned->journal) return nullptr;
    auto site = std::make_unique<control::StandaloneSite>();
    site->layout = cards::LayoutFromConfig(*config);
    site->ports = cards::PortsFromConfig(*config);
    site->journal = owned->journal->db();
    site->owner = owned;
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
