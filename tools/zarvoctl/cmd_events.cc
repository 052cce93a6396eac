// Event log commands: read the whole log (as a table, CSV or JSON), read
// record by record, clear and restore.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "event_kind_names.h"
#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {
namespace {

constexpr int32_t kBlockRecords = 192;
constexpr int32_t kBlockCount = 256;  // block numbers travel as one byte

std::string Field(const char (&text)[16]) { return std::string(text, strnlen(text, 16)); }

// The virtual controller's name for one of its own kinds, or nullptr: a
// real controller's values mean what its installation made them mean, so
// on a port they stay numbers.
const zarvo::sim::EventKindName* KindName(const Tool& tool, const EventRecord& e) {
  return tool.options().sim ? zarvo::sim::FindEventKindName(static_cast<uint8_t>(e.value1))
                            : nullptr;
}

// The door of an event at a door, 1 = the first (0: none).
int KindDoor(const zarvo::sim::EventKindName* name, const EventRecord& e) {
  return name != nullptr && name->at_door ? e.value2 + 1 : 0;
}

Json EventJson(const Tool& tool, const EventRecord& e) {
  Json json = Json::Object();
  json.Set("date", Field(e.date)).Set("time", Field(e.time));
  json.Set("value1", e.value1).Set("value2", e.value2);
  json.Set("number1", Field(e.number1)).Set("number2", Field(e.number2));
  if (const zarvo::sim::EventKindName* name = KindName(tool, e)) {
    json.Set("kind", std::string(name->words));
    if (const int door = KindDoor(name, e); door > 0) json.Set("door", door);
  }
  return json;
}

std::string EventRow(const Tool& tool, const EventRecord& e) {
  char row[96];
  std::snprintf(row, sizeof row, "%-10s  %-8s  %6d  %6d  %-8s  %-8s", Field(e.date).c_str(),
                Field(e.time).c_str(), e.value1, e.value2, Field(e.number1).c_str(),
                Field(e.number2).c_str());
  const zarvo::sim::EventKindName* name = KindName(tool, e);
  if (name == nullptr) return row;
  const int door = KindDoor(name, e);
  return std::string(row) + "  " + name->words + (door > 0 ? ", door " + std::to_string(door) : "");
}

std::string CsvRow(const Tool& tool, const EventRecord& e) {
  const zarvo::sim::EventKindName* name = KindName(tool, e);
  const int door = KindDoor(name, e);
  return Field(e.date) + "," + Field(e.time) + "," + std::to_string(e.value1) + "," +
         std::to_string(e.value2) + "," + Field(e.number1) + "," + Field(e.number2) + "," +
         (name != nullptr ? name->words : "") + "," + (door > 0 ? std::to_string(door) : "") + "\n";
}

// Reads block after block until one comes back less than full.
int32_t ReadWholeLog(Tool& tool, int32_t address, std::vector<EventRecord>& events) {
  std::vector<EventRecord> block(kBlockRecords);
  for (int32_t b = 0; b < kBlockCount; ++b) {
    tool.Progress("reading events", b, kBlockCount);
    const int32_t count = Zarvo_ReadRecordOfBlock(address, b, block.data());
    if (count < 0) {
      tool.EndProgress();
      return count;
    }
    events.insert(events.end(), block.begin(), block.begin() + count);
    if (count < kBlockRecords) break;
  }
  tool.EndProgress();
  return ZARVO_OK;
}

void EmitLog(Tool& tool, int32_t address, const std::vector<EventRecord>& events, bool csv) {
  Json list = Json::Array();
  std::string text;
  if (csv) {
    text = "date,time,value1,value2,number1,number2,kind,door\n";
    for (const EventRecord& e : events) text += CsvRow(tool, e);
  } else {
    text = "   #  date        time      value1  value2  number1   number2   kind\n";
    for (size_t i = 0; i < events.size(); ++i) {
      char index[24];
      std::snprintf(index, sizeof index, "%4zu", i + 1);
      text += std::string(index) + "  " + EventRow(tool, events[i]) + "\n";
    }
    text += std::to_string(events.size()) + " event(s) in the log of controller " +
            std::to_string(address) + "\n";
  }
  for (const EventRecord& e : events) list.Push(EventJson(tool, e));
  Json json = Json::Object();
  json.Set("address", address).Set("count", static_cast<int64_t>(events.size()));
  json.Set("events", list);
  tool.Emit(json, text);
}

// One record: the current one, or the next after advancing.
int ReadOneRecord(Tool& tool, int32_t address, bool next) {
  EventRecord record{};
  const int32_t result = next ? Zarvo_MoveNext(address, &record) : Zarvo_ReadOne(address, &record);
  if (result != ZARVO_OK) return tool.Fail("cannot read the event", result);
  Json json = EventJson(tool, record);
  json.Set("address", address);
  tool.Emit(json, EventRow(tool, record));
  return 0;
}

int Events(Tool& tool, const Args& args) {
  const char* usage = "events ADDRESS [--csv | --one | --next]";
  int32_t address = 0;
  if (args.empty() || args.size() > 2 || !ParseAddress(args[0], address)) {
    return tool.Usage(usage);
  }
  const std::string option = args.size() == 2 ? args[1] : "";
  if (option == "--one" || option == "--next")
    return ReadOneRecord(tool, address, option == "--next");
  if (!option.empty() && option != "--csv") return tool.Usage(usage);
  std::vector<EventRecord> events;
  const int32_t result = ReadWholeLog(tool, address, events);
  if (result != ZARVO_OK) return tool.Fail("cannot read the event log", result);
  EmitLog(tool, address, events, option == "--csv");
  return 0;
}

int Clear(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address))
    return tool.Usage("events clear ADDRESS");
  if (!tool.Confirm("Clear the event log of controller " + std::to_string(address) + "?")) return 1;
  const int32_t result = Zarvo_ClearRecord(address);
  if (result != ZARVO_OK) return tool.Fail("cannot clear the event log", result);
  Json json = Json::Object();
  json.Set("address", address).Set("cleared", true);
  tool.Emit(json, "event log of controller " + std::to_string(address) + " cleared");
  return 0;
}

