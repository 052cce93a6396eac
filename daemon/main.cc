// zarvod, the site daemon: collects every controller's events exactly once
// into its journal. See docs/daemon.md.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/site_modules.h"
#include "log/log.h"

namespace {

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: zarvod COMMAND [OPTIONS]\n\n"
               "  init --port PORT [--baud N] [--port PORT [--baud N]]... [--last N]\n"
               "       [--output FILE] [--force]\n"
               "                                       scan the lines, write a first site file\n"
               "  init --sim [--output FILE] [--force]  the built-in site's file\n"
               "  run --config FILE [--journal FILE] [--socket PATH]\n"
               "                                       run the site\n"
               "  --sim [--config FILE] [--journal FILE] [--rate N] [--socket PATH] [--unpaced]\n"
               "                                       run a built-in site of virtual controllers\n"
               "  check-config FILE                    check a site file\n"
               "  events [--journal FILE] [--follow] [--json|--csv] [--since TIME]\n"
               "                                       print journaled events\n"
               "  status [--journal FILE] [--config FILE]\n"
               "                                       lines, controllers, clock drift and gaps\n"
               "  acl diff [FILE] | acl apply [FILE] | acl verify\n"
               "      [--config FILE] [--journal FILE] [--socket PATH]\n"
               "                                       the card list: through the running daemon,\n"
               "                                       or on the lines when none runs\n\n"
               "  -v  log debug lines too\n");
}

}  // namespace

int main(int argc, char** argv) {
  zarvod::Args args(argv + 1, argv + argc);
  if (zarvod::HasFlag(args, "-v")) zarvod::SetLogThreshold(zarvod::LogLevel::kDebug);
  if (args.empty() || args[0] == "--help" || args[0] == "help") {
    PrintUsage(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  zarvod::RegisterModuleMigrations();
  const std::string command = args[0];
  const zarvod::Args rest(args.begin() + 1, args.end());
  if (command == "init") return zarvod::InitCommand(rest);
  if (command == "run") return zarvod::RunCommand(rest);
  if (command == "--sim" || command == "sim") return zarvod::SimCommand(rest);
  if (command == "check-config") return zarvod::CheckConfigCommand(rest);
  if (command == "events") return zarvod::EventsCommand(rest);
  if (command == "status") return zarvod::StatusCommand(rest);
  if (command == "acl") return zarvod::AclCommand(rest);
  std::fprintf(stderr, "zarvod: unknown command '%s'\n", command.c_str());
  PrintUsage(stderr);
  return 2;
}
