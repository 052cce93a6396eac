// zarvoctl doctor: the search for the speed controllers answer at. Each
// speed gets several probes, since one lost reply says nothing; a speed
// where replies arrive garbled is scanned address by address, since that is
// what several controllers answering address 0 at once look like; and a
// port opened with echo=off is tried once without it, in case an echoing
// adapter is what hides the replies.
#include <algorithm>
#include <iterator>

#include "doctor.h"

namespace zarvoctl::doctor {
namespace {

constexpr int32_t kSpeeds[] = {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
constexpr int kProbesPerSpeed = 3;

struct SpeedTry {
  int32_t speed = 0;
  int answered = 0;
  int probes = 0;
  bool garbled = false;  // replies began with a start mark but were broken
  bool bytes = false;    // anything at all came back
};

std::string SpeedList(const std::vector<int32_t>& speeds) {
  std::string text;
  for (int32_t s : speeds) text += (text.empty() ? "" : ", ") + std::to_string(s);
  return text;
}

// The speeds to try, the one asked for first.
std::vector<int32_t> SpeedsToTry(int32_t asked) {
  std::vector<int32_t> speeds = {asked};
  for (int32_t s : kSpeeds) {
    if (s != asked) speeds.push_back(s);
  }
  return speeds;
}

SpeedTry ProbeAt(int32_t speed) {
  SpeedTry t;
  t.speed = speed;
  TakeStats(true);
  while (t.probes < kProbesPerSpeed && t.answered == 0) {
    ++t.probes;
    t.answered += Zarvo_SearchAR(0) == ZARVO_OK;
  }
  const ZarvoLineStats s = TakeStats(false);
  t.garbled = s.badByteFrames > 0 || s.mismatches > 0;
  t.bytes = t.garbled || s.noiseBytes > 0 || s.noStartByte > 0 || s.silences < s.exchanges;
  return t;
}

// The port name without echo=off, or "" when it has none.
std::string WithoutEchoOff(const std::string& device) {
  const size_t at = device.find("echo=off");
  if (at == std::string::npos) return "";
  return device.substr(0, at) + "echo=auto" + device.substr(at + 8);
}

// Whether an echo the port name told the line not to expect is what hides
// the replies at `speed`: probes once without echo=off.
bool EchoHidesReplies(Report& report, int32_t speed) {
  const std::string plain = WithoutEchoOff(report.device);
  if (plain.empty() || Zarvo_OpenCom(plain.c_str(), speed) != ZARVO_OK) return false;
  TakeStats(true);
  const bool answered = Zarvo_SearchAR(0) == ZARVO_OK;
  if (answered && TakeStats(false).echoesStripped > 0) {
    report.probe_device = plain;
    return true;
  }
  Zarvo_OpenCom(report.probe_device.c_str(), speed);
  return false;
}

void ReportSpeed(const Tool& tool, Report& report, const SpeedTry& found) {
  const int32_t asked = tool.options().baud;
  const std::string at = std::to_string(report.speed) + " bit/s";
  if (report.server_speed) {
    report.Add(Level::kOk, "speed", "controllers answer at the device server's speed setting");
  } else if (report.speed == asked) {
    report.Add(Level::kOk, "speed", "controllers answer at " + at);
  } else {
    report.Add(Level::kProblem, "wrong-speed",
               "controllers answer at " + at + ", not at the " + std::to_string(asked) +
                   " bit/s the port was opened at, so every command at " + std::to_string(asked) +
                   " fails. Fix: open the port at " + at + " (--baud " +
                   std::to_string(report.speed) + "), or set the controllers to " +
                   std::to_string(asked) + " bit/s.");
  }
  if (found.answered > 0 && found.probes > found.answered) {
    report.Add(Level::kProblem, "answers-sometimes",
               "controllers answer sometimes: " + std::to_string(found.probes - found.answered) +
                   " of " + std::to_string(found.probes) +
                   " probes at that speed went unanswered. Check the termination (120 ohm at "
                   "each end of the bus, nowhere else), the cable and its length.");
  }
}

void ReportNoAnswer(Report& report, const std::vector<int32_t>& garbled, bool bytes) {
  const std::string last = LastCallError();
  const std::string why = last.empty() ? "" : " (" + last + ")";
  if (report.server_speed) {
    report.Add(Level::kProblem, "no-answer",
               "nothing answers at the device server's speed setting" + why +
                   ". Fix: set the device server's serial port to the controllers' speed, 8N1, "
                   "no flow control (on its setup page; --baud changes nothing here), then "
                   "check the wiring from the server to the bus.");
  } else if (!garbled.empty() || bytes) {
    report.Add(Level::kProblem, "no-answer",
               "bytes came back" +
                   (garbled.empty() ? std::string() : " at " + SpeedList(garbled) + " bit/s") +
                   " but never a reply, at any speed" + why +
                   ": the controllers may be set to a speed not tried, or A and B are swapped, "
                   "or a second master keeps talking. Check the controllers' speed setting and "
                   "the wiring.");
  } else {
    report.Add(Level::kProblem, "no-answer",
               "nothing answers at any standard speed" + why +
                   ". Check that the controllers have power, the wiring (A to A, B to B: "
                   "swapped wires are the most common fault), the termination, and that this "
                   "adapter is the one wired to the bus.");
  }
}

// Where replies to address 0 collide, the controllers are there: finds
// them by their own addresses. True when any answered.
bool FoundByAddress(const Tool& tool, Report& report, int32_t last) {
  const size_t before = report.findings.size();
  ScanAddresses(tool, report, last);
  if (report.controllers.empty()) {
    // Garbage that only looked like replies: the scan has nothing to say.
    report.findings.resize(before);
    return false;
  }
  report.probe_address = report.controllers.front().address;
  return true;
}

// Over tcp://, and over rfc2217:// to a server that refuses COM-port
// control, the line runs at the server's own setting whatever speed is
// asked for.
bool ServerDecidesSpeed(const Report& report) {
  return report.kind == LineKind::kTcp ||
         (report.kind == LineKind::kRfc2217 && Contains(OpenError(), "COM-port control"));
}

void NoteServerSpeed(Report& report) {
  if (report.kind == LineKind::kTcp) {
    report.Add(Level::kNote, "server-speed",
               "over tcp:// the device server's own serial setting decides the line speed "
               "(--baud changes nothing); probed at that setting.");
  } else {
    report.Add(Level::kNote, "com-port-refused",
               "the device server refused COM-port control: its own serial setting decides the "
               "line speed (--baud changes nothing); probed at that setting.");
  }
}

// What the search saw at the speeds it tried.
struct Search {
  std::vector<int32_t> refused, garbled;
  std::string refusal;  // why the last refused speed was refused
  bool bytes = false;   // anything at all came back
  SpeedTry found;
};

// Probes at one speed the port took; sets report.speed when controllers
// answered there.
void TrySpeed(const Tool& tool, Report& report, int32_t last, int32_t speed, Search& search) {
  const SpeedTry t = ProbeAt(speed);
  search.bytes = search.bytes || t.bytes;
  if (t.answered > 0 || EchoHidesReplies(report, speed)) {
    search.found = t;
    report.speed = speed;
  } else if (t.garbled) {
    search.garbled.push_back(speed);
    tool.EndProgress();
    if (FoundByAddress(tool, report, last)) report.speed = speed;
  }
}

void ReportSearch(const Tool& tool, Report& report, const Search& search) {
  report.Add(Level::kOk, "opens", "the port opens");
  if (report.server_speed) NoteServerSpeed(report);
  if (!search.refused.empty()) {
    report.Add(Level::kNote, "speeds-refused",
               "the port refused " + SpeedList(search.refused) + " bit/s (" + search.refusal + ")");
  }
  if (report.probe_device != report.device) {
    report.Add(Level::kProblem, "echo-off",
               "the adapter echoes every request back, but the port name says echo=off, so the "
               "echo is taken for the reply and every command fails. Fix: drop echo=off from "
               "the port name (the default, echo=auto, recognises the echo and drops it).");
  }
  if (report.speed != 0) {
    ReportSpeed(tool, report, search.found);
  } else {
    ReportNoAnswer(report, search.garbled, search.bytes);
  }
  if (report.probe_address != 0) {
    report.Add(Level::kNote, "collisions",
               "several controllers answer address 0 at once and their replies collide (normal "
               "on a bus of several); they were found by their own addresses instead.");
  }
}

}  // namespace

bool FindSpeed(const Tool& tool, Report& report, int32_t last) {
  Search search;
  const size_t scanned_from = report.findings.size();
  std::vector<int32_t> speeds = SpeedsToTry(tool.options().baud);
  for (size_t i = 0; i < speeds.size() && report.speed == 0; ++i) {
    tool.Progress("trying speeds", static_cast<long>(i), static_cast<long>(speeds.size()));
    const int32_t opened = Zarvo_OpenCom(report.probe_device.c_str(), speeds[i]);
    if (opened == ZARVO_E_REFUSED) {
      tool.EndProgress();
      ExplainOpenFailure(report, OpenError());
      return false;
    }
    if (opened != ZARVO_OK) {
      search.refused.push_back(speeds[i]);
      search.refusal = OpenError();
      continue;
    }
    if (i == 0 && ServerDecidesSpeed(report)) {
      report.server_speed = true;
      speeds.resize(1);
    }
    TrySpeed(tool, report, last, speeds[i], search);
  }
  tool.EndProgress();
  if (search.refused.size() == speeds.size()) {
    ExplainOpenFailure(report, search.refusal);
    return false;
  }
  report.opened = true;
  // What a scan by address found goes after what the search says.
  const long scanned = static_cast<long>(report.findings.size() - scanned_from);
  ReportSearch(tool, report, search);
  const auto from = report.findings.begin() + static_cast<long>(scanned_from);
  std::rotate(from, from + scanned, report.findings.end());
  return true;
}

}  // namespace zarvoctl::doctor
