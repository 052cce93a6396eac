// Doors: remote open, close and alarm clear, and each door's settings.
#include <array>
#include <string>

#include "command_catalog.h"

namespace zarvo::mqtt {
namespace {

using nlohmann::json;

constexpr int32_t kLastDoor = 3;

template <typename Record>
struct SettingField {
  const char* name;
  int32_t Record::*field;
  int32_t max;  // 1 for one bit, 3 for a two-bit field
};

constexpr SettingField<AccessLevelRecord> kAccessFields[] = {
    {"firstBit0", &AccessLevelRecord::firstBit0, 1},
    {"firstBit1", &AccessLevelRecord::firstBit1, 1},
    {"firstBit2", &AccessLevelRecord::firstBit2, 1},
    {"firstBit3", &AccessLevelRecord::firstBit3, 1},
    {"firstBit4", &AccessLevelRecord::firstBit4, 1},
    {"firstBit5", &AccessLevelRecord::firstBit5, 1},
    {"firstBit7", &AccessLevelRecord::firstBit7, 1},
    {"secondBit0", &AccessLevelRecord::secondBit0, 1},
    {"secondBit7", &AccessLevelRecord::secondBit7, 1},
};

constexpr SettingField<WarnLevelRecord> kWarnFields[] = {
    {"firstBit0", &WarnLevelRecord::firstBit0, 1},
    {"firstBit1", &WarnLevelRecord::firstBit1, 1},
    {"firstBit2", &WarnLevelRecord::firstBit2, 1},
    {"firstBit3", &WarnLevelRecord::firstBit3, 1},
    {"firstBit4", &WarnLevelRecord::firstBit4, 1},
    {"firstBit5", &WarnLevelRecord::firstBit5, 1},
    {"firstBit6", &WarnLevelRecord::firstBit6, 1},
    {"secondBits0to1", &WarnLevelRecord::secondBits0to1, 3},
    {"secondBits2to3", &WarnLevelRecord::secondBits2to3, 3},
    {"secondBit4", &WarnLevelRecord::secondBit4, 1},
    {"secondBit5", &WarnLevelRecord::secondBit5, 1},
};

template <typename Record, size_t N>
json SettingsJson(const Record& record, const SettingField<Record> (&fields)[N]) {
  json j = json::object();
  for (const auto& f : fields) j[f.name] = record.*(f.field);
  return j;
}

// Every field must be given: a write sends them all, and a missing one
// would silently clear its bit.
template <typename Record, size_t N>
Record SettingsFromJson(RequestArgs& args, const SettingField<Record> (&fields)[N]) {
  Record record{};
  const json* object = args.Object("settings");
  if (object == nullptr) return record;
  RequestArgs settings(*object, "settings.");
  for (const auto& f : fields) record.*(f.field) = settings.Int(f.name, 0, f.max);
  if (!settings.Finish()) args.Fail(settings.error());
  return record;
}

void Open(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const int32_t param = args.Int("param", 0, 255, 0);
  out.action = [door, param](ZarvoLine* line, int32_t address) {
    return Zarvo_LineRemoteOpenDoor(line, address, door, param);
  };
}

void Close(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  out.action = [door](ZarvoLine* line, int32_t address) {
    return Zarvo_LineRemoteCloseDoor(line, address, door);
  };
}

void ClearAlarm(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  out.action = [door](ZarvoLine* line, int32_t address) {
    return Zarvo_LineRemoteClearWarn(line, address, door);
  };
}

// A door's access or alarm settings: the record, its fields, and the
// library call that reads (write = 0) or writes (write = 1) it.
struct AccessSettings {
  using Record = AccessLevelRecord;
  static constexpr const auto& kFields = kAccessFields;
  static int32_t Call(ZarvoLine* line, int32_t address, int32_t door, Record* r, int32_t write) {
    return Zarvo_LineAccessLevel(line, address, door, r, write);
  }
};

struct AlarmSettings {
  using Record = WarnLevelRecord;
  static constexpr const auto& kFields = kWarnFields;
  static int32_t Call(ZarvoLine* line, int32_t address, int32_t door, Record* r, int32_t write) {
    return Zarvo_LineWarnLevel(line, address, door, r, write);
  }
};

template <typename Settings>
void SettingsRead(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  out.action = [door, data = out.data](ZarvoLine* line, int32_t address) {
    typename Settings::Record record{};
    const int32_t result = Settings::Call(line, address, door, &record, 0);
    if (result == ZARVO_OK) (*data)["settings"] = SettingsJson(record, Settings::kFields);
    return result;
  };
}

template <typename Settings>
void SettingsWrite(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const auto record = SettingsFromJson(args, Settings::kFields);
  out.action = [door, record](ZarvoLine* line, int32_t address) {
    auto copy = record;
    return Settings::Call(line, address, door, &copy, 1);
  };
}

void DelayWrite(RequestArgs& args, BuiltCommand& out) {
  const std::vector<int32_t> values = args.IntList("values", 4, 0, 255);
  out.action = [values](ZarvoLine* line, int32_t address) {
    return Zarvo_LineDelay(line, address, values.data(), 0);
  };
}

void PasswordWrite(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const std::string password = args.Text("password", 8, 8, kHexDigits);
  out.action = [door, password](ZarvoLine* line, int32_t address) {
    std::array<char, 9> text{};
    password.copy(text.data(), 8);
    return Zarvo_LinePassWordOpenDoor(line, address, door, text.data());
  };
}

void DuressCodeWrite(RequestArgs& args, BuiltCommand& out) {
  const std::string code = args.Text("code", 8, 8, kHexDigits);
  out.action = [code](ZarvoLine* line, int32_t address) {
    std::array<char, 9> text{};
    code.copy(text.data(), 8);
    return Zarvo_LineMenaceCode(line, address, text.data());
  };
}

void InterlockWrite(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const std::vector<int32_t> flags = args.IntList("flags", 32, 0, 1);
  out.action = [door, flags](ZarvoLine* line, int32_t address) {
    std::array<char, 32> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(flags[i]);
    return Zarvo_LineMutualLock(line, address, door, bytes.data());
  };
}

void WeekRelation(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const int32_t slot = args.Int("slot", 0, 255);
  const int32_t table = args.Int("table", 0, 255);
  out.action = [door, slot, table](ZarvoLine* line, int32_t address) {
    return Zarvo_LineRelationTimeTable(line, address, door, slot, table);
  };
}

void HolidayWeekRelation(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const int32_t slot = args.Int("slot", 0, 255);
  const int32_t table = args.Int("table", 0, 255);
  out.action = [door, slot, table](ZarvoLine* line, int32_t address) {
    return Zarvo_LineRelationHolidayTimeTable(line, address, door, slot, table);
  };
}

void AlwaysOpenRelation(RequestArgs& args, BuiltCommand& out) {
  const int32_t door = args.Int("door", 0, kLastDoor);
  const int32_t table = args.Int("table", 0, 255);
  out.action = [door, table](ZarvoLine* line, int32_t address) {
    return Zarvo_LineRelationAlwaysOpenOfWeek(line, address, door, table);
  };
}

constexpr CommandSpec kCommands[] = {
    {"door.open", CommandKind::kDoorOpen, Open},
    {"door.close", CommandKind::kChange, Close},
    {"door.clear_alarm", CommandKind::kChange, ClearAlarm},
    {"door.access.read", CommandKind::kRead, SettingsRead<AccessSettings>},
    {"door.access.write", CommandKind::kChange, SettingsWrite<AccessSettings>},
    {"door.alarm.read", CommandKind::kRead, SettingsRead<AlarmSettings>},
    {"door.alarm.write", CommandKind::kChange, SettingsWrite<AlarmSettings>},
    {"door.delay.write", CommandKind::kChange, DelayWrite},
    {"door.password.write", CommandKind::kChange, PasswordWrite},
    {"door.duress_code.write", CommandKind::kChange, DuressCodeWrite},
    {"door.interlock.write", CommandKind::kChange, InterlockWrite},
    {"door.relation.week", CommandKind::kChange, WeekRelation},
    {"door.relation.holiday_week", CommandKind::kChange, HolidayWeekRelation},
    {"door.relation.always_open", CommandKind::kChange, AlwaysOpenRelation},
};

}  // namespace

std::span<const CommandSpec> DoorCommands() { return kCommands; }

}  // namespace zarvo::mqtt
