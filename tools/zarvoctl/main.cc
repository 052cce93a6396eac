// zarvoctl: command-line access to door controllers through the library,
// on a serial port or on the built-in virtual controller.
#include <cstring>
#include <iostream>
#include <sstream>

#include "tool.h"

namespace zarvoctl {
namespace {

void PrintHelp() {
  std::cout << "usage: zarvoctl [OPTIONS] COMMAND [ARGS...]\n\n"
               "Talks to door access controllers on a serial line.\n\n"
               "Options:\n"
               "  --port DEVICE      serial device (default: the built-in virtual controller)\n"
               "  --baud N           line speed in bit/s (default 9600)\n"
               "  --sim              use the built-in virtual controller (the default)\n"
               "  --sim-address A,B  addresses the virtual controller serves (default 1,2)\n"
               "  --sim-fault FAULT  make the virtual controller's next reply faulty\n"
               "  --sim-echo         the virtual controller echoes every request back\n"
               "  --sim-baud N       the virtual controller answers only at N bit/s\n"
               "  --sim-noise        the virtual controller sends stray bytes before replies\n"
               "  --json             print results as JSON\n"
               "  --trace            print every frame on the wire to standard error\n"
               "  --pcap FILE        write every frame to a capture file (Wireshark)\n"
               "  --stats            print the line's counters after the command\n"
               "  --yes              answer yes to confirmation questions\n"
               "  --help             this help\n\n"
               "Commands:\n";
  for (const Command& c : Commands().commands()) {
    std::string head = c.name + (c.usage.empty() ? "" : " " + c.usage);
    // One line per command; long usages push their summary to the right.
    std::cout << "  " << head << std::string(head.size() < 34 ? 34 - head.size() : 2, ' ')
              << c.summary << "\n";
  }
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

// Parses the global options in front of the command; returns the index of
// the first command word, or -1 (with `status` set) when the tool should exit.
int ParseOptions(int argc, char** argv, Options& options, int& status) {
  int i = 1;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    const std::string opt = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    int32_t baud = 0;
    if (opt == "--help") {
      PrintHelp();
      status = 0;
      return -1;
    } else if (opt == "--json") {
      options.json = true;
    } else if (opt == "--trace") {
      options.trace = true;
    } else if (opt == "--yes") {
      options.yes = true;
    } else if (opt == "--sim") {
      options.port.clear();
    } else if (opt == "--port" && value(v)) {
      options.port = v;
    } else if (opt == "--baud" && value(v) && ParseInt(v, options.baud)) {
    } else if (opt == "--sim-address" && value(v) && ParseAddresses(v, options.sim_addresses)) {
    } else if (opt == "--sim-fault" && value(v)) {
      options.sim_fault = v;
    } else if (opt == "--sim-echo") {
      options.sim_echo = true;
    } else if (opt == "--sim-baud" && value(v) && ParseInt(v, baud) && baud > 0) {
      options.sim_baud = static_cast<uint32_t>(baud);
    } else if (opt == "--sim-noise") {
      options.sim_noise = true;
    } else if (opt == "--pcap" && value(v)) {
      options.pcap = v;
    } else if (opt == "--stats") {
      options.stats = true;
    } else {
      std::cerr << "zarvoctl: bad option " << opt << " (see --help)\n";
      status = 2;
      return -1;
    }
  }
  if (i >= argc) {
    PrintHelp();
    status = 2;
    return -1;
  }
  return i;
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
  return command->run(tool, Args(words.begin() + static_cast<long>(consumed), words.end()));
}

}  // namespace zarvoctl

int main(int argc, char** argv) {
  using namespace zarvoctl;
  Options options;
  int status = 0;
  const int first = ParseOptions(argc, argv, options, status);
  if (first < 0) return status;
  Args words(argv + first, argv + argc);
  size_t consumed = 0;
  const Command* command = Commands().Find(words, consumed);
  if (command == nullptr) {
    std::cerr << "zarvoctl: unknown command '" << words[0] << "' (see --help)\n";
    return 2;
  }
  Tool tool(options);
  if (!command->opens_port && !tool.Connect()) return 1;
  const int result = RunCommand(tool, words);
  if (options.stats) tool.PrintStats();
  return result;
}
