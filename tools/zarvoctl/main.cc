// zarvoctl: command-line access to door controllers through the library,
// on a serial port, a device server or the built-in virtual controller.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <utility>

#include "shared/option_parser.h"
#include "tool.h"
#include "zarvoac.h"

#ifndef ZARVO_TOOL_VERSION
#define ZARVO_TOOL_VERSION "unknown"
#endif

namespace zarvoctl {
namespace {

void PrintCommand(const Command& c) {
  std::string head = c.name + (c.usage.empty() ? "" : " " + c.usage);
  // One line per command; long usages push their summary to the right.
  std::cout << "  " << head << std::string(head.size() < 34 ? 34 - head.size() : 2, ' ')
            << c.summary << "\n";
}

using zarvo::tools::OptionSpec;

// The options every command takes, before or after the command's words.
const std::vector<OptionSpec>& GlobalOptions() {
  static const std::vector<OptionSpec> options = {
      {"--port", "DEVICE",
       "serial device or tcp:// or rfc2217:// device server (default: $ZARVO_PORT)"},
      {"--baud", "N", "line speed in bit/s (default 9600)"},
      {"--sim", "", "use the built-in virtual controller instead of a port"},
      {"--sim-address", "A,B", "addresses the virtual controller serves (default 1,2)"},
      {"--sim-fault", "FAULT", "make the virtual controller's next reply faulty"},
      {"--sim-echo", "", "the virtual controller echoes every request back"},
      {"--sim-baud", "N", "the virtual controller answers only at N bit/s"},
      {"--sim-noise", "", "the virtual controller sends stray bytes before replies"},
      {"--sim-collide", "", "every virtual controller answers address 0 at once"},
      {"--json", "", "print results as JSON"},
      {"--trace", "", "print every frame on the wire to standard error"},
      {"--pcap", "FILE", "write every frame to a capture file (Wireshark)"},
      {"--stats", "", "print the line's counters after the command"},
      {"--yes", "", "answer yes to confirmation questions"},
      {"--version", "", "print the tool's and the library's versions"},
      {"--help", "", "this help (zarvoctl help GROUP: one group's commands)"},
  };
  return options;
}

void PrintHelp() {
  std::cout << "usage: zarvoctl (--port DEVICE | --sim) [OPTIONS] COMMAND [ARGS...]\n\n"
               "Talks to door access controllers on a serial line. The options may come\n"
               "before or after the command.\n\n"
               "Options:\n"
            << zarvo::tools::OptionsHelp(GlobalOptions())
            << "\nNumbers are decimal, or hexadecimal after 0x.\n\n"
               "Commands:\n";
  for (const Command& c : Commands().commands()) PrintCommand(c);
}

// Prints the commands of `group` ("card", "door link"); false when there
// are none.
bool PrintGroup(const Args& group) {
  const std::vector<const Command*> commands = Commands().Group(group);
  if (commands.empty()) return false;
  std::string name;
  for (const std::string& w : group) name += (name.empty() ? "" : " ") + w;
  std::cout << "zarvoctl " << name << " commands:\n";
  for (const Command* c : commands) PrintCommand(*c);
  return true;
}

bool ParseAddresses(const std::string& text, std::vector<uint8_t>& out) {
  out.clear();
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    int32_t a = 0;
    if (!ParseInt(item, a) || a < 1 || a > 255) return false;
    out.push_back(static_cast<uint8_t>(a));
  }
  return !out.empty();
}

int OptionError(const std::string& text) {
  std::cerr << "zarvoctl: " << text << " (see --help)\n";
  return zarvo::tools::kUsageExit;
}

// Options that take a value; false when the value is malformed.
bool SetValueOption(const std::string& opt, const std::string& v, Options& options) {
  int32_t number = 0;
  if (opt == "--port") {
    options.port = v;
  } else if (opt == "--baud") {
    if (!ParseInt(v, number) || number <= 0) return false;
    options.baud = number;
  } else if (opt == "--sim-address") {
    return ParseAddresses(v, options.sim_addresses);
  } else if (opt == "--sim-fault") {
    options.sim_fault = v;
  } else if (opt == "--sim-baud") {
    if (!ParseInt(v, number) || number <= 0) return false;
    options.sim_baud = static_cast<uint32_t>(number);
  } else if (opt == "--pcap") {
    options.pcap = v;
  }
  return true;
}

const char* ValueName(const std::string& opt) {
  if (opt == "--baud" || opt == "--sim-baud") return "a speed in bit/s";
  if (opt == "--sim-address") return "addresses 1 to 255, separated by commas";
  return "a value";
}

// Options that take no value; false when `opt` is not one of them.
bool SetFlagOption(const std::string& opt, Options& options) {
  const std::pair<const char*, bool*> flags[] = {
      {"--json", &options.json},         {"--trace", &options.trace},
      {"--yes", &options.yes},           {"--sim", &options.sim},
      {"--sim-echo", &options.sim_echo}, {"--sim-noise", &options.sim_noise},
      {"--stats", &options.stats},       {"--sim-collide", &options.sim_collide}};
  for (const auto& [name, flag] : flags) {
    if (opt != name) continue;
    *flag = true;
    return true;
  }
  return false;
}

// The options must name one line: --port (or ZARVO_PORT) or --sim, and the
// virtual controller's options only go with --sim.
int CheckLineChoice(Options& options, bool port_given, const std::string& sim_option) {
  if (port_given && options.sim) {
    return OptionError(
        "--port and --sim exclude each other: give --port DEVICE for a real line, "
        "or --sim for the built-in virtual controller");
  }
  if (!options.sim && !sim_option.empty()) {
    return OptionError(sim_option + " sets up the built-in virtual controller and needs --sim");
  }
  if (!options.sim && !port_given) {
    const char* env = std::getenv("ZARVO_PORT");
    if (env != nullptr) options.port = env;
  }
  return 0;
}

// Takes the global options from anywhere on the command line into
// `options` and the rest into `words`; returns false (with `status` set)
// when the tool should exit.
bool ParseOptions(const Args& args, Options& options, Args& words, int& status) {
  zarvo::tools::ParsedOptions parsed;
  const std::string error = zarvo::tools::ParseOptions(args, GlobalOptions(), parsed, true);
  if (!error.empty()) {
    status = OptionError(error);
    return false;
  }
  if (parsed.Has("--version")) {
    std::cout << "zarvoctl " ZARVO_TOOL_VERSION "\nlibzarvoac " << Zarvo_LibraryVersion() << "\n";
    status = 0;
    return false;
  }
  std::string sim_option;  // the first --sim-… option given
  for (const OptionSpec& known : GlobalOptions()) {
    if (!parsed.Has(known.name)) continue;
    if (known.name.rfind("--sim-", 0) == 0 && sim_option.empty()) sim_option = known.name;
    if (known.value.empty()) {
      SetFlagOption(known.name, options);
      continue;
    }
    for (const std::string& value : parsed.Values(known.name)) {
      if (!SetValueOption(known.name, value, options)) {
        status = OptionError(zarvo::tools::BadValue(known.name, value, ValueName(known.name)));
        return false;
      }
    }
  }
  words = parsed.words;
  if (parsed.Has("--help")) {
    words.push_back("--help");
    return true;
  }
  if (!words.empty() && words[0].size() > 1 && words[0][0] == '-') {
    status = OptionError(
        zarvo::tools::UnknownOption(words[0], zarvo::tools::OptionNames(GlobalOptions())));
    return false;
  }
  status = CheckLineChoice(options, parsed.Has("--port"), sim_option);
  if (status != 0) return false;
  if (words.empty()) {
    PrintHelp();
    status = zarvo::tools::kUsageExit;
    return false;
  }
  return true;
}

// The options `command` takes itself, as its usage and summary name them.
std::vector<std::string> CommandOptions(const Command& command) {
  std::vector<std::string> names;
  const std::string text = command.usage + " " + command.summary;
  for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
    size_t end = at + 2;
    while (end < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-')) {
      ++end;
    }
    names.push_back(text.substr(at, end - at));
  }
  return names;
}

