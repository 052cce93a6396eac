// Table commands: weekly, holiday and always-open time tables, the holiday
// list and the chain table, each read and written whole.
#include <algorithm>
#include <optional>
#include <span>

#include "commands/command_codes.h"
#include "handlers.h"

namespace zarvo::sim {
namespace {

// A time table read answers the block and 32 unused zero bytes.
constexpr size_t kWeekReplyBytes = 256;

void Refuse(Reply& reply) { reply.status = kStatusRefused; }

TableKind KindOf(uint8_t command) {
  switch (command) {
    case kCmdReadHolidayTimeTable:
    case kCmdWriteHolidayTimeTable: return TableKind::kHolidayTimes;
    case kCmdReadAlwaysOpen:
    case kCmdWriteAlwaysOpen: return TableKind::kAlwaysOpen;
    default: return TableKind::kWeekly;
  }
}

// The N parameters after the first `skip`, unless fewer came.
template <size_t N>
std::optional<std::span<const uint8_t, N>> Parameters(const Request& request, size_t skip) {
  if (request.param_count() < skip + N) return std::nullopt;
  return std::span<const uint8_t, N>(request.body.data() + 3 + skip, N);
}

void ReadTimeTable(ControllerState& state, const Request& request, Reply& reply) {
  const WeekBlock* block = state.tables.Find(KindOf(request.command), request.param(0));
  if (block == nullptr) return Refuse(reply);
  reply.payload.assign(block->begin(), block->end());
  reply.payload.resize(kWeekReplyBytes, 0);
}

void WriteTimeTable(ControllerState& state, const Request& request, Reply& reply) {
  WeekBlock* block = state.tables.Find(KindOf(request.command), request.param(0));
  const auto sent = Parameters<kWeekBlockBytes>(request, 1);
  if (block == nullptr || !sent || !TableStore::IsValidWeekBlock(*sent)) return Refuse(reply);
  std::copy(sent->begin(), sent->end(), block->begin());
  state.LogEvent(kEventSettingsChanged, request.command, request.param(0), 0);
}

void ReadHolidays(ControllerState& state, const Request&, Reply& reply) {
  reply.payload.assign(state.tables.holidays.begin(), state.tables.holidays.end());
}

void WriteHolidays(ControllerState& state, const Request& request, Reply& reply) {
  const auto sent = Parameters<kHolidayListBytes>(request, 0);
  if (!sent || !TableStore::IsValidHolidayList(*sent)) return Refuse(reply);
  std::copy(sent->begin(), sent->end(), state.tables.holidays.begin());
  state.LogEvent(kEventSettingsChanged, request.command, 0, 0);
}

void ReadChain(ControllerState& state, const Request&, Reply& reply) {
  reply.payload.assign(state.tables.chain.begin(), state.tables.chain.end());
}

void WriteChain(ControllerState& state, const Request& request, Reply& reply) {
  const auto sent = Parameters<kChainTableBytes>(request, 0);
  if (!sent || !TableStore::IsValidChain(*sent) || !state.tables.WriteChain(*sent)) {
    return Refuse(reply);
  }
  state.LogEvent(kEventSettingsChanged, request.command, 0, 0);
}

}  // namespace

void RegisterTableHandlers(HandlerTable& table) {
  for (uint8_t code : {kCmdReadTimeTable, kCmdReadHolidayTimeTable, kCmdReadAlwaysOpen}) {
    table[code] = ReadTimeTable;
  }
  for (uint8_t code : {kCmdWriteTimeTable, kCmdWriteHolidayTimeTable, kCmdWriteAlwaysOpen}) {
    table[code] = WriteTimeTable;
  }
  table[kCmdReadHolidays] = ReadHolidays;
  table[kCmdWriteHolidays] = WriteHolidays;
  table[kCmdReadChain] = ReadChain;
  table[kCmdWriteChain] = WriteChain;
}

}  // namespace zarvo::sim
