/* Every controller operation, once on the default line (Zarvo_<Op>) and once
 * on a line handle (Zarvo_Line<Op>), from the same rows. The rows leave the
 * virtual controllers (addresses 1 and 2) as they found them, so the list
 * can run twice. */
#include <string.h>

#include "probe.h"

static int CardReadBack(void) {
  const CardRecord* c = &probe.card_back;
  return strcmp(c->cardNumber, "04000000") == 0 && strcmp(c->pin, "12AB56") == 0 &&
         c->flags[3] == '1' && c->value1 == 9 && c->year == 2031 && c->month == 6 && c->day == 30;
}

static int PairReadBack(void) {
  const DoubleCardRecord* p = &probe.pair_back;
  return p->value2 == 3 && p->year == 2030 && p->month == 2 && p->day == 28;
}

static int PeriodsMatch(const int32_t* written, const int32_t* read) {
  return memcmp(written + 1, read + 1, 4 * sizeof(int32_t)) == 0;
}

static int DoorOpenedLogged(int32_t count) {
  for (int32_t i = 0; i < count && i < 192; ++i) {
    if (probe.records[i].value1 == 4) return 1;
  }
  return 0;
}

/* The inputs of the rows, set afresh before each run of the list. */
static void PrepareOperationBuffers(void) {
  static const TimeTableRecord week = {2, 7, 30, 12, 0};
  static const TimeTableRecord holiday_times = {5, 10, 0, 14, 0};
  static const TimeTableRecord always_open = {4, 12, 0, 13, 30};
  static const AccessLevelRecord access = {1, 0, 1, 1, 0, 1, 1, 0, 1};
  static const WarnLevelRecord alarm = {1, 1, 0, 1, 1, 0, 1, 2, 3, 1, 0};
  static const ChainRecord chain = {1, 2, 3, 4, 300};
  memset(probe.text, 0, sizeof probe.text);
  memset(probe.values, 0, sizeof probe.values);

  memset(&probe.card, 0, sizeof probe.card);
  strcpy(probe.card.cardNumber, "4000000");
  strcpy(probe.card.pin, "12ab56");
  memset(probe.card.flags, '0', sizeof probe.card.flags);
  probe.card.flags[3] = '1';
  probe.card.value1 = 9;
  probe.card.year = 2031;
  probe.card.month = 6;
  probe.card.day = 30;
  memset(&probe.card_back, 0, sizeof probe.card_back);
  strcpy(probe.card_back.cardNumber, "4000000");

  memset(&probe.pair, 0, sizeof probe.pair);
  strcpy(probe.pair.cardNumber1, "2000");
  strcpy(probe.pair.cardNumber2, "2001");
  memset(probe.pair.flags, '0', sizeof probe.pair.flags);
  probe.pair.value2 = 3;
  probe.pair.year = 2030;
  probe.pair.month = 2;
  probe.pair.day = 28;
  memset(&probe.pair_back, 0, sizeof probe.pair_back);
  strcpy(probe.pair_back.cardNumber1, "2000");
  strcpy(probe.pair_back.cardNumber2, "2001");

  memcpy(probe.week, week, sizeof week);
  memcpy(probe.holiday_times, holiday_times, sizeof holiday_times);
  memcpy(probe.always_open, always_open, sizeof always_open);
  memset(probe.day_back, 0, sizeof probe.day_back);
  probe.holiday[0] = 7;
  probe.holiday[1] = 4;
  memset(probe.holiday_back, 0, sizeof probe.holiday_back);
  memcpy(probe.chain, chain, sizeof chain);
  memset(probe.chain_back, 0, sizeof probe.chain_back);
  strcpy(probe.password, "1234abcd");
  strcpy(probe.menace, "0000ab34");
  probe.access = access;
  memset(&probe.access_back, 0, sizeof probe.access_back);
  probe.alarm = alarm;
  memset(&probe.alarm_back, 0, sizeof probe.alarm_back);
  memset(probe.lock_flags, 0, sizeof probe.lock_flags);
  probe.lock_flags[0] = probe.lock_flags[1] = 1;
}

/* Reads a table day back: element 0 says which day. */
static int32_t* DayToRead(int32_t day) {
  memset(probe.day_back, 0, sizeof probe.day_back);
  probe.day_back[0] = day;
  return probe.day_back;
}

