// zarvoctl doctor: checks a line the way an installer would (the device
// opens, the speed controllers answer at, what the adapter and the line do
// to the replies, which controllers are there) and says in plain words what
// is wrong and how to put it right. Exit status: 0 healthy, 1 problems
// found, 2 the device cannot be opened.
#include <iterator>
#include <string>
#include <vector>

#include "doctor.h"
#include "stats_report.h"
#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {

using namespace doctor;

namespace {

constexpr int kHealthProbes = 8;
constexpr int32_t kDefaultLastAddress = 16;

// A few probes in a row: how reliable the line is, and what the adapter
// and the line do to the replies.
void CheckHealth(Report& report) {
  TakeStats(true);
  for (int i = 0; i < kHealthProbes; ++i) Zarvo_SearchAR(report.probe_address);
  const ZarvoLineStats stats = TakeStats(false);
  const uint32_t failed = stats.exchanges - stats.successes;
  if (failed > 0) {
    report.Add(Level::kProblem, "unreliable",
               std::to_string(failed) + " of " + std::to_string(stats.exchanges) +
                   " probes failed: the line is marginal. Check the termination (120 ohm at "
                   "each end of the bus, nowhere else), the cable and its length.");
  }
  if (stats.echoesStripped > 0 && report.probe_device == report.device) {
    report.Add(Level::kNote, "echo",
               "the adapter echoes every request back (a two-wire adapter without echo "
               "suppression); the library drops the echo, so nothing needs fixing.");
  }
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
      // Where the device server's setting decides, the speed is not known here.
      .Set("speed", report.server_speed ? 0 : report.speed)
      .Set("speed_decided_by", report.server_speed ? "device server" : "host")
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
  report.probe_device = report.device;
  report.kind = KindOf(report.device);
  if (FindSpeed(tool, report, last) && report.speed != 0) {
    CheckHealth(report);
    if (report.controllers.empty()) ScanAddresses(tool, report, last);
    report.stats = TakeStats(false);
    CheckReplies(report);
  }
  Emit(tool, report);
  return report.Status();
}

}  // namespace

namespace doctor {

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

}  // namespace doctor

void RegisterDoctorCommand(Registry& r) {
  r.Add({"doctor", "[--last N]",
         "check the line: device, speed, echo, noise, controllers; says what to fix", Doctor,
         true});
}

}  // namespace zarvoctl
