// zarvod's command line: finds the command, checks its options strictly
// against the command's list, and hands the command its arguments with every
// option as "--name value".
#include "cli/command_table.h"

#include <cstdio>

#include "cli/site_modules.h"
#include "log/log.h"
#include "zarvoac.h"

#ifndef ZARVOD_VERSION
#define ZARVOD_VERSION "unknown"
#endif

namespace zarvod {
namespace {

using zarvo::tools::OptionSpec;

const OptionSpec kVerbose{"-v", "", "log debug lines too"};
const OptionSpec kHelp{"--help", "", "this help"};
const OptionSpec kJournal{"--journal", "FILE", "the journal (default: the site file's)"};
const OptionSpec kSiteFile{"--config", "FILE",
                           "the site file (default /etc/zarvod/zarvod.toml, else ./zarvod.toml)"};
const OptionSpec kSocket{"--socket", "PATH", "the control socket (default: beside the journal)"};
const OptionSpec kMqtt{"--mqtt", "URL", "publish on the broker mqtt[s]://HOST[:PORT]"};

std::vector<CommandSpec> BuildCommands() {
  return {
      {"run",
       "",
       "run the site",
       {{"--config", "FILE", "the site file (required)"}, kJournal, kSocket, kMqtt, kVerbose},
       RunCommand},
      {"init",
       "",
       "scan the lines, write a first site file",
       {{"--port", "PORT", "a line to scan, as zarvoctl takes it (several allowed)"},
        {"--baud", "N", "the speed of the --port before it; ahead of every --port: of all"},
        {"--last", "N", "the highest address to scan (default 16)"},
        {"--output", "FILE", "the site file to write (default ./zarvod.toml)"},
        {"--force", "", "replace an existing file"},
        {"--sim", "", "write the built-in site's file"},
        kVerbose},
       InitCommand},
      {"--sim",
       "",
       "run a built-in site of virtual controllers",
       {{"--config", "FILE", "a site file `zarvod init --sim` wrote"},
        {"--journal", "FILE", "the journal (default: a new file in $TMPDIR or /tmp)"},
        {"--rate", "N", "card events per second (default 2)"},
        {"--unpaced", "", "answer at once instead of at the lines' speed (for tests)"},
        kSocket,
        kMqtt,
        kVerbose},
       SimCommand},
      {"check-config", "FILE", "check a site file", {}, CheckConfigCommand, 1},
      {"events",
       "",
       "print journaled events",
       {kSiteFile,
        kJournal,
        {"--follow", "", "go on printing as events are journaled"},
        {"--json", "", "one JSON object per event"},
        {"--csv", "", "CSV with a header row"},
        {"--since", "TIME", "from YYYY-MM-DD[ HH:MM[:SS]] local time, or an age: 15m, 2h, 7d"}},
       EventsCommand},
      {"status",
       "",
       "lines, controllers, clock drift and gaps",
       {kSiteFile, kJournal},
       StatusCommand},
      {"acl",
       "diff [FILE] | apply [FILE] | verify",
       "the card list: through the running daemon, or on the lines when none runs",
       {kSiteFile, kJournal, kSocket, kVerbose},
       AclCommand,
       2},
  };
}

void PrintCommandLine(FILE* out, const CommandSpec& c) {
  std::string head = "  " + c.name + (c.words.empty() ? "" : " " + c.words);
  // A long head puts its summary on a line of its own.
  head += head.size() < 24 ? std::string(24 - head.size(), ' ') : "\n" + std::string(24, ' ');
  std::fprintf(out, "%s%s\n", head.c_str(), c.summary.c_str());
}

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: zarvod COMMAND [OPTIONS]\n\nCommands:\n");
  for (const CommandSpec& c : DaemonCommands()) {
    PrintCommandLine(out, c);
    for (OptionSpec o : c.options) {
      o.name = "    " + o.name;
      std::fprintf(out, "%s", zarvo::tools::OptionsHelp({o}).c_str());
    }
  }
  std::fprintf(out,
               "\n  --help                this help (zarvod COMMAND --help: one command's)\n"
               "  --version             print zarvod's and the library's versions\n");
}

void PrintCommandHelp(const CommandSpec& c) {
  std::printf("usage: zarvod %s%s%s [OPTIONS]\n\n%s\n", c.name.c_str(), c.words.empty() ? "" : " ",
              c.words.c_str(), c.summary.c_str());
  if (!c.options.empty())
    std::printf("\nOptions:\n%s", zarvo::tools::OptionsHelp(c.options).c_str());
}

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& c : DaemonCommands()) {
    if (c.name == name || (c.name == "--sim" && name == "sim")) return &c;
  }
  return nullptr;
}

