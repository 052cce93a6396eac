// Table commands: weekly, holiday and always-open time tables a day at a
// time or as a week at a glance, the holiday list and the chain table.
#include <bitset>
#include <cstdio>
#include <string>

#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {
namespace {

using TableFn = int32_t(ZARVO_CALL*)(int32_t, int32_t, int32_t*, int32_t);

struct TableKind {
  const char* name;   // as typed on the command line
  const char* label;  // as shown to the reader
  int32_t tables;
  int32_t days;  // a holiday time table has one day segment only
  TableFn call;
};

const TableKind kKinds[] = {
    {"week", "weekly time table", 16, 7, Zarvo_TimeTable},
    {"holiday", "holiday time table", 8, 1, Zarvo_HolidayTimeTable},
    {"always-open", "always-open table", 8, 7, Zarvo_AlwaysOpenOfWeek},
};

const TableKind* FindKind(const std::string& name) {
  for (const TableKind& k : kKinds) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

bool ParseRange(const std::string& text, int32_t low, int32_t high, int32_t& value) {
  return ParseInt(text, value) && value >= low && value <= high;
}

std::string TwoDigits(int32_t a, int32_t b, char separator) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%c%02d", static_cast<int>(a), separator,
                static_cast<int>(b));
  return text;
}

// ---- time tables ----

struct Period {
  int32_t from_hour, from_minute, to_hour, to_minute;
  bool unused() const { return (from_hour | from_minute | to_hour | to_minute) == 0; }
  std::string text() const {
    return TwoDigits(from_hour, from_minute, ':') + "-" + TwoDigits(to_hour, to_minute, ':');
  }
};

Period PeriodOf(const TimeTableRecord& record, int p) {
  const int32_t* v = &record[1 + 4 * p];
  return {v[0], v[1], v[2], v[3]};
}

void SetPeriod(TimeTableRecord& record, int p, const Period& period) {
  int32_t* v = &record[1 + 4 * p];
  v[0] = period.from_hour;
  v[1] = period.from_minute;
  v[2] = period.to_hour;
  v[3] = period.to_minute;
}

// "HH:MM-HH:MM" with a valid time on either side.
bool ParsePeriod(const std::string& text, Period& period) {
  int h1 = 0, m1 = 0, h2 = 0, m2 = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%2d:%2d-%2d:%2d%c", &h1, &m1, &h2, &m2, &extra) != 4) {
    return false;
  }
  period = {h1, m1, h2, m2};
  return h1 >= 0 && h1 <= 23 && h2 >= 0 && h2 <= 23 && m1 >= 0 && m1 <= 59 && m2 >= 0 && m2 <= 59;
}

// The periods in use, as text and as a JSON array.
std::string PeriodList(const TimeTableRecord& record, Json& list) {
  std::string text;
  for (int p = 0; p < 8; ++p) {
    const Period period = PeriodOf(record, p);
    if (period.unused()) continue;
    text += (text.empty() ? "" : "  ") + period.text();
    list.Push(period.text());
  }
  return text.empty() ? "no periods" : text;
}

// One character per hour: '#' when a period covers any of it. A period
// whose end is not after its start runs over midnight.
std::string HourBar(const TimeTableRecord& record) {
  std::bitset<24 * 60> minutes;
  for (int p = 0; p < 8; ++p) {
    const Period period = PeriodOf(record, p);
    if (period.unused()) continue;
    const int from = 60 * period.from_hour + period.from_minute;
    const int to = 60 * period.to_hour + period.to_minute;
    for (int m = from; m != to; m = (m + 1) % (24 * 60)) minutes.set(static_cast<size_t>(m));
  }
  std::string bar(24, '.');
  for (size_t m = 0; m < minutes.size(); ++m) {
    if (minutes.test(m)) bar[m / 60] = '#';
  }
  return bar;
}

std::string TableName(const TableKind& kind, int32_t table, int32_t address) {
  return std::string(kind.label) + " " + std::to_string(table) + " of controller " +
         std::to_string(address);
}