static const int32_t kDelays[4] = {1, 5, 7, 9};

/* A row: an id, the operation, its arguments, the result wanted, and a check
 * of what the call wrote back (1 when there is nothing to check). */
#define OPERATION_CALLS(X)                                                                       \
  X(open, OpenCom, (probe.port, 9600), ZARVO_OK, 1)                                              \
  X(search, SearchAR, (1), ZARVO_OK, 1)                                                          \
  X(search_silent, SearchAR, (9), ZARVO_E_NO_REPLY, 1)                                           \
  X(version, Ver, (1, probe.text), ZARVO_OK, strncmp(probe.text, "ZAC-4 V", 7) == 0)             \
  X(set_clock, Time, (1), ZARVO_OK, 1)                                                           \
  X(device_info, DeviceInformation, (1, probe.values), ZARVO_OK, probe.values[0] == 4)           \
  X(baud_up, ChangeBaud, (1, 19200), ZARVO_OK, 1)                                                \
  X(baud_back, ChangeBaud, (1, 9600), ZARVO_OK, 1)                                               \
  X(card_write, Registry, (1, &probe.card, &probe.ticks, 1, 0), ZARVO_OK,                        \
    strcmp(probe.card.pin, "12AB56") == 0 && probe.ticks < 1000)                                 \
  X(card_read, Registry, (1, &probe.card_back, &probe.ticks, 0, 0), ZARVO_OK, CardReadBack())    \
  X(card_delete, Registry, (1, &probe.card, &probe.ticks, 2, 0), ZARVO_OK, 1)                    \
  X(card_gone, Registry, (1, &probe.card_back, &probe.ticks, 0, 0), ZARVO_E_REFUSED, 1)          \
  X(pair_write, RegistryDouble, (1, &probe.pair, &probe.ticks, 1), ZARVO_OK, 1)                  \
  X(pair_read, RegistryDouble, (1, &probe.pair_back, &probe.ticks, 0), ZARVO_OK, PairReadBack()) \
  X(pair_delete, RegistryDouble, (1, &probe.pair, &probe.ticks, 2), ZARVO_OK, 1)                 \
  X(week_write, TimeTable, (1, 3, probe.week, 1), ZARVO_OK, 1)                                   \
  X(week_read, TimeTable, (1, 3, DayToRead(2), 0), ZARVO_OK,                                     \
    PeriodsMatch(probe.week, probe.day_back))                                                    \
  X(holiday_times_write, HolidayTimeTable, (1, 1, probe.holiday_times, 1), ZARVO_OK,             \
    probe.holiday_times[0] == 0)                                                                 \
  X(holiday_times_read, HolidayTimeTable, (1, 1, DayToRead(0), 0), ZARVO_OK,                     \
    PeriodsMatch(probe.holiday_times, probe.day_back))                                           \
  X(always_open_write, AlwaysOpenOfWeek, (1, 2, probe.always_open, 1), ZARVO_OK, 1)              \
  X(always_open_read, AlwaysOpenOfWeek, (1, 2, DayToRead(4), 0), ZARVO_OK,                       \
    PeriodsMatch(probe.always_open, probe.day_back))                                             \
  X(holiday_write, HolidayTable, (1, 10, probe.holiday, 1), ZARVO_OK, 1)                         \
  X(holiday_read, HolidayTable, (1, 10, probe.holiday_back, 0), ZARVO_OK,                        \
    probe.holiday_back[0] == 7 && probe.holiday_back[1] == 4)                                    \
  X(chain_write, ChianTable, (1, probe.chain, 1, 1), ZARVO_OK, 1)                                \
  X(chain_read, ChianTable, (1, probe.chain_back, 1, 0), ZARVO_OK,                               \
    memcmp(probe.chain, probe.chain_back, sizeof probe.chain) == 0)                              \
  X(password, PassWordOpenDoor, (1, 2, probe.password), ZARVO_OK,                                \
    strcmp(probe.password, "1234ABCD") == 0)                                                     \
  X(access_write, AccessLevel, (1, 1, &probe.access, 1), ZARVO_OK, 1)                            \
  X(access_read, AccessLevel, (1, 1, &probe.access_back, 0), ZARVO_OK,                           \
    memcmp(&probe.access, &probe.access_back, sizeof probe.access) == 0)                         \
  X(alarm_write, WarnLevel, (1, 1, &probe.alarm, 1), ZARVO_OK, 1)                                \
  X(alarm_read, WarnLevel, (1, 1, &probe.alarm_back, 0), ZARVO_OK,                               \
    memcmp(&probe.alarm, &probe.alarm_back, sizeof probe.alarm) == 0)                            \
  X(delay, Delay, (1, kDelays, 0), ZARVO_OK, 1)                                                  \
  X(menace, MenaceCode, (1, probe.menace), ZARVO_OK, strcmp(probe.menace, "0000AB34") == 0)      \
  X(mutual_lock, MutualLock, (1, 3, probe.lock_flags), ZARVO_OK, 1)                              \
  X(door_open, RemoteOpenDoor, (1, 1, 5), ZARVO_OK, 1)                                           \
  X(door_close, RemoteCloseDoor, (1, 1), ZARVO_OK, 1)                                            \
  X(alarm_clear, RemoteClearWarn, (1, 0), ZARVO_OK, 1)                                           \
  X(link_week, RelationTimeTable, (1, 2, 3, 7), ZARVO_OK, 1)                                     \
  X(link_holiday, RelationHolidayTimeTable, (1, 2, 15, 12), ZARVO_OK, 1)                         \
  X(link_always_open, RelationAlwaysOpenOfWeek, (1, 2, 9), ZARVO_OK, 1)                          \
  X(log_block, ReadRecordOfBlock, (1, 0, probe.records), SOME_RECORDS, DoorOpenedLogged(result)) \
  X(log_one, ReadOne, (1, &probe.record), ZARVO_OK, strncmp(probe.record.date, "20", 2) == 0)    \
  X(log_next, MoveNext, (1, &probe.record), ZARVO_OK, 1)                                         \
  X(log_clear, ClearRecord, (1), ZARVO_OK, 1)                                                    \
  X(log_cleared, ReadRecordOfBlock, (1, 0, probe.records), 0, 1)                                 \
  X(log_restore, RestoreRecord, (1), ZARVO_OK, 1)                                                \
  X(log_restore_max, RestoreMaxRecord, (0), ZARVO_OK, 1)                                         \
  X(init, Init, (1), ZARVO_OK, 1)                                                                \
  X(move_address, ChangeAR, (2, 7), ZARVO_OK, 1)                                                 \
  X(moved, SearchAR, (7), ZARVO_OK, 1)                                                           \
  X(move_back, ChangeAR, (7, 2), ZARVO_OK, 1)

