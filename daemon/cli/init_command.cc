// zarvod init: a site's first site file, from what answers on its lines.
// Every line is surveyed before anything is written, so that one run names
// every line's problem, and a site file is written only when every line
// can be used as given.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <set>

#include "cli/commands.h"
#include "cli/first_site_file.h"
#include "cli/line_survey.h"
#include "cli/site_file_writer.h"
#include "journal/journal_file.h"

namespace zarvod {
namespace {

constexpr const char* kUsage =
    "usage: zarvod init --port PORT [--baud N] [--port PORT [--baud N]]... [--last N]\n"
    "                   [--output FILE] [--force]\n"
    "       zarvod init --sim [--output FILE] [--force]\n";
constexpr int kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int kDefaultLast = 16;

struct PortChoice {
  std::string port;
  int baud = 0;  // 0: the speed given before the first --port, or 9600
};

struct InitOptions {
  std::vector<PortChoice> ports;
  int baud = 9600;
  int last = kDefaultLast;
  std::string output = "zarvod.toml";
  bool force = false;
  bool sim = false;
};

bool ParseInt(const std::string& text, int& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoi(text);
  return true;
}

// "" or why the option's value is refused, naming the option.
std::string TakeValue(const std::string& option, const std::string& value, InitOptions& options) {
  int number = 0;
  if (option == "--port") {
    if (value.empty())
      return "--port needs a port: a device, tcp://HOST:PORT or rfc2217://HOST:PORT";
    for (const PortChoice& p : options.ports) {
      if (p.port == value) return "--port " + value + " is given twice";
    }
    options.ports.push_back({value, 0});
  } else if (option == "--baud") {
    bool known = ParseInt(value, number);
    known = known && std::find(std::begin(kSpeeds), std::end(kSpeeds), number) != std::end(kSpeeds);
    if (!known) return "--baud " + value + ": not a line speed (1200 to 115200 bit/s, e.g. 9600)";
    (options.ports.empty() ? options.baud : options.ports.back().baud) = number;
  } else if (option == "--last") {
    if (!ParseInt(value, number) || number < 1 || number > 255) {
      return "--last " + value + ": the highest address to scan, 1 to 255";
    }
    options.last = number;
  } else {
    if (value.empty() || std::filesystem::is_directory(value)) {
      return "--output " + value + ": name the site file to write, e.g. zarvod.toml";
    }
    const std::filesystem::path folder = std::filesystem::path(value).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder)) {
      return "--output " + value + ": there is no folder " + folder.string();
    }
    options.output = value;
  }
  return "";
}

std::string ParseOptions(const Args& args, InitOptions& options) {
  static const std::set<std::string> kWithValue = {"--port", "--baud", "--last", "--output"};
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--force") {
      options.force = true;
    } else if (args[i] == "--sim") {
      options.sim = true;
    } else if (kWithValue.count(args[i]) != 0) {
      if (i + 1 == args.size()) return args[i] + " needs a value";
      if (std::string fault = TakeValue(args[i], args[i + 1], options); !fault.empty()) {
        return fault;
      }
      ++i;
    } else if (args[i] != "-v") {
      return "unknown option '" + args[i] + "'";
    }
  }
  if (options.sim && !options.ports.empty()) return "--sim and --port exclude each other";
  if (!options.sim && options.ports.empty()) return "name each line with --port, or use --sim";
  return "";
}

// A progress bar on a terminal; otherwise a line when a scan starts, so
// that logs stay readable.
class ScanDisplay {
 public:
  ScanDisplay(const std::string& line, const PortChoice& port, int last)
      : terminal_(::isatty(STDERR_FILENO) != 0) {
    std::fprintf(stderr, "%s: %s at %d bit/s, scanning addresses 1 to %d\n", line.c_str(),
                 port.port.c_str(), port.baud, last);
  }
  ~ScanDisplay() {
    if (drawn_) std::fputc('\n', stderr);
  }
  ScanWatcher Watcher() {
    return {[this](int address, int last) { Show(address, last); },
            [this](const FoundController&) { ++found_; }};
  }