// Parses KIND ADDRESS TABLE [DAY] at the front of `args`.
bool ParseTableArgs(const Args& args, bool with_day, const TableKind*& kind, int32_t& address,
                    int32_t& table, int32_t& day) {
  const size_t needed = with_day ? 4 : 3;
  if (args.size() < needed || (kind = FindKind(args[0])) == nullptr) return false;
  day = 0;
  return ParseRange(args[1], 0, 255, address) && ParseRange(args[2], 0, kind->tables - 1, table) &&
         (!with_day || ParseRange(args[3], 0, kind->days - 1, day));
}

const char kTableUsage[] =
    "  (KIND: week 0-15, holiday 0-7 with day 0 only, always-open 0-7; DAY 0-6)";

int TimetableGet(Tool& tool, const Args& args) {
  const TableKind* kind = nullptr;
  int32_t address = 0, table = 0, day = 0;
  if (args.size() != 4 || !ParseTableArgs(args, true, kind, address, table, day)) {
    return tool.Usage(std::string("timetable get KIND ADDRESS TABLE DAY\n") + kTableUsage);
  }
  TimeTableRecord record = {day};
  const int32_t result = kind->call(address, table, record, 0);
  if (result != ZARVO_OK) return tool.Fail("cannot read the " + std::string(kind->label), result);
  Json periods = Json::Array();
  const std::string text = PeriodList(record, periods);
  Json json = Json::Object();
  json.Set("kind", kind->name).Set("address", address).Set("table", table).Set("day", record[0]);
  json.Set("periods", periods);
  tool.Emit(json,
            TableName(*kind, table, address) + ", day " + std::to_string(record[0]) + ": " + text);
  return 0;
}

int TimetableSet(Tool& tool, const Args& args) {
  const TableKind* kind = nullptr;
  int32_t address = 0, table = 0, day = 0;
  TimeTableRecord record = {};
  bool ok = args.size() <= 12 && ParseTableArgs(args, true, kind, address, table, day);
  for (size_t i = 4; ok && i < args.size(); ++i) {
    Period p{};
    ok = ParsePeriod(args[i], p);
    SetPeriod(record, static_cast<int>(i - 4), p);
  }
  if (!ok) {
    return tool.Usage(std::string("timetable set KIND ADDRESS TABLE DAY [HH:MM-HH:MM]... (up to "
                                  "eight; the day's other periods are cleared)\n") +
                      kTableUsage);
  }
  record[0] = day;
  const int32_t result = kind->call(address, table, record, 1);
  if (result != ZARVO_OK) return tool.Fail("cannot write the " + std::string(kind->label), result);
  Json periods = Json::Array();
  const std::string text = PeriodList(record, periods);
  Json json = Json::Object();
  json.Set("kind", kind->name).Set("address", address).Set("table", table).Set("day", day);
  json.Set("periods", periods);
  tool.Emit(json,
            TableName(*kind, table, address) + ", day " + std::to_string(day) + " set to: " + text);
  return 0;
}

// The whole table, a day per line; the library reads the block once and
// answers the other days from its copy.
int TimetableShow(Tool& tool, const Args& args) {
  const TableKind* kind = nullptr;
  int32_t address = 0, table = 0, unused_day = 0;
  if (args.size() != 3 || !ParseTableArgs(args, false, kind, address, table, unused_day)) {
    return tool.Usage(std::string("timetable show KIND ADDRESS TABLE\n") + kTableUsage);
  }
  Json days = Json::Array();
  std::string text = TableName(*kind, table, address) + "\n      0  3  6  9  12 15 18 21\n";
  for (int32_t day = 0; day < kind->days; ++day) {
    TimeTableRecord record = {day};
    const int32_t result = kind->call(address, table, record, 0);
    if (result != ZARVO_OK) return tool.Fail("cannot read the " + std::string(kind->label), result);
    Json periods = Json::Array();
    const std::string list = PeriodList(record, periods);
    text += "day " + std::to_string(day) + " " + HourBar(record) + "  " + list + "\n";
    Json entry = Json::Object();
    entry.Set("day", day).Set("periods", periods);
    days.Push(entry);
  }
  Json json = Json::Object();
  json.Set("kind", kind->name).Set("address", address).Set("table", table).Set("days", days);
  tool.Emit(json, text);
  return 0;
}

