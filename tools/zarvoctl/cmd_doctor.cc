// zarvoctl doctor: checks a line the way an installer would (the device
// opens, the speed controllers answer at, what the adapter and the line do
// to the replies, which controllers are there) and says in plain words what
// is wrong and how to put it right. Exit status: 0 healthy, 1 problems
// found, 2 the device cannot be opened.
#include <iterator>
#include <string>
#include <vector>

#include "stats_report.h"
#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {
namespace {

constexpr int32_t kSpeeds[] = {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
constexpr int kHealthProbes = 8;
constexpr int32_t kDefaultLastAddress = 16;

enum class Level { kOk, kNote, kProblem };

struct Finding {
  Level level;
  std::string code;  // stable, for scripts
  std::string text;
};

struct Controller {
  int32_t address;
  std::string version;
};

struct Report {
  std::string device;
  int32_t speed = 0;  // 0: none found
  std::vector<Finding> findings;
  std::vector<Controller> controllers;
  ZarvoLineStats stats{};
  bool opened = false;

  void Add(Level level, std::string code, std::string text) {
    findings.push_back({level, std::move(code), std::move(text)});
  }
  int Problems() const {
    int count = 0;
    for (const Finding& f : findings) count += f.level == Level::kProblem;
    return count;
  }
  int Status() const { return !opened ? 2 : Problems() > 0 ? 1 : 0; }
};

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

ZarvoLineStats TakeStats(bool reset) {
  ZarvoLineStats stats{};
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, reset ? 1 : 0);
  return stats;
}

// Why the device did not open, with what to do about it.
void ExplainOpenFailure(Report& report, const std::string& reason) {
  const std::string& d = report.device;
  if (Contains(reason, "permission")) {
    report.Add(Level::kProblem, "open-permission",
               "cannot open " + d +
                   ": permission denied. Fix: add the user to the group that "
                   "owns the device (ls -l " +
                   d +
                   " shows it; usually: sudo usermod -aG dialout "
                   "$USER), then log in again.");
  } else if (Contains(reason, "in use") || Contains(reason, "busy")) {
    report.Add(Level::kProblem, "open-busy",
               d + " is held by another program. Fix: close that program (fuser -v " + d +
                   " names it), then run doctor again.");
  } else if (Contains(reason, "no such device")) {
    report.Add(Level::kProblem, "open-missing",
               d + " does not exist. Fix: check the name and that the adapter is plugged in "
                   "(ls /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; dmesg tells what the system made "
                   "of the adapter).");
  } else if (Contains(reason, "not a serial")) {
    report.Add(Level::kProblem, "open-not-serial",
               d + " is not a serial port. Fix: name the adapter's device instead.");
  } else {
    report.Add(Level::kProblem, "open-failed", "cannot open " + d + ": " + reason);
  }
}

std::string OpenError() {
  char reason[256] = {};
  Zarvo_LineOpenError(Zarvo_DefaultLine(), reason, sizeof reason);
  return reason;
}

std::string SpeedList(const std::vector<int32_t>& speeds) {
  std::string text;
  for (int32_t s : speeds) text += (text.empty() ? "" : ", ") + std::to_string(s);
  return text;
}

// Opens the port at each standard speed in turn and probes address 0;
// stops at the first speed a controller answers at. False when the device
// cannot be opened at all.
bool FindSpeed(const Tool& tool, Report& report) {
  std::vector<int32_t> garbled, refused;
  const long total = static_cast<long>(std::size(kSpeeds));
  for (long i = 0; i < total; ++i) {
    const int32_t speed = kSpeeds[i];
    tool.Progress("trying speeds", i, total);
    const int32_t opened = Zarvo_OpenCom(report.device.c_str(), speed);
    if (opened == ZARVO_E_REFUSED) {
      tool.EndProgress();
      ExplainOpenFailure(report, OpenError());
      return false;
    }
    report.opened = true;
    if (opened != ZARVO_OK) {
      refused.push_back(speed);
      continue;
    }
    TakeStats(true);
    const int32_t result = Zarvo_SearchAR(0);
    const ZarvoLineStats stats = TakeStats(false);
    if (result == ZARVO_OK) {
      report.speed = speed;
      break;
    }
    if (stats.noiseBytes > 0 || stats.badByteFrames > 0) garbled.push_back(speed);
  }
  tool.EndProgress();
  report.Add(Level::kOk, "opens", "the port opens");
  if (!refused.empty()) {
    report.Add(Level::kNote, "speeds-refused", "the port refused " + SpeedList(refused) + " bit/s");
  }
  if (report.speed != 0) {
    report.Add(Level::kOk, "speed",
               "controllers answer at " + std::to_string(report.speed) + " bit/s" +
                   (report.speed == tool.options().baud ? ""
                                                        : ": open the port at that speed (--baud " +
                                                              std::to_string(report.speed) + ")"));
  } else if (!garbled.empty()) {
    report.Add(Level::kProblem, "no-answer",
               "bytes came back at " + SpeedList(garbled) +
                   " bit/s but never a reply: the controllers may be set to a speed not tried, "
                   "or A and B are swapped, or a second master keeps talking. Check the "
                   "controllers' speed setting and the wiring.");
  } else {
    report.Add(Level::kProblem, "no-answer",
               "nothing answers at any standard speed. Check that the controllers have power, "
               "the wiring (A to A, B to B: swapped wires are the most common fault), the "
               "termination, and that this adapter is the one wired to the bus.");
  }
  return true;
}

// A few probes in a row: how reliable the line is, and what the adapter
// and the line do to the replies.
void CheckHealth(Report& report) {
  TakeStats(true);
  for (int i = 0; i < kHealthProbes; ++i) Zarvo_SearchAR(0);
  const ZarvoLineStats stats = TakeStats(false);
  const uint32_t failed = stats.exchanges - stats.successes;
  if (failed > 0) {
    report.Add(Level::kProblem, "unreliable",
               std::to_string(failed) + " of " + std::to_string(stats.exchanges) +
                   " probes failed: the line is marginal. Check the termination (120 ohm at "
                   "each end of the bus, nowhere else), the cable and its length.");
  }
  if (stats.echoesStripped > 0) {
    report.Add(Level::kNote, "echo",
               "the adapter echoes every request back (a two-wire adapter without echo "
               "suppression); the library drops the echo, so nothing needs fixing.");
  }
}

std::string Printable(const char* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && bytes[i] != '\0'; ++i) {
    const char c = bytes[i];
    text += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  return text;
}

void ScanAddresses(const Tool& tool, Report& report, int32_t last) {
  for (int32_t address = 1; address <= last; ++address) {
    tool.Progress("scanning", address - 1, last);
    if (Zarvo_SearchAR(address) != ZARVO_OK) continue;
    char version[33] = {};
    const bool read = Zarvo_Ver(address, version) == ZARVO_OK;
    report.controllers.push_back({address, read ? Printable(version, 32) : ""});
  }
  tool.EndProgress();
  if (report.controllers.empty()) {
    report.Add(Level::kNote, "none-in-range",
               "a controller answers at address 0 but none at 1 to " + std::to_string(last) +
                   ": its address is higher (doctor --last 255 scans them all).");
    return;
  }
  std::string list;
  for (const Controller& c : report.controllers) {
    list += (list.empty() ? "" : ", ") + std::to_string(c.address) +
            (c.version.empty() ? "" : " (\"" + c.version + "\")");
  }
  report.Add(Level::kOk, "controllers", "controllers found at " + list);
}

// What the replies looked like over the whole check, the scan included.
void CheckReplies(Report& report) {
  const ZarvoLineStats& s = report.stats;
  if (s.noiseBytes > 0) {
    report.Add(Level::kProblem, "noise",
               std::to_string(s.noiseBytes) +
                   " stray bytes arrived ahead of replies: check the termination and the bias "
                   "resistors, the ground wire, and that no other master (another computer or "
                   "program) polls this line.");
  }
  if (s.badByteFrames > 0) {
    report.Add(Level::kProblem, "bad-bytes",
               std::to_string(s.badByteFrames) +
                   " replies carried bytes outside 0x00-0x0F: a device on the line runs at "
                   "another speed, or a second master talks at the same time.");
  }
}

const char* LevelName(Level level) {
  switch (level) {
    case Level::kOk: return "ok";
    case Level::kNote: return "note";
    case Level::kProblem: return "problem";
  }
  return "";
}

void Emit(const Tool& tool, const Report& report) {
  Json findings = Json::Array();
  std::string text = "doctor: " + report.device + "\n";
  for (const Finding& f : report.findings) {
    Json finding = Json::Object();
    finding.Set("level", LevelName(f.level)).Set("code", f.code).Set("text", f.text);
    findings.Push(finding);
    std::string label = f.level == Level::kProblem ? "PROBLEM" : LevelName(f.level);
    text += "  " + label + std::string(9 - label.size(), ' ') + f.text + "\n";
  }
  Json controllers = Json::Array();
  for (const Controller& c : report.controllers) {
    Json controller = Json::Object();
    controller.Set("address", c.address).Set("version", c.version);
    controllers.Push(controller);
  }
  const int problems = report.Problems();
  text += report.Status() == 2 ? "verdict: cannot open the device"
          : problems == 0      ? "verdict: healthy"
                               : "verdict: " + std::to_string(problems) + " problem" +
                                (problems == 1 ? "" : "s") + " found";
  Json json = Json::Object();
  json.Set("device", report.device)
      .Set("status", report.Status())
      .Set("speed", report.speed)
      .Set("findings", findings)
      .Set("controllers", controllers)
      .Set("stats", StatsJson(report.stats));
  tool.Emit(json, text);
}

int Doctor(Tool& tool, const Args& args) {
  int32_t last = kDefaultLastAddress;
  if (!(args.empty() ||
        (args.size() == 2 && args[0] == "--last" && ParseAddress(args[1], last) && last > 0))) {
    return tool.Usage("doctor [--last N]  (scan addresses 1..N, 1 to 255; default 16)");
  }
  Report report;
  report.device = tool.Device();
  if (report.device.empty() || !tool.WatchLine()) return 2;
  if (FindSpeed(tool, report) && report.speed != 0) {
    CheckHealth(report);
    ScanAddresses(tool, report, last);
    report.stats = TakeStats(false);
    CheckReplies(report);
  }
  Emit(tool, report);
  return report.Status();
}

}  // namespace

void RegisterDoctorCommand(Registry& r) {
  r.Add({"doctor", "[--last N]",
         "check the line: device, speed, echo, noise, controllers; says what to fix", Doctor,
         true});
}

}  // namespace zarvoctl
