// zarvod's commands and the options each takes: the one list that the
// command line is checked against and that --help prints.
#pragma once

#include <string>
#include <vector>

#include "cli/commands.h"
#include "shared/option_parser.h"

namespace zarvod {

struct CommandSpec {
  std::string name;
  std::string words;    // what follows the name besides options ("FILE")
  std::string summary;  // one line for --help
  std::vector<zarvo::tools::OptionSpec> options;
  int (*run)(const Args& args) = nullptr;
  size_t max_words = 0;  // words allowed besides options
};

const std::vector<CommandSpec>& DaemonCommands();

// The whole command line after the program's name; returns the exit code.
// Usage errors exit 2 and name the option or word that is wrong.
int RunDaemon(const Args& args);

}  // namespace zarvod