// ---- the holiday list ----

constexpr int32_t kHolidayEntries = 128;

std::string DateText(const HolidayRecord& date) { return TwoDigits(date[0], date[1], '-'); }

// "MM-DD" with a valid month and day, or 00-00 for an unused entry.
bool ParseDate(const std::string& text, HolidayRecord& date) {
  int month = 0, day = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%2d-%2d%c", &month, &day, &extra) != 2) return false;
  date[0] = month;
  date[1] = day;
  return (month == 0 && day == 0) || (month >= 1 && month <= 12 && day >= 1 && day <= 31);
}

// Entries in order; a run of three or more equal dates takes one line
// (unused entries, which read as 01-01, usually make up the tail).
int HolidaysList(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseRange(args[0], 0, 255, address)) {
    return tool.Usage("holidays list ADDRESS");
  }
  std::string dates[kHolidayEntries];
  Json entries = Json::Array();
  for (int32_t i = 0; i < kHolidayEntries; ++i) {
    HolidayRecord date = {};
    const int32_t result = Zarvo_HolidayTable(address, i, date, 0);
    if (result != ZARVO_OK) return tool.Fail("cannot read the holiday list", result);
    dates[i] = DateText(date);
    entries.Push(dates[i]);
  }
  std::string text = "holiday list of controller " + std::to_string(address) + "\n";
  for (int32_t i = 0; i < kHolidayEntries;) {
    int32_t end = i + 1;
    while (end < kHolidayEntries && dates[end] == dates[i]) ++end;
    if (end - i >= 3) {
      text += "  " + std::to_string(i) + "-" + std::to_string(end - 1) + "  " + dates[i] + " (" +
              std::to_string(end - i) + " entries; an unused entry reads as 01-01)\n";
    } else {
      for (int32_t k = i; k < end; ++k) text += "  " + std::to_string(k) + "  " + dates[k] + "\n";
    }
    i = end;
  }
  Json json = Json::Object();
  json.Set("address", address).Set("entries", entries);
  tool.Emit(json, text);
  return 0;
}

int HolidaysGet(Tool& tool, const Args& args) {
  int32_t address = 0, index = 0;
  if (args.size() != 2 || !ParseRange(args[0], 0, 255, address) ||
      !ParseRange(args[1], 0, kHolidayEntries - 1, index)) {
    return tool.Usage("holidays get ADDRESS INDEX  (INDEX 0-127)");
  }
  HolidayRecord date = {};
  const int32_t result = Zarvo_HolidayTable(address, index, date, 0);
  if (result != ZARVO_OK) return tool.Fail("cannot read the holiday list", result);
  Json json = Json::Object();
  json.Set("address", address).Set("index", index).Set("date", DateText(date));
  tool.Emit(json, "holiday " + std::to_string(index) + " of controller " + std::to_string(address) +
                      ": " + DateText(date));
  return 0;
}

int HolidaysSet(Tool& tool, const Args& args) {
  int32_t address = 0, index = 0;
  HolidayRecord date = {};
  if (args.size() != 3 || !ParseRange(args[0], 0, 255, address) ||
      !ParseRange(args[1], 0, kHolidayEntries - 1, index) || !ParseDate(args[2], date)) {
    return tool.Usage("holidays set ADDRESS INDEX MM-DD  (INDEX 0-127; 00-00 clears the entry)");
  }
  const int32_t result = Zarvo_HolidayTable(address, index, date, 1);
  if (result != ZARVO_OK) return tool.Fail("cannot write the holiday list", result);
  Json json = Json::Object();
  json.Set("address", address).Set("index", index).Set("date", DateText(date));
  const bool cleared = date[0] == 0 && date[1] == 0;
  tool.Emit(json, "holiday " + std::to_string(index) + " of controller " + std::to_string(address) +
                      (cleared ? " cleared" : " set to " + DateText(date)));
  return 0;
}

// ---- the chain table ----