// An option among `args` that neither the command nor the tool takes:
// the error naming it, or "".
std::string UnknownCommandOption(const Command& command, const Args& args) {
  const std::vector<std::string> own = CommandOptions(command);
  for (const std::string& a : args) {
    if (a.size() < 3 || a.rfind("--", 0) != 0) continue;
    const std::string name = a.substr(0, a.find('='));
    if (std::find(own.begin(), own.end(), name) != own.end()) continue;
    std::vector<std::string> known = zarvo::tools::OptionNames(GlobalOptions());
    known.insert(known.end(), own.begin(), own.end());
    return zarvo::tools::UnknownOption(name, known);
  }
  return "";
}

// `help [GROUP]`, `GROUP` alone and `COMMAND --help`: prints help and sets
// `status`; false when `words` is a command to run.
bool HandleHelp(const Args& words, int& status) {
  const bool asked =
      words[0] == "help" || std::find(words.begin(), words.end(), "--help") != words.end();
  Args named(words.begin() + (words[0] == "help" ? 1 : 0), words.end());
  named.erase(std::remove(named.begin(), named.end(), "--help"), named.end());
  if (asked && named.empty()) {
    PrintHelp();
    status = 0;
    return true;
  }
  size_t consumed = 0;
  const Command* command = Commands().Find(named, consumed);
  if (asked && command != nullptr) {
    std::cout << "usage: zarvoctl " << command->name << " " << command->usage << "\n  "
              << command->summary << "\n";
    status = 0;
    return true;
  }
  if (command != nullptr && !asked) return false;
  if (PrintGroup(named)) {
    status = asked ? 0 : 2;
    return true;
  }
  std::cerr << "zarvoctl: unknown command '" << named[0] << "' (see --help)\n";
  status = 2;
  return true;
}

}  // namespace

// Runs one command line (without the global options) on a connected tool.
int RunCommand(Tool& tool, const Args& words) {
  size_t consumed = 0;
  const Command* command = Commands().Find(words, consumed);
  if (command == nullptr) {
    std::cerr << "zarvoctl: unknown command '" << words[0] << "' (see --help)\n";
    return 2;
  }
  const Args args(words.begin() + static_cast<long>(consumed), words.end());
  tool.SetCurrent(command, args);
  return command->run(tool, args);
}

}  // namespace zarvoctl

int main(int argc, char** argv) {
  using namespace zarvoctl;
  Options options;
  int status = 0;
  Args words;
  if (!ParseOptions(Args(argv + 1, argv + argc), options, words, status)) return status;
  if (HandleHelp(words, status)) return status;
  size_t consumed = 0;
  const Command* command = Commands().Find(words, consumed);
  const Args args(words.begin() + static_cast<long>(consumed), words.end());
  // A misspelt option is refused before any line is opened.
  if (const std::string unknown = UnknownCommandOption(*command, args); !unknown.empty()) {
    return OptionError(unknown);
  }
  Tool tool(options);
  if (!command->opens_port && !tool.Connect()) return 1;
  const int result = RunCommand(tool, words);
  if (options.stats) tool.PrintStats();
  return result;
}
