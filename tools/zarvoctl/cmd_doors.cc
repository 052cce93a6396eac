// Door commands: remote open, close and clear-alarm; the door password,
// access and alarm modes, timings, interlocks and duress code; links from
// doors to time tables.
//
// Door numbers, slots and table numbers go to the library unchecked; its
// "invalid argument" answer is shown as a usage message with the ranges.
#include <cctype>
#include <sstream>
#include <string>

#include "commands/door_setting_fields.h"
#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {
namespace {

using zarvo::SettingField;

// args[0] ADDRESS, args[1] DOOR.
bool ParseDoor(const Args& args, int32_t& address, int32_t& door) {
  return args.size() >= 2 && ParseAddress(args[0], address) && ParseInt(args[1], door);
}

std::string DoorName(int32_t address, int32_t door) {
  return "door " + std::to_string(door) + " of controller " + std::to_string(address);
}

Json DoorJson(int32_t address, int32_t door) {
  Json json = Json::Object();
  json.Set("address", address).Set("door", door);
  return json;
}

// Shows a library call's outcome: the usage on an invalid argument, the
// failure, or `text` / `json` on success.
int Report(Tool& tool, int32_t result, const std::string& usage, const std::string& failure,
           const Json& json, const std::string& text) {
  if (result == ZARVO_E_INVALID_ARG) return tool.Usage(usage);
  if (result != ZARVO_OK) return tool.Fail(failure, result);
  tool.Emit(json, text);
  return 0;
}

// ---- Remote control -----------------------------------------------------

int Open(Tool& tool, const Args& args) {
  const std::string usage = "door open ADDRESS DOOR [PARAM]  (DOOR 0-3, PARAM 0-255, default 0)";
  int32_t address = 0, door = 0, param = 0;
  if (args.size() < 2 || args.size() > 3 || !ParseDoor(args, address, door) ||
      (args.size() == 3 && (!ParseInt(args[2], param) || param < 0 || param > 255))) {
    return tool.Usage(usage);
  }
  Json json = DoorJson(address, door);
  json.Set("param", param).Set("open", true);
  return Report(tool, Zarvo_RemoteOpenDoor(address, door, param), usage, "cannot open the door",
                json, DoorName(address, door) + ": opened");
}

using DoorAction = int32_t(ZARVO_CALL*)(int32_t address, int32_t door);

int RunDoorAction(Tool& tool, const Args& args, const std::string& name, DoorAction action,
                  const std::string& done) {
  const std::string usage = "door " + name + " ADDRESS DOOR  (DOOR 0-3)";
  int32_t address = 0, door = 0;
  if (args.size() != 2 || !ParseDoor(args, address, door)) return tool.Usage(usage);
  Json json = DoorJson(address, door);
  json.Set("done", done);
  return Report(tool, action(address, door), usage, "cannot " + name + " the door", json,
                DoorName(address, door) + ": " + done);
}

int Close(Tool& tool, const Args& args) {
  return RunDoorAction(tool, args, "close", Zarvo_RemoteCloseDoor, "closed");
}

int ClearAlarm(Tool& tool, const Args& args) {
  return RunDoorAction(tool, args, "clear-alarm", Zarvo_RemoteClearWarn, "alarm cleared");
}

// ---- Codes --------------------------------------------------------------

bool IsHexCode(const std::string& text) {
  if (text.size() != 8) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

int Password(Tool& tool, const Args& args) {
  const std::string usage = "door password ADDRESS DOOR HEX8  (DOOR 0-3, eight hex digits)";
  int32_t address = 0, door = 0;
  if (args.size() != 3 || !ParseDoor(args, address, door) || !IsHexCode(args[2])) {
    return tool.Usage(usage);
  }
  std::string code = args[2];
  const int32_t result = Zarvo_PassWordOpenDoor(address, door, code.data());
  Json json = DoorJson(address, door);
  json.Set("password", code);
  return Report(tool, result, usage, "cannot set the door password", json,
                DoorName(address, door) + ": password set to " + code);
}

int DuressCode(Tool& tool, const Args& args) {
  const std::string usage = "duress-code ADDRESS HEX8  (eight hex digits)";
  int32_t address = 0;
  if (args.size() != 2 || !ParseAddress(args[0], address) || !IsHexCode(args[1])) {
    return tool.Usage(usage);
  }
  std::string code = args[1];
  const int32_t result = Zarvo_MenaceCode(address, code.data());
  Json json = Json::Object();
  json.Set("address", address).Set("duressCode", code);
  return Report(tool, result, usage, "cannot set the duress code", json,
                "controller " + std::to_string(address) + ": duress code set to " + code);
}

// ---- Access and alarm modes ----------------------------------------------

// One of the two door settings that are records of named bit fields.
template <typename Record, size_t N>
struct Setting {
  const char* word;  // as in "door access get"
  const char* noun;  // as in "cannot read the access mode"
  const std::array<SettingField<Record>, N>& fields;
  int32_t(ZARVO_CALL* call)(int32_t address, int32_t door, Record* settings, int32_t mode);
};

const Setting<AccessLevelRecord, 9> kAccess = {"access", "access mode", zarvo::kAccessFields,
                                               Zarvo_AccessLevel};
const Setting<WarnLevelRecord, 11> kAlarm = {"alarm", "alarm mode", zarvo::kAlarmFields,
                                             Zarvo_WarnLevel};

template <typename Record, size_t N>
std::string FieldNames(const Setting<Record, N>& setting) {
  std::string names;
  for (const auto& f : setting.fields) {
    names += std::string(names.empty() ? "" : " ") + f.name + (f.width == 2 ? "(0-3)" : "");
  }
  return names;
}

template <typename Record, size_t N>
int ShowSetting(Tool& tool, const Setting<Record, N>& setting, int32_t address, int32_t door,
                const Record& record) {
  const std::array<uint8_t, 2> bytes = zarvo::EncodeSettings(setting.fields, record);
  Json fields = Json::Object();
  std::string text = setting.noun + std::string(" of ") + DoorName(address, door) +
                     " (setting bytes " + Hex(bytes.data(), bytes.size()) + "):\n";
  for (const auto& f : setting.fields) {
    fields.Set(f.name, record.*f.member);
    text += "  " + std::string(f.name) + " = " + std::to_string(record.*f.member) + "\n";
  }
  Json json = DoorJson(address, door);
  json.Set("settingBytes", Hex(bytes.data(), bytes.size())).Set(setting.word, fields);
  tool.Emit(json, text);
  return 0;
}

template <typename Record, size_t N>
int GetSetting(Tool& tool, const Args& args, const Setting<Record, N>& setting) {
  const std::string usage = std::string("door ") + setting.word + " get ADDRESS DOOR  (DOOR 0-3)";
  int32_t address = 0, door = 0;
  if (args.size() != 2 || !ParseDoor(args, address, door)) return tool.Usage(usage);
  Record record{};
  const int32_t result = setting.call(address, door, &record, 0);
  if (result == ZARVO_E_INVALID_ARG) return tool.Usage(usage);
  if (result != ZARVO_OK) return tool.Fail(std::string("cannot read the ") + setting.noun, result);
  return ShowSetting(tool, setting, address, door, record);
}

// Applies one "field=value" to `record`; false for an unknown field or a
// value outside the field's range.
template <typename Record, size_t N>
bool ApplyField(const Setting<Record, N>& setting, const std::string& assignment, Record& record) {
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos) return false;
  int32_t value = 0;
  if (!ParseInt(assignment.substr(eq + 1), value)) return false;
  for (const auto& f : setting.fields) {
    if (assignment.compare(0, eq, f.name) != 0) continue;
    if (value < 0 || value >= (1 << f.width)) return false;
    record.*f.member = value;
    return true;
  }
  return false;
}

// Reads the setting, changes the named fields and writes it back, so that
// fields not named keep their value.
template <typename Record, size_t N>
int SetSetting(Tool& tool, const Args& args, const Setting<Record, N>& setting) {
  const std::string usage =
      std::string("door ") + setting.word +
      " set ADDRESS DOOR FIELD=VALUE...  (DOOR 0-3; fields: " + FieldNames(setting) + ")";
  int32_t address = 0, door = 0;
  if (args.size() < 3 || !ParseDoor(args, address, door)) return tool.Usage(usage);
  Record record{};
  int32_t result = setting.call(address, door, &record, 0);
  if (result == ZARVO_E_INVALID_ARG) return tool.Usage(usage);
  if (result != ZARVO_OK) return tool.Fail(std::string("cannot read the ") + setting.noun, result);
  for (size_t i = 2; i < args.size(); ++i) {
    if (!ApplyField(setting, args[i], record)) return tool.Usage(usage);
  }
  result = setting.call(address, door, &record, 1);
  if (result != ZARVO_OK) return tool.Fail(std::string("cannot write the ") + setting.noun, result);
  return ShowSetting(tool, setting, address, door, record);
}

int AccessGet(Tool& tool, const Args& args) { return GetSetting(tool, args, kAccess); }
int AccessSet(Tool& tool, const Args& args) { return SetSetting(tool, args, kAccess); }
int AlarmGet(Tool& tool, const Args& args) { return GetSetting(tool, args, kAlarm); }
int AlarmSet(Tool& tool, const Args& args) { return SetSetting(tool, args, kAlarm); }

// ---- Timings and interlocks ----------------------------------------------

int Delays(Tool& tool, const Args& args) {
  const std::string usage = "door delay ADDRESS V0 V1 V2 V3  (one value 0-255 per door)";
  int32_t address = 0;
  int32_t values[4] = {};
  if (args.size() != 5 || !ParseAddress(args[0], address)) return tool.Usage(usage);
  Json list = Json::Array();
  for (size_t i = 0; i < 4; ++i) {
    if (!ParseInt(args[i + 1], values[i]) || values[i] < 0 || values[i] > 255) {
      return tool.Usage(usage);
    }
    list.Push(values[i]);
  }
  Json json = Json::Object();
  json.Set("address", address).Set("delays", list);
  return Report(tool, Zarvo_Delay(address, values, 0), usage, "cannot set the door timings", json,
                "controller " + std::to_string(address) + ": door timings set to " + args[1] + " " +
                    args[2] + " " + args[3] + " " + args[4]);
}

// MASK is "none", a comma-separated list of bit numbers 0-31 ("0,2"), or 32
// characters of 0 and 1 with bit 0 first. Fills one byte per bit, 0 or 1.
bool ParseInterlockMask(const std::string& text, char (&flags)[32]) {
  for (char& f : flags) f = 0;
  if (text == "none") return true;
  if (text.size() == 32 && text.find_first_not_of("01") == std::string::npos) {
    for (size_t i = 0; i < 32; ++i) flags[i] = text[i] == '1' ? 1 : 0;
    return true;
  }
  std::stringstream list(text);
  std::string item;
  int32_t bit = 0;
  while (std::getline(list, item, ',')) {
    if (!ParseInt(item, bit) || bit < 0 || bit > 31) return false;
    flags[bit] = 1;
  }
  return !text.empty();
}

int Interlock(Tool& tool, const Args& args) {
  const std::string usage =
      "door interlock ADDRESS DOOR MASK  (DOOR 0-3; MASK: none, bit numbers such as 0,2, or 32 "
      "characters of 0/1 with bit 0 first)";
  int32_t address = 0, door = 0;
  char flags[32];
  if (args.size() != 3 || !ParseDoor(args, address, door) || !ParseInterlockMask(args[2], flags)) {
    return tool.Usage(usage);
  }
  Json bits = Json::Array();
  std::string text;
  for (int i = 0; i < 32; ++i) {
    if (flags[i] == 0) continue;
    bits.Push(i);
    if (!text.empty()) text += ',';
    text += std::to_string(i);
  }
  Json json = DoorJson(address, door);
  json.Set("interlockBits", bits);
  return Report(tool, Zarvo_MutualLock(address, door, flags), usage, "cannot set the interlock",
                json,
                DoorName(address, door) + ": interlock mask set to " +
                    (text.empty() ? "none" : "bits " + text));
}

// ---- Links to tables -----------------------------------------------------

using SlotLink = int32_t(ZARVO_CALL*)(int32_t address, int32_t door, int32_t slot, int32_t table);

int RunSlotLink(Tool& tool, const Args& args, const std::string& kind, SlotLink link) {
  const std::string usage = "door link " + kind +
                            " ADDRESS DOOR SLOT TABLE  (DOOR 0-3, SLOT 0-15, "
                            "TABLE 0-15; the door's other 15 slots are cleared)";
  int32_t address = 0, door = 0, slot = 0, table = 0;
  if (args.size() != 4 || !ParseDoor(args, address, door) || !ParseInt(args[2], slot) ||
      !ParseInt(args[3], table)) {
    return tool.Usage(usage);
  }
  Json json = DoorJson(address, door);
  json.Set("kind", kind).Set("slot", slot).Set("table", table);
  return Report(tool, link(address, door, slot, table), usage, "cannot link the door", json,
                DoorName(address, door) + ": " + kind + " slot " + std::to_string(slot) +
                    " linked to table " + std::to_string(table));
}

int LinkTime(Tool& tool, const Args& args) {
  return RunSlotLink(tool, args, "time", Zarvo_RelationTimeTable);
}

int LinkHolidayTime(Tool& tool, const Args& args) {
  return RunSlotLink(tool, args, "holiday-time", Zarvo_RelationHolidayTimeTable);
}

int LinkAlwaysOpen(Tool& tool, const Args& args) {
  const std::string usage = "door link always-open ADDRESS DOOR TABLE  (DOOR 0-3, TABLE 0-15)";
  int32_t address = 0, door = 0, table = 0;
  if (args.size() != 3 || !ParseDoor(args, address, door) || !ParseInt(args[2], table)) {
    return tool.Usage(usage);
  }
  Json json = DoorJson(address, door);
  json.Set("kind", "always-open").Set("table", table);
  return Report(tool, Zarvo_RelationAlwaysOpenOfWeek(address, door, table), usage,
                "cannot link the door", json,
                DoorName(address, door) + ": always-open table " + std::to_string(table));
}

}  // namespace