Json ChainJson(int32_t address, int32_t group, const ChainRecord& record) {
  Json entries = Json::Array();
  for (int i = 0; i < 4; ++i) entries.Push(record[i]);
  Json json = Json::Object();
  json.Set("address", address).Set("group", group).Set("entries", entries);
  json.Set("value", record[4]);
  return json;
}

std::string ChainText(const ChainRecord& record) {
  return "entries " + std::to_string(record[0]) + " " + std::to_string(record[1]) + " " +
         std::to_string(record[2]) + " " + std::to_string(record[3]) + ", value " +
         std::to_string(record[4]);
}

int ChainGet(Tool& tool, const Args& args) {
  int32_t address = 0, group = 0;
  if (args.size() != 2 || !ParseRange(args[0], 0, 255, address) ||
      !ParseRange(args[1], 0, 1, group)) {
    return tool.Usage("chain get ADDRESS GROUP  (GROUP 0 or 1)");
  }
  ChainRecord record = {};
  const int32_t result = Zarvo_ChianTable(address, record, group, 0);
  if (result != ZARVO_OK) return tool.Fail("cannot read the chain table", result);
  tool.Emit(ChainJson(address, group, record), "chain group " + std::to_string(group) +
                                                   " of controller " + std::to_string(address) +
                                                   ": " + ChainText(record));
  return 0;
}

int ChainSet(Tool& tool, const Args& args) {
  int32_t address = 0, group = 0;
  ChainRecord record = {};
  bool ok = args.size() == 7 && ParseRange(args[0], 0, 255, address) &&
            ParseRange(args[1], 0, 1, group) && ParseRange(args[6], 0, 65535, record[4]);
  for (int i = 0; ok && i < 4; ++i)
    ok = ParseRange(args[static_cast<size_t>(2 + i)], 0, 31, record[i]);
  if (!ok)
    return tool.Usage("chain set ADDRESS GROUP E0 E1 E2 E3 VALUE  (entries 0-31, VALUE 0-65535)");
  const bool all_zero = (record[0] | record[1] | record[2] | record[3] | record[4]) == 0;
  const int32_t result = Zarvo_ChianTable(address, record, group, 1);
  if (result == ZARVO_E_REFUSED && all_zero && !tool.json()) {
    std::fprintf(stderr, "zarvoctl: a group of zeros cannot be told from the group not written\n");
  }
  if (result != ZARVO_OK) return tool.Fail("cannot write the chain table", result);
  tool.Emit(ChainJson(address, group, record), "chain group " + std::to_string(group) +
                                                   " of controller " + std::to_string(address) +
                                                   " set to " + ChainText(record));
  return 0;
}

}  // namespace

void RegisterTableCommands(Registry& r) {
  r.Add({"timetable get", "KIND ADDRESS TABLE DAY", "read one day of a time table", TimetableGet});
  r.Add({"timetable set", "KIND ADDRESS TABLE DAY PERIOD...",
         "write one day of a time table (periods as HH:MM-HH:MM)", TimetableSet});
  r.Add({"timetable show", "KIND ADDRESS TABLE", "show a whole time table (one read)",
         TimetableShow});
  r.Add({"holidays list", "ADDRESS", "show the 128-entry holiday list (one read)", HolidaysList});
  r.Add({"holidays get", "ADDRESS INDEX", "read one holiday date", HolidaysGet});
  r.Add({"holidays set", "ADDRESS INDEX MM-DD", "write one holiday date", HolidaysSet});
  r.Add({"chain get", "ADDRESS GROUP", "read one group of the chain table", ChainGet});
  r.Add({"chain set", "ADDRESS GROUP E0 E1 E2 E3 VALUE", "write one group of the chain table",
         ChainSet});
  r.AddDemoStep({"timetable", "show", "week", "1", "0"});
  r.AddDemoStep({"timetable", "set", "week", "1", "0", "5", "09:00-13:00"});
  r.AddDemoStep({"timetable", "get", "week", "1", "0", "5"});
  r.AddDemoStep({"holidays", "list", "1"});
  r.AddDemoStep({"chain", "get", "1", "0"});
}

}  // namespace zarvoctl
