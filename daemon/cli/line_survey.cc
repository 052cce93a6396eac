// The survey probes address 0 first, which any controller answers: a clean
// reply, or replies that collide because several answered at once, both say
// the speed is right, and the scan by address follows. Silence, or garbage
// at every address, sends the survey to the other speeds and the port
// name's echo setting to find out why, so that the finding names the fix.
#include "cli/line_survey.h"

#include "cli/line_findings.h"
#include "zarvoac.h"

namespace zarvod {
namespace {

namespace say = line_findings;

constexpr int kSpeeds[] = {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
// One lost reply says nothing: address 0 is asked this often before the
// line counts as silent.
constexpr int kProbesOfAddressZero = 3;
// Garbage from this many addresses in a row, with none answering, is a
// wrong speed or wiring rather than a noisy controller: the scan stops.
constexpr int kGarbledInARow = 3;

class OpenLine {
 public:
  OpenLine() : line_(Zarvo_LineCreate()) {}
  ~OpenLine() { Zarvo_LineDestroy(line_); }
  OpenLine(const OpenLine&) = delete;
  OpenLine& operator=(const OpenLine&) = delete;
  ZarvoLine* get() const { return line_; }

  std::string OpenError() const {
    char text[256] = {};
    Zarvo_LineOpenError(line_, text, sizeof text);
    return text;
  }
  std::string LastError() const {
    char text[256] = {};
    Zarvo_LineLastError(line_, text, sizeof text);
    return text;
  }

 private:
  ZarvoLine* line_;
};

struct Probe {
  bool answered = false;
  bool garbled = false;  // a start mark came back, but no reply that holds
  bool echoed = false;   // the adapter sent the request back
};

Probe ProbeAddress(const OpenLine& line, int address) {
  ZarvoLineStats stats{};
  Zarvo_LineStats(line.get(), &stats, 1);
  Probe probe;
  probe.answered = Zarvo_LineSearchAR(line.get(), address) == ZARVO_OK;
  Zarvo_LineStats(line.get(), &stats, 0);
  probe.garbled = !probe.answered && (stats.badByteFrames > 0 || stats.mismatches > 0 ||
                                      stats.noStartByte > 0 || stats.noiseBytes > 0);
  probe.echoed = stats.echoesStripped > 0;
  return probe;
}

Probe ProbeAddressZero(const OpenLine& line) {
  Probe probe;
  for (int i = 0; i < kProbesOfAddressZero && !probe.answered && !probe.garbled; ++i) {
    const Probe once = ProbeAddress(line, 0);
    probe.answered = once.answered;
    probe.garbled = once.garbled;
    probe.echoed = probe.echoed || once.echoed;
  }
  return probe;
}

std::string Printable(const char* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size && bytes[i] != '\0'; ++i) {
    const char c = bytes[i];
    text += (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') ? c : '.';
  }
  return text;
}

std::string Version(const OpenLine& line, int address) {
  char version[33] = {};
  if (Zarvo_LineVer(line.get(), address, version) != ZARVO_OK) return "";
  return Printable(version, 32);
}

struct Scan {
  std::vector<FoundController> controllers;
  bool garbled = false;  // stopped: garbage from every address so far
  bool echoed = false;
};

Scan ScanAddresses(const OpenLine& line, int last, const ScanWatcher& watcher) {
  Scan scan;
  int garbled_in_row = 0;
  for (int address = 1; address <= last; ++address) {
    if (watcher.probing) watcher.probing(address, last);
    const Probe probe = ProbeAddress(line, address);
    scan.echoed = scan.echoed || probe.echoed;
    garbled_in_row = probe.garbled ? garbled_in_row + 1 : 0;
    if (probe.answered) {
      scan.controllers.push_back({address, Version(line, address)});
      if (watcher.found) watcher.found(scan.controllers.back());
    } else if (scan.controllers.empty() && garbled_in_row >= kGarbledInARow) {
      scan.garbled = true;
      break;
    }
  }
  return scan;
}

// The port name without echo=off, or "" when it has none.
std::string WithoutEchoOff(const std::string& port) {
  const size_t at = port.find("echo=off");
  if (at == std::string::npos) return "";
  return port.substr(0, at) + "echo=auto" + port.substr(at + 8);
}

bool EchoOffHidesReplies(const std::string& port, int baud) {
  const std::string plain = WithoutEchoOff(port);
  OpenLine line;
  if (plain.empty() || Zarvo_LineOpenCom(line.get(), plain.c_str(), baud) != ZARVO_OK) {
    return false;
  }
  const Probe probe = ProbeAddress(line, 0);
  return probe.answered && probe.echoed;
}

// Whether controllers answer at `speed`, where replies to address 0 came
// back garbled: several answering at once, or the wrong speed.
bool AnswersByAddress(const OpenLine& line, int last) {
  return !ScanAddresses(line, last, {}).controllers.empty();
}

// Why nothing usable answered at `baud`: another speed, the echo setting,
// or the line itself.
std::string Diagnose(const std::string& port, int baud, int last, bool server_speed, Probe seen,
                     const std::string& last_error) {
  if (EchoOffHidesReplies(port, baud)) return say::EchoOffHidesReplies(port);
  if (server_speed) return say::NothingAtServerSpeed(port, last_error);
  std::vector<int> garbled;
  if (seen.garbled) garbled.push_back(baud);
  for (int speed : kSpeeds) {
    if (speed == baud) continue;
    OpenLine line;
    if (Zarvo_LineOpenCom(line.get(), port.c_str(), speed) != ZARVO_OK) continue;
    const Probe probe = ProbeAddress(line, 0);
    seen.echoed = seen.echoed || probe.echoed;
    if (probe.answered || (probe.garbled && AnswersByAddress(line, last))) {
      return say::WrongSpeed(port, baud, speed);
    }
    if (probe.garbled) garbled.push_back(speed);
  }
  if (!garbled.empty()) return say::Garbled(port, garbled, last_error);
  if (seen.echoed) return say::OnlyEcho(port);
  return say::Silence(port, last_error);
}

// Over tcp://, and over rfc2217:// to a server that refuses COM-port
// control, the line runs at the server's own setting whatever is asked.
bool ServerDecidesSpeed(const std::string& port, const std::string& open_note) {
  return port.rfind("tcp://", 0) == 0 || (port.rfind("rfc2217://", 0) == 0 &&
                                          open_note.find("COM-port control") != std::string::npos);
}

}  // namespace

LineSurvey SurveyLine(const std::string& port, int baud, int last, const ScanWatcher& watcher) {
  LineSurvey survey;
  OpenLine line;
  const int32_t opened = Zarvo_LineOpenCom(line.get(), port.c_str(), baud);
  // A device that is no serial port fails at its settings, after it opened.
  if (opened == ZARVO_E_REFUSED ||
      line.OpenError().find("not a serial device") != std::string::npos) {
    survey.finding = say::OpenFailed(port, line.OpenError());
    return survey;
  }
  if (opened != ZARVO_OK) {
    survey.finding = say::SpeedRefused(port, baud, line.OpenError());
    return survey;
  }
  const bool server_speed = ServerDecidesSpeed(port, line.OpenError());
  const Probe zero = ProbeAddressZero(line);
  const std::string silence = line.LastError();
  if (zero.answered || zero.garbled) {
    const Scan scan = ScanAddresses(line, last, watcher);
    survey.controllers = scan.controllers;
    if (!scan.controllers.empty()) {
      if (zero.echoed || scan.echoed) {
        survey.notes.push_back("the adapter echoes every request back; the echo is dropped");
      }
      if (zero.garbled) {
        survey.notes.push_back("replies to address 0 collide (normal with several controllers)");
      }
      return survey;
    }
    if (zero.answered && !scan.garbled) {
      survey.finding = say::AboveLastAddress(port, last);
      return survey;
    }
  }
  Zarvo_LineCloseCom(line.get());  // the diagnosis opens the port afresh
  survey.finding = Diagnose(port, baud, last, server_speed, zero, silence);
  return survey;
}

}  // namespace zarvod
