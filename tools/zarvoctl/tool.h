// zarvoctl's command framework: the global options, the connection to a
// port or to the built-in virtual controller, the command registry and the
// helpers commands use to print results as text or JSON.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "json.h"

namespace zarvo::sim {
class VirtualBus;
}

namespace zarvoctl {

using Args = std::vector<std::string>;

struct Options {
  std::string port;  // --port, or ZARVO_PORT; empty with --sim
  bool sim = false;  // --sim: the built-in virtual controller
  int32_t baud = 9600;
  bool json = false;
  bool trace = false;
  bool yes = false;  // skip confirmation questions
  std::vector<uint8_t> sim_addresses = {1, 2};
  std::string sim_fault;
  bool sim_echo = false;
  uint32_t sim_baud = 0;  // 0: the virtual controller answers at any speed
  bool sim_noise = false;
  bool sim_collide = false;  // every controller answers address 0 at once
  std::string pcap;          // capture file for every frame, when not empty
  bool stats = false;        // print the line's counters after the command
};

class Tool {
 public:
  explicit Tool(Options options);
  ~Tool();

  const Options& options() const { return options_; }
  bool json() const { return options_.json; }
  // The virtual controller when running with --sim, else nullptr.
  zarvo::sim::VirtualBus* sim() { return sim_.get(); }

  // Opens the port (or starts the virtual controller and opens its
  // pseudo-terminal); prints why and returns false on failure.
  bool Connect();
  // The device to open: --port, or the virtual controller's pseudo-terminal
  // (started on first use); empty (with the reason printed) when there is
  // neither or the virtual controller cannot start.
  std::string Device();
  // Sets up --trace and --pcap on the default line; false when the
  // capture file cannot be created.
  bool WatchLine();
  // Prints the default line's counters (--stats).
  void PrintStats() const;

  // Prints `text` (text mode) or `json` (JSON mode) to standard output.
  void Emit(const Json& json, const std::string& text) const;
  // Reports a failed library call, with the line's words for why it
  // failed, and returns the exit status 1.
  int Fail(const std::string& what, int32_t result) const;
  // The same with `why` given ("" for none).
  int Report(const std::string& what, int32_t result, const std::string& why) const;
  // Reports a usage error, naming the argument that is wrong where the
  // command's registered usage tells it, and returns the exit status 2.
  int Usage(const std::string& usage) const;
  // The command being run and its arguments, for Usage.
  void SetCurrent(const struct Command* command, const Args& args);
  // Prints a progress bar on standard error when it is a terminal.
  void Progress(const std::string& label, long done, long total) const;
  void EndProgress() const;
  // Asks a yes/no question unless --yes was given; false when declined.
  bool Confirm(const std::string& question) const;

 private:
  Options options_;
  std::unique_ptr<zarvo::sim::VirtualBus> sim_;
  const struct Command* current_ = nullptr;
  Args current_args_;
};

using RunFn = int (*)(Tool& tool, const Args& args);

struct Command {
  std::string name;     // may be two words: "card add"
  std::string usage;    // arguments after the name
  std::string summary;  // one line for --help
  RunFn run;
  // Opens the port itself (and reports open failures its own way) instead
  // of finding it opened.
  bool opens_port = false;
};

class Registry {
 public:
  void Add(Command command) { commands_.push_back(std::move(command)); }
  // A step of `zarvoctl demo`: the words after "zarvoctl".
  void AddDemoStep(Args words) { demo_.push_back(std::move(words)); }

  // The command whose name matches the longest prefix of `words`; sets
  // `consumed` to the number of words in its name.
  const Command* Find(const Args& words, size_t& consumed) const;
  const std::vector<Command>& commands() const { return commands_; }
  // The commands whose name starts with the words `group` ("card").
  std::vector<const Command*> Group(const Args& group) const;
  const std::vector<Args>& demo_steps() const { return demo_; }

 private:
  std::vector<Command> commands_;
  std::vector<Args> demo_;
};

// Each command group registers its commands and demo steps.
void RegisterSerialCommands(Registry& registry);
void RegisterManagementCommands(Registry& registry);
void RegisterEventCommands(Registry& registry);
void RegisterCardCommands(Registry& registry);
void RegisterTableCommands(Registry& registry);
void RegisterDoorCommands(Registry& registry);
void RegisterDoctorCommand(Registry& registry);

const Registry& Commands();

// Argument helpers: decimal or 0x-prefixed integers (a leading zero is not
// octal); false when malformed.
bool ParseInt(const std::string& text, int32_t& value);
bool ParseInt(const std::string& text, int64_t& value);
// A bus address, 0 to 255 (0: whichever controller answers).
bool ParseAddress(const std::string& text, int32_t& address);

// What is wrong with `args` against a command's usage ("ADDRESS DOOR
// [PARAM]"): a missing or malformed argument, or one too many; "" when the
// usage alone cannot tell.
std::string WrongArgument(const std::string& usage, const Args& args);

// The result as "NAME (code)", e.g. "NO_REPLY (-10)".
std::string ResultText(int32_t result);
Json ResultJson(int32_t result);

// A line's open error without the device's name the library puts first,
// for messages that name the device themselves.
std::string WithoutDevice(const std::string& reason, const std::string& device);

// Hex dump "E1 08 00 ...".
std::string Hex(const uint8_t* bytes, size_t count);

}  // namespace zarvoctl
