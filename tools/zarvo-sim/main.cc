// zarvo-sim: serves virtual controllers on a pseudo-terminal, so a host
// application can be developed and tested with no hardware.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "event_source.h"
#include "faults.h"
#include "saved_state.h"
#include "shared/number_text.h"
#include "shared/option_parser.h"
#include "tcp_device_server.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace {

using zarvo::tools::OptionSpec;

const std::vector<OptionSpec>& SimOptions() {
  static const std::vector<OptionSpec> options = {
      {"--address", "A", "serve a controller at bus address A (1-255; repeatable; default 1)"},
      {"--link", "PATH", "also make PATH a symbolic link to the device"},
      {"--fault", "F", std::string("make the first reply faulty: ") + zarvo::sim::FaultNames()},
      {"--tcp", "H:P", "serve over TCP on host H, port P (0: any free port)"},
      {"--echo", "",
       "send every byte received back at once, as an echoing RS-485 adapter does, "
       "ahead of the reply"},
      {"--baud", "N",
       "answer only while the host's port is at N bit/s; at other speeds send garbage"},
      {"--noise", "", "send a few stray bytes ahead of every reply"},
      {"--collide", "", "every controller answers address 0 at once, and their replies collide"},
      {"--events", "RATE", "log RATE card events per second (e.g. 0.5) at random controllers"},
      {"--state", "FILE",
       "start the controllers with the memory kept in FILE (event logs, cards, clocks) when it "
       "exists, and keep it there at a stop"},
      {"--version", "", "print the simulator's and the library's versions"},
      {"--help", "", "this help"},
  };
  return options;
}

void PrintUsage() {
  std::printf(
      "usage: zarvo-sim [--address A]... [--link PATH] [--fault FAULT] [--tcp HOST:PORT]\n"
      "                 [--echo] [--baud N] [--noise] [--collide] [--events RATE]\n\n"
      "Serves virtual door controllers on a new pseudo-terminal and prints its\n"
      "device name; open that device (or PATH) as the serial port. With --tcp it\n"
      "serves them as a TCP device server instead and prints tcp://HOST:PORT.\n"
      "Runs until interrupted.\n\n%s\n"
      "Numbers are decimal, or hexadecimal after 0x.\n",
      zarvo::tools::OptionsHelp(SimOptions()).c_str());
}

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zarvo-sim: %s (see --help)\n", text.c_str());
  return zarvo::tools::kUsageExit;
}

// "HOST:PORT" or "[IPv6]:PORT".
bool ParseHostPort(const std::string& text, std::string& host, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  int64_t value = 0;
  if (!zarvo::tools::ParseNumber(text.substr(colon + 1), value) || value < 0 || value > 65535) {
    return false;
  }
  port = static_cast<uint16_t>(value);
  return true;
}

// Makes `link` point at `device`. A link that still leads to a live device
// belongs to another running virtual controller (a pseudo-terminal lives as
// long as its server) and is left alone, as is anything that is not a link;
// a link to a device gone is stale and replaced.
bool MakeLink(const std::string& link, const std::string& device) {
  struct stat seen {};
  if (::lstat(link.c_str(), &seen) == 0) {
    struct stat target {};
    if (!S_ISLNK(seen.st_mode)) {
      std::fprintf(stderr, "zarvo-sim: %s exists and is not a link; not replacing it\n",
                   link.c_str());
      return false;
    }
    if (::stat(link.c_str(), &target) == 0) {
      std::fprintf(stderr,
                   "zarvo-sim: %s leads to a device in use (another zarvo-sim?); stop that one "
                   "or choose another --link\n",
                   link.c_str());
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(device.c_str(), link.c_str()) != 0) {
    std::perror(("zarvo-sim: cannot create the link " + link).c_str());
    return false;
  }
  return true;
}

// Removes `link` only while it is still the one this process made.
void RemoveLink(const std::string& link, const std::string& device) {
  char target[4096];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n < 0) return;
  target[n] = '\0';
  if (device == target) ::unlink(link.c_str());
}