void RegisterDoorCommands(Registry& r) {
  r.Add({"door open", "ADDRESS DOOR [PARAM]", "open a door from the host", Open});
  r.Add({"door close", "ADDRESS DOOR", "close a door from the host", Close});
  r.Add({"door clear-alarm", "ADDRESS DOOR", "clear a door's alarm", ClearAlarm});
  r.Add({"door password", "ADDRESS DOOR HEX8", "set the password that opens a door", Password});
  r.Add({"door access get", "ADDRESS DOOR", "read a door's access mode", AccessGet});
  r.Add({"door access set", "ADDRESS DOOR FIELD=VALUE...", "change fields of a door's access mode",
         AccessSet});
  r.Add({"door alarm get", "ADDRESS DOOR", "read a door's alarm mode", AlarmGet});
  r.Add({"door alarm set", "ADDRESS DOOR FIELD=VALUE...", "change fields of a door's alarm mode",
         AlarmSet});
  r.Add({"door delay", "ADDRESS V0 V1 V2 V3", "set the timing value of each of the four doors",
         Delays});
  r.Add({"door interlock", "ADDRESS DOOR MASK", "set the doors that must be shut to open DOOR",
         Interlock});
  r.Add({"duress-code", "ADDRESS HEX8", "set the controller's duress code", DuressCode});
  r.Add({"door link time", "ADDRESS DOOR SLOT TABLE", "link a door's slot to a time table",
         LinkTime});
  r.Add({"door link holiday-time", "ADDRESS DOOR SLOT TABLE",
         "link a door's slot to a holiday time table", LinkHolidayTime});
  r.Add({"door link always-open", "ADDRESS DOOR TABLE", "link a door to an always-open table",
         LinkAlwaysOpen});
  r.AddDemoStep({"door", "open", "1", "0"});
  r.AddDemoStep({"door", "access", "get", "1", "0"});
  r.AddDemoStep({"door", "clear-alarm", "1", "0"});
}

}  // namespace zarvoctl