 private:
  void Show(int address, int last) {
    if (!terminal_) return;
    constexpr int kWidth = 30;
    const int filled = (address - 1) * kWidth / last;
    std::fprintf(stderr, "\r  [%s%s] address %d of %d, %d found", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '-').c_str(), address, last, found_);
    std::fflush(stderr);
    drawn_ = true;
  }

  bool terminal_;
  bool drawn_ = false;
  int found_ = 0;
};

std::string ControllerList(const std::vector<FoundController>& controllers) {
  std::string text;
  for (const FoundController& c : controllers) {
    text += (text.empty() ? "" : ", ") + std::to_string(c.address) +
            (c.version.empty() ? "" : " (\"" + c.version + "\")");
  }
  return text;
}

// The packaged daemon keeps its journal under /var/lib; elsewhere the
// journal goes beside the site file.
std::string JournalPathFor(const std::string& output) {
  std::error_code error;
  const auto folder = std::filesystem::weakly_canonical(output, error).parent_path();
  return !error && folder == "/etc/zarvod" ? "/var/lib/zarvod/journal.db" : "zarvod.db";
}

int WriteAndCheck(const FirstSite& site, const InitOptions& options) {
  if (const std::string error =
          WriteSiteFile(options.output, FirstSiteFileText(site), options.force);
      !error.empty()) {
    std::fprintf(stderr, "zarvod init: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote %s\n", options.output.c_str());
  std::fflush(stdout);
  if (CheckConfigCommand({options.output}) != 0) return 1;
  std::printf(
      "next: zarvod run --config %s\n"
      "then, beside it: zarvod events --journal %s --follow\n",
      options.output.c_str(), BesideSiteFile(site.journal_path, options.output).c_str());
  return 0;
}

int InitFromLines(InitOptions& options) {
  FirstSite site{HostSiteName(), HostTimeZone(), JournalPathFor(options.output), {}, {}};
  int unusable = 0;
  for (size_t i = 0; i < options.ports.size(); ++i) {
    PortChoice& port = options.ports[i];
    if (port.baud == 0) port.baud = options.baud;
    const std::string name = LineName(i);
    LineSurvey survey;
    {
      ScanDisplay display(name, port, options.last);
      survey = SurveyLine(port.port, port.baud, options.last, display.Watcher());
    }
    if (!survey.finding.empty()) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), survey.finding.c_str());
      ++unusable;
      continue;
    }
    std::fprintf(stderr, "%s: controllers at %s\n", name.c_str(),
                 ControllerList(survey.controllers).c_str());
    for (const std::string& note : survey.notes)
      std::fprintf(stderr, "%s: note: %s\n", name.c_str(), note.c_str());
    SurveyedLine line{name, port.port, port.baud, {}};
    for (const FoundController& c : survey.controllers) {
      line.controllers.push_back(
          {c.address, ControllerName(options.ports.size(), i, c.address), c.version});
    }
    site.lines.push_back(std::move(line));
  }
  if (unusable > 0) {
    std::fprintf(stderr, "zarvod init: nothing written; run init again once %s\n",
                 unusable == 1 ? "the line is put right" : "the lines are put right");
    return 1;
  }
  return WriteAndCheck(site, options);
}

}  // namespace

int InitCommand(const Args& args) {
  InitOptions options;
  if (const std::string fault = ParseOptions(args, options); !fault.empty()) {
    std::fprintf(stderr, "zarvod init: %s\n%s", fault.c_str(), kUsage);
    return 2;
  }
  // Before the lines are scanned: a refusal after the scan wastes it.
  if (!options.force && std::filesystem::exists(options.output)) {
    std::fprintf(stderr, "zarvod init: %s exists; --force replaces it\n", options.output.c_str());
    return 1;
  }
  if (options.sim) return InitBuiltInSite(options.output, options.force);
  return InitFromLines(options);
}

}  // namespace zarvod
