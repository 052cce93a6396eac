// Controller management commands: version, device values, clock, address,
// line speed and initialisation.
#include <cstdio>
#include <ctime>
#include <string>

#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {
namespace {

// The version bytes as text: printable ASCII as it is, anything else as
// \xNN; trailing zero bytes (unused room) are left out.
std::string VersionText(const char* bytes, size_t count) {
  while (count > 0 && bytes[count - 1] == '\0') --count;
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

std::string HostTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

int Version(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) return tool.Usage("version ADDRESS");
  char version[33] = {};  // the library adds no terminator
  const int32_t result = Zarvo_Ver(address, version);
  if (result != ZARVO_OK) return tool.Fail("cannot read the version", result);
  const std::string text = VersionText(version, 32);
  Json json = Json::Object();
  json.Set("address", address).Set("version", text);
  tool.Emit(json, "controller " + std::to_string(address) + ": " + text);
  return 0;
}

int Info(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) return tool.Usage("info ADDRESS");
  int32_t values[6] = {};
  const int32_t result = Zarvo_DeviceInformation(address, values);
  if (result != ZARVO_OK) return tool.Fail("cannot read the device values", result);
  Json list = Json::Array();
  std::string text = "device values of controller " + std::to_string(address) + ":\n";
  for (int i = 0; i < 6; ++i) {
    list.Push(values[i]);
    char line[48];
    std::snprintf(line, sizeof line, "  value %d: %5d (0x%04X)\n", i, values[i],
                  static_cast<unsigned>(values[i]));
    text += line;
  }
  Json json = Json::Object();
  json.Set("address", address).Set("values", list);
  tool.Emit(json, text);
  return 0;
}

int SetTime(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) return tool.Usage("set-time ADDRESS");
  const std::string now = HostTimeText();
  const int32_t result = Zarvo_Time(address);
  if (result != ZARVO_OK) return tool.Fail("cannot set the clock", result);
  Json json = Json::Object();
  json.Set("address", address).Set("time", now);
  tool.Emit(json, "clock of controller " + std::to_string(address) + " set to " + now +
                      " (host local time)");
  return 0;
}

int SetAddress(Tool& tool, const Args& args) {
  int32_t address = 0, new_address = 0;
  if (args.size() != 2 || !ParseAddress(args[0], address) || !ParseInt(args[1], new_address) ||
      new_address < 1 || new_address > 255) {
    return tool.Usage("set-address ADDRESS NEW  (1 <= NEW <= 255)");
  }
  const int32_t result = Zarvo_ChangeAR(address, new_address);
  if (result != ZARVO_OK) return tool.Fail("cannot change the address", result);
  Json json = Json::Object();
  json.Set("address", address).Set("newAddress", new_address);
  tool.Emit(json, "controller " + std::to_string(address) + " now answers at address " +
                      std::to_string(new_address));
  return 0;
}

int SetBaud(Tool& tool, const Args& args) {
  int32_t address = 0, baud = 0;
  const std::string usage = "set-baud ADDRESS BAUD  (4800, 9600, 19200, 38400 or 57600)";
  if (args.size() != 2 || !ParseAddress(args[0], address) || !ParseInt(args[1], baud)) {
    return tool.Usage(usage);
  }
  const int32_t result = Zarvo_ChangeBaud(address, baud);
  if (result == ZARVO_E_INVALID_ARG) return tool.Usage(usage);
  if (result != ZARVO_OK) return tool.Fail("cannot change the line speed", result);
  Json json = Json::Object();
  json.Set("address", address).Set("baud", baud);
  tool.Emit(json, "controller " + std::to_string(address) + " now talks at " +
                      std::to_string(baud) + " bit/s; open the port with --baud " +
                      std::to_string(baud) + " to reach it");
  return 0;
}

int Init(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) return tool.Usage("init ADDRESS");
  if (!tool.Confirm("Initialise controller " + std::to_string(address) +
                    "? Its cards, tables and door settings are reset.")) {
    return 1;
  }
  const int32_t result = Zarvo_Init(address);
  if (result != ZARVO_OK) return tool.Fail("cannot initialise the controller", result);
  Json json = Json::Object();
  json.Set("address", address).Set("initialised", true);
  tool.Emit(json, "controller " + std::to_string(address) + " initialised");
  return 0;
}

}  // namespace

void RegisterManagementCommands(Registry& r) {
  r.Add({"version", "ADDRESS", "read the controller's version text", Version});
  r.Add({"info", "ADDRESS", "read the controller's six device values", Info});
  r.Add({"set-time", "ADDRESS", "set the controller's clock to the host's local time", SetTime});
  r.Add({"set-address", "ADDRESS NEW", "give the controller a new bus address", SetAddress});
  r.Add({"set-baud", "ADDRESS BAUD", "change the controller's line speed", SetBaud});
  r.Add({"init", "ADDRESS", "reset the controller's settings (asks first unless --yes)", Init});
  r.AddDemoStep({"version", "1"});
  r.AddDemoStep({"info", "1"});
  r.AddDemoStep({"set-time", "1"});
}

}  // namespace zarvoctl