int UsageError(const std::string& where, const std::string& text) {
  std::fprintf(stderr, "%s: %s (see %s --help)\n", where.c_str(), text.c_str(), where.c_str());
  return zarvo::tools::kUsageExit;
}

// The command's arguments as the command reads them: its words in order,
// then each option given as "--name" or "--name value", in the order given.
Args Normalised(const CommandSpec& c, const zarvo::tools::ParsedOptions& parsed) {
  Args args = parsed.words;
  for (const auto& [name, value] : parsed.in_order) {
    if (name == "--help") continue;
    args.push_back(name);
    for (const OptionSpec& o : c.options) {
      if (o.name == name && !o.value.empty()) args.push_back(value);
    }
  }
  return args;
}

int RunOne(const CommandSpec& c, const Args& rest) {
  const std::string where = "zarvod " + (c.name == "--sim" ? std::string("--sim") : c.name);
  std::vector<OptionSpec> options = c.options;
  options.push_back(kHelp);
  zarvo::tools::ParsedOptions parsed;
  if (const std::string error = zarvo::tools::ParseOptions(rest, options, parsed); !error.empty()) {
    return UsageError(where, error);
  }
  if (parsed.Has("--help")) {
    PrintCommandHelp(c);
    return 0;
  }
  if (parsed.words.size() > c.max_words) {
    return UsageError(where, "unexpected argument '" + parsed.words[c.max_words] + "'");
  }
  if (parsed.Has("-v")) SetLogThreshold(LogLevel::kDebug);
  return c.run(Normalised(c, parsed));
}

}  // namespace

const std::vector<CommandSpec>& DaemonCommands() {
  static const std::vector<CommandSpec> commands = BuildCommands();
  return commands;
}

int RunDaemon(const Args& given) {
  // -v may come ahead of the command too.
  const bool verbose_first = !given.empty() && given[0] == "-v";
  if (verbose_first) SetLogThreshold(LogLevel::kDebug);
  const Args args(given.begin() + (verbose_first ? 1 : 0), given.end());
  if (args.empty()) {
    PrintUsage(stderr);
    return zarvo::tools::kUsageExit;
  }
  if (args[0] == "--help" || args[0] == "help") {
    const CommandSpec* asked = args.size() > 1 ? FindCommand(args[1]) : nullptr;
    if (asked != nullptr) {
      PrintCommandHelp(*asked);
    } else {
      PrintUsage(stdout);
    }
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("zarvod %s\nlibzarvoac %s\n", ZARVOD_VERSION, Zarvo_LibraryVersion());
    return 0;
  }
  const CommandSpec* command = FindCommand(args[0]);
  if (command == nullptr) {
    std::vector<std::string> names{"--help", "--version"};
    for (const CommandSpec& c : DaemonCommands()) names.push_back(c.name);
    const std::string nearest = zarvo::tools::NearestName(args[0], names);
    return UsageError("zarvod", "unknown command '" + args[0] + "'" +
                                    (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)"));
  }
  RegisterModuleMigrations();
  return RunOne(*command, Args(args.begin() + 1, args.end()));
}

}  // namespace zarvod
