// Every controller operation of the C interface, once. Each row expands into
// the plain export working on the default line (Zarvo_<Name>) and the export
// taking a line handle (Zarvo_Line<Name>); see operation_exports.cc.
//
// A row: the name, the C parameters, the arguments as passed on, the
// pointers that must not be NULL (nothing is sent when one is), and the call
// into the core with `line` locked.
#pragma once

// clang-format off
#define ZARVO_OPERATIONS(X)                                                                   \
  /* Port */                                                                                  \
  X(OpenCom, (const char* portName, int32_t baud), (portName, baud), (),                      \
    OpenComOn(line, portName, baud))                                                          \
  X(CloseCom, (), (), (), CloseComOn(line))                                                   \
  /* Controller management */                                                                 \
  X(SearchAR, (int32_t address), (address), (), SearchAR(line, address))                      \
  X(ChangeAR, (int32_t address, int32_t newAddress), (address, newAddress), (),               \
    ChangeAR(line, address, newAddress))                                                      \
  X(Ver, (int32_t address, char* version), (address, version), (version),                     \
    Ver(line, address, version))                                                              \
  X(Time, (int32_t address), (address), (), Time(line, address))                              \
  X(ChangeBaud, (int32_t address, int32_t baud), (address, baud), (),                         \
    ChangeBaud(line, address, baud))                                                          \
  X(Init, (int32_t address), (address), (), Init(line, address))                              \
  X(DeviceInformation, (int32_t address, int32_t* values), (address, values), (values),       \
    DeviceInformation(line, address, values))                                                 \
  /* Event log */                                                                             \
  X(ReadRecordOfBlock, (int32_t address, int32_t block, EventRecord* records),                \
    (address, block, records), (records), ReadRecordOfBlock(line, address, block, records))   \
  X(ReadOne, (int32_t address, EventRecord* record), (address, record), (record),             \
    ReadOne(line, address, *record))                                                          \
  X(MoveNext, (int32_t address, EventRecord* record), (address, record), (record),            \
    MoveNext(line, address, *record))                                                         \
  X(ClearRecord, (int32_t address), (address), (), ClearRecord(line, address))                \
  X(RestoreRecord, (int32_t address), (address), (), RestoreRecord(line, address))            \
  X(RestoreMaxRecord, (int32_t unused), (unused), (), RestoreMaxRecordOn(line, unused))       \
  /* Card registry */                                                                         \
  X(Registry,                                                                                 \
    (int32_t address, CardRecord* record, uint32_t* ticks, int32_t mode, int32_t flag),       \
    (address, record, ticks, mode, flag), (record, ticks),                                    \
    Registry(line, address, *record, *ticks, mode, flag))                                     \
  X(RegistryDouble,                                                                           \
    (int32_t address, DoubleCardRecord* record, uint32_t* ticks, int32_t mode),               \
    (address, record, ticks, mode), (record, ticks),                                          \
    RegistryDouble(line, address, *record, *ticks, mode))                                     \
  /* Tables */                                                                                \
  X(TimeTable, (int32_t address, int32_t tableNo, int32_t* record, int32_t mode),             \
    (address, tableNo, record, mode), (record), TimeTable(line, address, tableNo, record, mode)) \
  X(HolidayTimeTable, (int32_t address, int32_t tableNo, int32_t* record, int32_t mode),      \
    (address, tableNo, record, mode), (record),                                               \
    HolidayTimeTable(line, address, tableNo, record, mode))                                   \
  X(AlwaysOpenOfWeek, (int32_t address, int32_t tableNo, int32_t* record, int32_t mode),      \
    (address, tableNo, record, mode), (record),                                               \
    AlwaysOpenOfWeek(line, address, tableNo, record, mode))                                   \
  X(HolidayTable, (int32_t address, int32_t index, int32_t* record, int32_t mode),            \
    (address, index, record, mode), (record), HolidayTable(line, address, index, record, mode)) \
  X(ChianTable, (int32_t address, int32_t* record, int32_t group, int32_t mode),              \
    (address, record, group, mode), (record), ChianTable(line, address, record, group, mode)) \
  /* Door settings */                                                                         \
  X(PassWordOpenDoor, (int32_t address, int32_t door, char* password),                        \
    (address, door, password), (password), PassWordOpenDoor(line, address, door, password))   \
  X(AccessLevel, (int32_t address, int32_t door, AccessLevelRecord* settings, int32_t mode),  \
    (address, door, settings, mode), (settings),                                              \
    AccessLevel(line, address, door, *settings, mode))                                        \
  X(WarnLevel, (int32_t address, int32_t door, WarnLevelRecord* settings, int32_t mode),      \
    (address, door, settings, mode), (settings), WarnLevel(line, address, door, *settings, mode)) \
  X(Delay, (int32_t address, const int32_t* delayValues, int32_t reserved),                   \
    (address, delayValues, reserved), (delayValues),                                          \
    (static_cast<void>(reserved), Delay(line, address, delayValues)))                         \
  X(MenaceCode, (int32_t address, char* menaceCode), (address, menaceCode), (menaceCode),     \
    MenaceCode(line, address, menaceCode))                                                    \
  X(MutualLock, (int32_t address, int32_t door, const char* lockFlags),                       \
    (address, door, lockFlags), (lockFlags), MutualLock(line, address, door, lockFlags))      \
  /* Remote door control */                                                                   \
  X(RemoteOpenDoor, (int32_t address, int32_t door, int32_t openParam),                       \
    (address, door, openParam), (), RemoteOpenDoor(line, address, door, openParam))           \
  X(RemoteCloseDoor, (int32_t address, int32_t door), (address, door), (),                    \
    RemoteCloseDoor(line, address, door))                                                     \
  X(RemoteClearWarn, (int32_t address, int32_t door), (address, door), (),                    \
    RemoteClearWarn(line, address, door))                                                     \
  /* Door-to-table relations */                                                               \
  X(RelationTimeTable, (int32_t address, int32_t door, int32_t slot, int32_t linkValue),      \
    (address, door, slot, linkValue), (), RelationTimeTable(line, address, door, slot, linkValue)) \
  X(RelationHolidayTimeTable,                                                                 \
    (int32_t address, int32_t door, int32_t slot, int32_t linkValue),                         \
    (address, door, slot, linkValue), (),                                                     \
    RelationHolidayTimeTable(line, address, door, slot, linkValue))                           \
  X(RelationAlwaysOpenOfWeek, (int32_t address, int32_t door, int32_t linkValue),             \
    (address, door, linkValue), (), RelationAlwaysOpenOfWeek(line, address, door, linkValue))
// clang-format on
