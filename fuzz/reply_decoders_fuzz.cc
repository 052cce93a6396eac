// Every command that decodes a reply, fed an arbitrary payload: event
// records, card entries, setting bytes, table blocks. Nothing may be
// written outside the caller's record, whatever the payload.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "commands/card_registry.h"
#include "commands/chain_table.h"
#include "commands/command_codes.h"
#include "commands/door_settings.h"
#include "commands/event_log.h"
#include "commands/holiday_table.h"
#include "commands/management.h"
#include "commands/week_tables.h"
#include "scripted_line.h"

namespace {

using zarvo::Line;
using Payload = std::vector<uint8_t>;

// A caller record with guard bytes on both sides.
template <typename T>
struct Guarded {
  uint8_t before[32];
  T value;
  uint8_t after[32];

  Guarded() { std::memset(this, 0x5A, sizeof *this); }
  void Check() const {
    for (uint8_t b : before)
      if (b != 0x5A) std::abort();
    for (uint8_t b : after)
      if (b != 0x5A) std::abort();
  }
};

void Run(uint8_t which, const Payload& payload) {
  zarvo::testing::ScriptedLine t;
  Line& s = t.line();
  auto reply = [&](uint8_t command) { t.Reply(1, command, payload); };
  uint32_t ticks = 0;
  switch (which % 12) {
    case 0: {
      Guarded<int32_t[6]> values;
      reply(zarvo::kCmdDeviceInformation);
      zarvo::DeviceInformation(s, 1, values.value);
      values.Check();
      break;
    }
    case 1: {
      Guarded<char[32]> version;
      reply(zarvo::kCmdReadVersion);
      zarvo::Ver(s, 1, version.value);
      version.Check();
      break;
    }
    case 2: {
      Guarded<EventRecord[192]> records;
      reply(zarvo::kCmdReadEventBlock);
      const int32_t n = zarvo::ReadRecordOfBlock(s, 1, 0, records.value);
      if (n > 192) std::abort();
      records.Check();
      break;
    }
    case 3: {
      Guarded<EventRecord> record;
      reply(zarvo::kCmdNextEvent);
      zarvo::MoveNext(s, 1, record.value);
      record.Check();
      break;
    }
    case 4: {
      Guarded<CardRecord> card;
      std::strcpy(card.value.cardNumber, "123");
      reply(zarvo::kCmdReadCard);
      zarvo::Registry(s, 1, card.value, ticks, 0, 0);
      card.Check();
      break;
    }
    case 5: {
      Guarded<DoubleCardRecord> card;
      std::strcpy(card.value.cardNumber1, "1");
      std::strcpy(card.value.cardNumber2, "2");
      reply(zarvo::kCmdReadDoubleCard);
      zarvo::RegistryDouble(s, 1, card.value, ticks, 0);
      card.Check();
      break;
    }
    case 6:
    case 7: {
      Guarded<TimeTableRecord> day;
      day.value[0] = 3;
      reply(zarvo::kCmdReadTimeTable);
      t.Reply(1, zarvo::kCmdWriteTimeTable);
      zarvo::TimeTable(s, 1, 2, day.value, which % 12 == 6 ? 0 : 1);
      day.Check();
      break;
    }
    case 8: {
      Guarded<HolidayRecord> holiday;
      reply(zarvo::kCmdReadHolidays);
      zarvo::HolidayTable(s, 1, 127, holiday.value, 0);
      holiday.Check();
      break;
    }
    case 9: {
      Guarded<ChainRecord> chain;
      reply(zarvo::kCmdReadChain);
      zarvo::ChianTable(s, 1, chain.value, 1, 0);
      chain.Check();
      break;
    }
    case 10: {
      Guarded<AccessLevelRecord> access;
      reply(zarvo::kCmdReadAccessMode);
      zarvo::AccessLevel(s, 1, 3, access.value, 0);
      access.Check();
      break;
    }
    default: {
      Guarded<WarnLevelRecord> alarm;
      reply(zarvo::kCmdReadAlarmMode);
      zarvo::WarnLevel(s, 1, 0, alarm.value, 0);
      alarm.Check();
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Run(data[0], Payload(data + 1, data + std::min<size_t>(size, 4000)));
  return 0;
}
