// Tables: week tables (normal, holiday and always-open), the holiday list
// and the chain table, read and written whole.
#include <algorithm>
#include <array>

#include "command_catalog.h"

namespace zarvo::mqtt {
namespace {

using nlohmann::json;
using WeekTableCall = int32_t(ZARVO_CALL*)(ZarvoLine*, int32_t, int32_t, int32_t*, int32_t);

constexpr size_t kPeriods = 8;

// One day of a week table: `periods` holds 8 [start h, start m, end h, end m].
json DayJson(const int32_t* record) {
  json periods = json::array();
  for (size_t p = 0; p < kPeriods; ++p) {
    periods.push_back({record[1 + 4 * p], record[2 + 4 * p], record[3 + 4 * p], record[4 + 4 * p]});
  }
  return {{"day", record[0]}, {"periods", periods}};
}

void DayFromJson(RequestArgs& args, int32_t* record) {
  record[0] = args.Int("day", 0, 6);
  const json* periods = args.Array("periods", kPeriods);
  if (periods == nullptr) return;
  if (periods->size() != kPeriods) return args.Fail("periods must hold 8 periods");
  for (size_t p = 0; p < kPeriods && args.ok(); ++p) {
    const json& period = (*periods)[p];
    const bool valid = period.is_array() && period.size() == 4 &&
                       std::all_of(period.begin(), period.end(),
                                   [](const json& v) { return v.is_number_integer(); });
    if (!valid) return args.Fail("periods[" + std::to_string(p) + "] must be 4 integers");
    const std::array<int64_t, 4> limits = {23, 59, 23, 59};
    for (size_t k = 0; k < 4; ++k) {
      const int64_t v = period[k].get<int64_t>();
      if (v < 0 || v > limits[k]) {
        return args.Fail("periods[" + std::to_string(p) + "] must be hours 0-23 and minutes 0-59");
      }
      record[1 + 4 * p + k] = static_cast<int32_t>(v);
    }
  }
}

template <WeekTableCall Call, int32_t kLastTable>
void WeekRead(RequestArgs& args, BuiltCommand& out) {
  const int32_t table = args.Int("table", 0, kLastTable);
  const int32_t day = args.Int("day", 0, 6);
  out.action = [table, day, data = out.data](ZarvoLine* line, int32_t address) {
    TimeTableRecord record{};
    record[0] = day;
    const int32_t result = Call(line, address, table, record, 0);
    if (result == ZARVO_OK) *data = DayJson(record);
    return result;
  };
}

template <WeekTableCall Call, int32_t kLastTable>
void WeekWrite(RequestArgs& args, BuiltCommand& out) {
  const int32_t table = args.Int("table", 0, kLastTable);
  std::array<int32_t, 33> record{};
  DayFromJson(args, record.data());
  out.action = [table, record](ZarvoLine* line, int32_t address) {
    std::array<int32_t, 33> copy = record;
    return Call(line, address, table, copy.data(), 1);
  };
}

void HolidayRead(RequestArgs& args, BuiltCommand& out) {
  const int32_t index = args.Int("index", 0, 127);
  out.action = [index, data = out.data](ZarvoLine* line, int32_t address) {
    HolidayRecord record{};
    const int32_t result = Zarvo_LineHolidayTable(line, address, index, record, 0);
    if (result == ZARVO_OK) *data = {{"month", record[0]}, {"day", record[1]}};
    return result;
  };
}

void HolidayWrite(RequestArgs& args, BuiltCommand& out) {
  const int32_t index = args.Int("index", 0, 127);
  const int32_t month = args.Int("month", 1, 12);
  const int32_t day = args.Int("day", 1, 31);
  out.action = [index, month, day](ZarvoLine* line, int32_t address) {
    HolidayRecord record = {month, day};
    return Zarvo_LineHolidayTable(line, address, index, record, 1);
  };
}

void ChainRead(RequestArgs& args, BuiltCommand& out) {
  const int32_t group = args.Int("group", 0, 1);
  out.action = [group, data = out.data](ZarvoLine* line, int32_t address) {
    ChainRecord record{};
    const int32_t result = Zarvo_LineChianTable(line, address, record, group, 0);
    if (result == ZARVO_OK) {
      *data = {{"entries", {record[0], record[1], record[2], record[3]}}, {"value", record[4]}};
    }
    return result;
  };
}

void ChainWrite(RequestArgs& args, BuiltCommand& out) {
  const int32_t group = args.Int("group", 0, 1);
  const std::vector<int32_t> entries = args.IntList("entries", 4, 0, 31);
  const int32_t value = args.Int("value", 0, 0xFFFF);
  out.action = [group, entries, value](ZarvoLine* line, int32_t address) {
    ChainRecord record = {entries[0], entries[1], entries[2], entries[3], value};
    return Zarvo_LineChianTable(line, address, record, group, 1);
  };
}

constexpr CommandSpec kCommands[] = {
    {"table.week.read", CommandKind::kRead, WeekRead<Zarvo_LineTimeTable, 15>},
    {"table.week.write", CommandKind::kChange, WeekWrite<Zarvo_LineTimeTable, 15>},
    {"table.holiday_week.read", CommandKind::kRead, WeekRead<Zarvo_LineHolidayTimeTable, 7>},
    {"table.holiday_week.write", CommandKind::kChange, WeekWrite<Zarvo_LineHolidayTimeTable, 7>},
    {"table.always_open.read", CommandKind::kRead, WeekRead<Zarvo_LineAlwaysOpenOfWeek, 7>},
    {"table.always_open.write", CommandKind::kChange, WeekWrite<Zarvo_LineAlwaysOpenOfWeek, 7>},
    {"holiday.read", CommandKind::kRead, HolidayRead},
    {"holiday.write", CommandKind::kChange, HolidayWrite},
    {"chain.read", CommandKind::kRead, ChainRead},
    {"chain.write", CommandKind::kChange, ChainWrite},
};

}  // namespace

std::span<const CommandSpec> TableCommands() { return kCommands; }

}  // namespace zarvo::mqtt