#define LINE_ARGS(...) (probe.line, __VA_ARGS__)

#define DEFINE_DEFAULT(id, op, args, want, check) \
  DEFINE_PROBE_CALL(default_##id, "Zarvo_" #op #args, Zarvo_##op args, check)
#define DEFAULT_ROW(id, op, args, want, check) \
  PROBE_ROW(default_##id, "Zarvo_" #op #args, want, check)
#define DEFINE_LINE(id, op, args, want, check) \
  DEFINE_PROBE_CALL(line_##id, "Zarvo_Line" #op #args, Zarvo_Line##op LINE_ARGS args, check)
#define LINE_ROW(id, op, args, want, check) \
  PROBE_ROW(line_##id, "Zarvo_Line" #op #args, want, check)

#define DEFAULT_CLOSE_CALLS(X)                    \
  X(default_close, Zarvo_CloseCom(), ZARVO_OK, 1) \
  X(default_closed, Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN, 1)

OPERATION_CALLS(DEFINE_DEFAULT)
OPERATION_CALLS(DEFINE_LINE)
DEFAULT_CLOSE_CALLS(DEFINE_CALL)

int RunDefaultLineCalls(void) {
  static const ProbeCall calls[] = {OPERATION_CALLS(DEFAULT_ROW) DEFAULT_CLOSE_CALLS(CALL_ROW)};
  PrepareOperationBuffers();
  return RunProbeCalls("default line", calls, sizeof calls / sizeof *calls);
}

/* Leaves the line open for the calls after these. */
int RunLineOperationCalls(void) {
  static const ProbeCall calls[] = {OPERATION_CALLS(LINE_ROW)};
  PrepareOperationBuffers();
  return RunProbeCalls("line handle", calls, sizeof calls / sizeof *calls);
}