int Restore(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) {
    return tool.Usage("events restore ADDRESS");
  }
  const int32_t result = Zarvo_RestoreRecord(address);
  if (result != ZARVO_OK) return tool.Fail("cannot restore the event log", result);
  Json json = Json::Object();
  json.Set("address", address).Set("restored", true);
  tool.Emit(json, "event log of controller " + std::to_string(address) + " restored");
  return 0;
}

// The library keeps Zarvo_RestoreMaxRecord for hosts written against older
// controllers; it sends nothing and always succeeds.
int RestoreMax(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) {
    return tool.Usage("events restore-max ADDRESS");
  }
  const int32_t result = Zarvo_RestoreMaxRecord(address);
  Json json = Json::Object();
  json.Set("address", address).Set("result", ResultJson(result));
  tool.Emit(json,
            "restore-max is a compatibility call: nothing was sent (" + ResultText(result) + ")");
  return result == ZARVO_OK ? 0 : 1;
}

}  // namespace

void RegisterEventCommands(Registry& r) {
  r.Add({"events", "ADDRESS [--csv | --one | --next]",
         "read the whole event log, or the current (--one) or next (--next) record", Events});
  r.Add({"events clear", "ADDRESS", "clear the event log (asks first unless --yes)", Clear});
  r.Add({"events restore", "ADDRESS", "bring back the records a clear set aside", Restore});
  r.Add({"events restore-max", "ADDRESS", "compatibility call: sends nothing, always succeeds",
         RestoreMax});
  r.AddDemoStep({"events", "1"});
  r.AddDemoStep({"events", "1", "--one"});
}

}  // namespace zarvoctl
