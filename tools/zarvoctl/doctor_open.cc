// zarvoctl doctor: what kind of line a port name is, and why a device does
// not open, with the fix for each cause.
#include "doctor.h"

namespace zarvoctl::doctor {
namespace {

bool IsNetwork(LineKind kind) { return kind != LineKind::kSerial; }

// A Windows port name: COM7, or \\.\COM12.
bool IsWindowsPort(const std::string& device) {
  const size_t at = device.rfind("COM");
  return at != std::string::npos && (at == 0 || device.compare(0, 4, "\\\\.\\") == 0);
}

void ExplainNetworkFailure(Report& report, const std::string& reason) {
  const std::string why = "cannot reach " + report.device + ": " + reason + ". Fix: ";
  if (Contains(reason, "refused")) {
    report.Add(Level::kProblem, "open-refused",
               why +
                   "check the device server's address and TCP port (its setup page names the "
                   "port for raw TCP, and the one for RFC 2217), and that the server is up.");
  } else if (Contains(reason, "resolve")) {
    report.Add(Level::kProblem, "open-name",
               why + "check the host name, or name the device server by its IP address.");
  } else if (Contains(reason, "malformed")) {
    report.Add(Level::kProblem, "open-name",
               why + "write the port as tcp://HOST:PORT or rfc2217://HOST:PORT.");
  } else {
    report.Add(Level::kProblem, "open-network",
               why +
                   "check the network path to the device server (ping its address), its "
                   "address and port, and any firewall in between.");
  }
}

void ExplainWindowsFailure(Report& report, const std::string& reason) {
  const std::string& d = report.device;
  if (Contains(reason, "no such port")) {
    report.Add(Level::kProblem, "open-missing",
               d + ": no such port. Fix: look up the adapter's name in Device Manager under "
                   "\"Ports (COM & LPT)\"; if it is not there, plug it in again or install its "
                   "driver.");
  } else if (Contains(reason, "another program")) {
    report.Add(Level::kProblem, "open-busy",
               d + " is held by another program. Fix: close the program that has it open "
                   "(a terminal program or another access-control tool), then run doctor again.");
  } else {
    report.Add(Level::kProblem, "open-failed",
               "cannot open " + d + ": " + reason +
                   ". Fix: check the port in Device Manager, and unplug and plug in the adapter.");
  }
}

}  // namespace

LineKind KindOf(const std::string& device) {
  if (device.rfind("tcp://", 0) == 0) return LineKind::kTcp;
  if (device.rfind("rfc2217://", 0) == 0) return LineKind::kRfc2217;
  return LineKind::kSerial;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

ZarvoLineStats TakeStats(bool reset) {
  ZarvoLineStats stats{};
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, reset ? 1 : 0);
  return stats;
}

std::string OpenError() {
  char reason[256] = {};
  Zarvo_LineOpenError(Zarvo_DefaultLine(), reason, sizeof reason);
  return reason;
}

std::string LastCallError() {
  char reason[256] = {};
  Zarvo_LineLastError(Zarvo_DefaultLine(), reason, sizeof reason);
  return reason;
}

void ExplainOpenFailure(Report& report, const std::string& why) {
  const std::string& d = report.device;
  const std::string reason = WithoutDevice(why, d);
  if (IsNetwork(report.kind)) {
    ExplainNetworkFailure(report, reason);
  } else if (IsWindowsPort(d)) {
    ExplainWindowsFailure(report, reason);
  } else if (Contains(reason, "permission")) {
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
  } else if (Contains(reason, "not a serial device")) {
    report.Add(Level::kProblem, "open-not-serial",
               d + " is not a serial port (" + reason +
                   "). Fix: name the adapter's device instead (ls /dev/ttyUSB* /dev/ttyACM* "
                   "/dev/serial/by-id/).");
  } else if (Contains(reason, "no such device")) {
    report.Add(Level::kProblem, "open-missing",
               d + " does not exist. Fix: check the name and that the adapter is plugged in "
                   "(ls /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; dmesg tells what the system made "
                   "of the adapter).");
  } else {
    report.Add(Level::kProblem, "open-failed", "cannot open " + d + ": " + reason);
  }
}

}  // namespace zarvoctl::doctor
