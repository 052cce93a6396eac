// zarvoctl: command-line access to door controllers through the library,
// on a serial port, a device server or the built-in virtual controller.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <utility>

#include "tool.h"

#ifndef ZARVO_TOOL_VERSION
#define ZARVO_TOOL_VERSION "unknown"
#endif
#ifndef ZARVO_LIBRARY_VERSION
#define ZARVO_LIBRARY_VERSION "unknown"
#endif

namespace zarvoctl {
namespace {

void PrintCommand(const Command& c) {
  std::string head = c.name + (c.usage.empty() ? "" : " " + c.usage);
  // One line per command; long usages push their summary to the right.
  std::cout << "  " << head << std::string(head.size() < 34 ? 34 - head.size() : 2, ' ')
            << c.summary << "\n";
}

void PrintHelp() {
  std::cout << "usage: zarvoctl (--port DEVICE | --sim) [OPTIONS] COMMAND [ARGS...]\n\n"
               "Talks to door access controllers on a serial line.\n\n"
               "Options:\n"
               "  --port DEVICE      serial device or tcp:// or rfc2217:// device server\n"
               "                     (default: the ZARVO_PORT environment variable)\n"
               "  --baud N           line speed in bit/s (default 9600)\n"
               "  --sim              use the built-in virtual controller instead of a port\n"
               "  --sim-address A,B  addresses the virtual controller serves (default 1,2)\n"
               "  --sim-fault FAULT  make the virtual controller's next reply faulty\n"
               "  --sim-echo         the virtual controller echoes every request back\n"
               "  --sim-baud N       the virtual controller answers only at N bit/s\n"
               "  --sim-noise        the virtual controller sends stray bytes before replies\n"
               "  --sim-collide      every virtual controller answers address 0 at once\n"
               "  --json             print results as JSON\n"
               "  --trace            print every frame on the wire to standard error\n"
               "  --pcap FILE        write every frame to a capture file (Wireshark)\n"
               "  --stats            print the line's counters after the command\n"
               "  --yes              answer yes to confirmation questions\n"
               "  --version          print the tool's and the library's versions\n"
               "  --help             this help (zarvoctl help GROUP: one group's commands)\n\n"
               "Numbers are decimal, or hexadecimal after 0x.\n\n"
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
  return 2;
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

bool TakesValue(const std::string& opt) {
  return opt == "--port" || opt == "--baud" || opt == "--sim-address" || opt == "--sim-fault" ||
         opt == "--sim-baud" || opt == "--pcap";
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

// Parses the global options in front of the command; returns the index of
// the first command word, or -1 (with `status` set) when the tool should exit.
int ParseOptions(int argc, char** argv, Options& options, int& status) {
  int i = 1;
  bool port_given = false;
  std::string sim_option;  // the first --sim-… option given
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    const std::string opt = argv[i];
    if (opt.rfind("--sim-", 0) == 0 && sim_option.empty()) sim_option = opt;
    if (opt == "--help" || opt == "--version") {
      if (opt == "--help") PrintHelp();
      if (opt == "--version") {
        std::cout << "zarvoctl " ZARVO_TOOL_VERSION "\nlibzarvoac " ZARVO_LIBRARY_VERSION "\n";
      }
      status = 0;
      return -1;
    }
    if (SetFlagOption(opt, options)) continue;
    if (!TakesValue(opt)) {
      status = OptionError("unknown option " + opt);
      return -1;
    }
    if (i + 1 >= argc) {
      status = OptionError(opt + " needs " + ValueName(opt));
      return -1;
    }
    const std::string value = argv[++i];
    if (!SetValueOption(opt, value, options)) {
      status = OptionError("bad value '" + value + "' for " + opt + ": expected " + ValueName(opt));
      return -1;
    }
    port_given = port_given || opt == "--port";
  }
  status = CheckLineChoice(options, port_given, sim_option);
  if (status != 0) return -1;
  if (i >= argc) {
    PrintHelp();
    status = 2;
    return -1;
  }
  return i;
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
  const int first = ParseOptions(argc, argv, options, status);
  if (first < 0) return status;
  const Args words(argv + first, argv + argc);
  if (HandleHelp(words, status)) return status;
  size_t consumed = 0;
  const Command* command = Commands().Find(words, consumed);
  Tool tool(options);
  if (!command->opens_port && !tool.Connect()) return 1;
  const int result = RunCommand(tool, words);
  if (options.stats) tool.PrintStats();
  return result;
}
