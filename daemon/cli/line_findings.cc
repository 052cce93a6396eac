#include "cli/line_findings.h"

namespace zarvod::line_findings {
namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool IsNetwork(const std::string& port) {
  return port.rfind("tcp://", 0) == 0 || port.rfind("rfc2217://", 0) == 0;
}

std::string Device(const std::string& port) { return port.substr(0, port.find('?')); }

std::string WithReason(const std::string& last_error) {
  return last_error.empty() ? "" : " (" + last_error + ")";
}

std::string SpeedList(const std::vector<int>& speeds) {
  std::string text;
  for (int s : speeds) text += (text.empty() ? "" : ", ") + std::to_string(s);
  return text;
}

}  // namespace

std::string OpenFailed(const std::string& port, const std::string& reason) {
  const std::string cannot = "cannot open " + port + ": " + reason + ". ";
  const std::string device = Device(port);
  if (Contains(reason, "line option") || Contains(reason, "malformed")) {
    return "--port " + port + ": " + reason +
           ". Write it as a device, tcp://HOST:PORT or rfc2217://HOST:PORT, options after '?' "
           "(echo=auto|on|off, wait=MS).";
  }
  if (IsNetwork(port)) {
    return cannot +
           "Check the device server's address and TCP port (its setup page names them), that "
           "it is up, and the network path to it.";
  }
  if (Contains(reason, "permission")) {
    return cannot + "Add this user to the group that owns the device (ls -l " + device +
           "; usually: sudo usermod -aG dialout $USER), then log in again.";
  }
  if (Contains(reason, "in use") || Contains(reason, "busy")) {
    return cannot + "Another program holds it (fuser -v " + device + " names it); stop that one.";
  }
  if (Contains(reason, "not a serial device")) {
    return cannot + "Name the adapter's device instead (ls /dev/ttyUSB* /dev/ttyACM* " +
           "/dev/serial/by-id/).";
  }
  if (Contains(reason, "no such device")) {
    return cannot + "Check the name and that the adapter is plugged in (ls /dev/ttyUSB* " +
           "/dev/ttyACM* /dev/serial/by-id/).";
  }
  return cannot + "Check the port with: zarvoctl --port " + port + " doctor";
}

std::string SpeedRefused(const std::string& port, int baud, const std::string& reason) {
  return port + " refused " + std::to_string(baud) + " bit/s" + WithReason(reason) +
         ". Choose a speed the adapter takes with --baud (1200 to 115200).";
}

std::string WrongSpeed(const std::string& port, int asked, int found) {
  const std::string at = std::to_string(found);
  return "controllers answer on " + port + " at " + at + " bit/s, not at the " +
         std::to_string(asked) + " bit/s asked for. Run init again with --port " + port +
         " --baud " + at + ", or set the controllers to " + std::to_string(asked) + " bit/s.";
}

std::string EchoOffHidesReplies(const std::string& port) {
  return "the adapter on " + Device(port) +
         " echoes every request back, but the port name says echo=off, so the echo is taken "
         "for the reply. Drop echo=off from --port (the default, echo=auto, recognises the "
         "echo and drops it).";
}

std::string NothingAtServerSpeed(const std::string& port, const std::string& last_error) {
  return "nothing answers on " + port + " at the device server's speed setting" +
         WithReason(last_error) +
         ". Set the device server's serial port to the controllers' speed, 8N1, no flow "
         "control (on its setup page), and check the wiring from the server to the bus.";
}

std::string OnlyEcho(const std::string& port) {
  return "the adapter on " + Device(port) +
         " echoes every request back (that is fine; the echo is dropped), but no controller "
         "answered at any speed. Check that the controllers have power, the wiring (A to A, B "
         "to B), the termination, and that this adapter is the one wired to the bus.";
}

std::string Garbled(const std::string& port, const std::vector<int>& speeds,
                    const std::string& last_error) {
  return "bytes came back on " + port +
         (speeds.empty() ? std::string() : " at " + SpeedList(speeds) + " bit/s") +
         " but never a reply" + WithReason(last_error) +
         ": the controllers may run at a speed not tried, A and B may be swapped, or another "
         "master talks on the line. Check the controllers' speed setting and the wiring; "
         "zarvoctl --port " +
         port + " doctor looks closer.";
}

std::string Silence(const std::string& port, const std::string& last_error) {
  return "nothing answers on " + port + " at any standard speed" + WithReason(last_error) +
         ". Check that the controllers have power, the wiring (A to A, B to B: swapped wires are "
         "the most common fault), the termination, and that this adapter is the one wired to "
         "the bus.";
}

std::string AboveLastAddress(const std::string& port, int last) {
  return "a controller answers on " + port + " but none at addresses 1 to " + std::to_string(last) +
         ": its address is higher. Run init again with --last 255.";
}

}  // namespace zarvod::line_findings