bool ParseLong(const char* text, long& value) {
  int64_t wide = 0;
  if (!zarvo::tools::ParseNumber(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
  value = static_cast<long>(wide);
  return true;
}

// A positive rate, the whole text a number.
bool ParseRate(const std::string& text, double& rate) {
  char* end = nullptr;
  rate = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && rate > 0 && rate < 1e6;
}

// The settings the controllers run with, for the startup line.
std::string Settings(long baud, bool echo, bool noise, bool collide, const std::string& fault) {
  return std::string(baud > 0 ? "at " + std::to_string(baud) + " bit/s only" : "at any speed") +
         ", echo " + (echo ? "on" : "off") + ", noise " + (noise ? "on" : "off") + ", address 0 " +
         (collide ? "answered by all" : "answered by the lowest") + ", fault " +
         (fault.empty() ? "none" : fault);
}

// Reads the controllers' memory from `path` when the file exists.
bool LoadState(zarvo::sim::VirtualBus& bus, const std::string& path) {
  std::ifstream in(path);
  if (!in) return true;
  std::string header;
  std::getline(in, header);
  std::ostringstream rest;
  rest << in.rdbuf();
  std::string error = "not a saved state of virtual controllers";
  if (header == zarvo::sim::kSavedStateHeader && zarvo::sim::LoadBusState(bus, rest.str(), error)) {
    return true;
  }
  std::fprintf(stderr, "zarvo-sim: %s: %s\n", path.c_str(), error.c_str());
  return false;
}

bool SaveState(zarvo::sim::VirtualBus& bus, const std::string& path) {
  const std::string temporary = path + ".new";
  std::ofstream out(temporary, std::ios::trunc);
  out << zarvo::sim::kSavedStateHeader << "\n" << zarvo::sim::SaveBusState(bus);
  out.close();
  if (out && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::fprintf(stderr, "zarvo-sim: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  zarvo::tools::ParsedOptions given;
  const std::string usage_error = zarvo::tools::ParseOptions(
      std::vector<std::string>(argv + 1, argv + argc), SimOptions(), given);
  if (!usage_error.empty()) return UsageError(usage_error);
  if (!given.words.empty()) return UsageError("unexpected argument '" + given.words[0] + "'");
  if (given.Has("--help")) {
    PrintUsage();
    return 0;
  }
  if (given.Has("--version")) {
    std::printf("zarvo-sim %s\nlibzarvoac %s\n", ZARVO_TOOL_VERSION, Zarvo_LibraryVersion());
    return 0;
  }
  std::vector<uint8_t> addresses;
  for (const std::string& text : given.Values("--address")) {
    long a = 0;
    if (!ParseLong(text.c_str(), a) || a < 1 || a > 255) {
      return UsageError(zarvo::tools::BadValue("--address", text, "a bus address, 1 to 255"));
    }
    addresses.push_back(static_cast<uint8_t>(a));
  }
  const std::string link = given.Value("--link");
  const std::string fault_text = given.Value("--fault");
  const std::string tcp = given.Value("--tcp");
  const std::string state = given.Value("--state");
  const bool echo = given.Has("--echo");
  const bool noise = given.Has("--noise");
  const bool collide = given.Has("--collide");
  long baud = 0;
  if (given.Has("--baud") && (!ParseLong(given.Value("--baud").c_str(), baud) || baud <= 0)) {
    return UsageError(zarvo::tools::BadValue("--baud", given.Value("--baud"), "a speed in bit/s"));
  }
  double event_rate = 0;
  if (given.Has("--events") && !ParseRate(given.Value("--events"), event_rate)) {
    return UsageError(
        zarvo::tools::BadValue("--events", given.Value("--events"), "events per second, e.g. 0.5"));
  }
  if (addresses.empty()) addresses.push_back(1);

  // Block the stop signals before the serving thread starts, then wait for
  // one of them here.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  zarvo::sim::VirtualBus bus(addresses);
  bus.set_echo(echo);
  bus.set_baud(static_cast<uint32_t>(baud));
  bus.set_noise(noise);
  bus.set_collide(collide);
  if (!state.empty() && !LoadState(bus, state)) return 1;
  if (!bus.Start()) {
    std::perror("zarvo-sim: cannot create a pseudo-terminal");
    return 1;
  }
  if (!fault_text.empty()) {
    zarvo::sim::Fault fault;
    if (!zarvo::sim::ParseFault(fault_text, fault)) {
      return UsageError(zarvo::tools::BadValue("--fault", fault_text, zarvo::sim::FaultNames()));
    }
    bus.InjectFault(fault);
  }
  const std::string device = bus.device_name();
  if (!link.empty() && !MakeLink(link, device)) return 1;
  zarvo::sim::TcpDeviceServer server(bus);
  std::string served = bus.device_name();
  if (!tcp.empty()) {
    std::string host;
    uint16_t port = 0;
    std::string error;
    if (!ParseHostPort(tcp, host, port)) {
      return UsageError(zarvo::tools::BadValue("--tcp", tcp, "HOST:PORT, e.g. 127.0.0.1:0"));
    }
    if (!server.Start(host, port, error)) {
      std::fprintf(stderr, "zarvo-sim: %s\n", error.c_str());
      return 1;
    }
    served = server.url();
  }
  std::printf("%s\n", served.c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "zarvo-sim: serving address(es)");
  for (uint8_t a : addresses) std::fprintf(stderr, " %u", a);
  std::fprintf(stderr, " on %s, %s; Ctrl-C stops\n", served.c_str(),
               Settings(baud, echo, noise, collide, fault_text).c_str());

  zarvo::sim::EventSource events(bus, addresses, event_rate);
  events.Start();
  int signal_number = 0;
  sigwait(&stop, &signal_number);
  events.Stop();
  server.Stop();
  bus.Stop();
  if (!state.empty() && !SaveState(bus, state)) return 1;
  if (!link.empty()) RemoveLink(link, device);
  std::fprintf(stderr, "zarvo-sim: stopped after %llu requests\n",
               static_cast<unsigned long long>(bus.request_count()));
  return 0;
}
