// Everything one virtual controller remembers. Each command group keeps its
// part in a store of its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "controller_clock.h"
#include "event_log.h"
#include "state/card_store.h"
#include "state/door_store.h"
#include "state/table_store.h"

namespace zarvo::sim {

inline constexpr uint8_t kDefaultBaudCode = 1;  // 9600 bit/s
inline constexpr uint16_t kDoorCount = 4;
inline constexpr uint16_t kFirmwareBuild = 231;

struct ControllerState {
  explicit ControllerState(uint8_t bus_address) : address(bus_address) {
    SeedHistory(events, clock);
  }

  uint8_t address;
  uint8_t baud_code = kDefaultBaudCode;
  std::string version = "ZAC-4 V2.31 2026-11";
  ControllerClock clock;
  EventLog events;
  CardStore cards;
  TableStore tables;
  DoorStore doors;

  // Logs an event stamped with the controller's clock.
  void LogEvent(uint8_t value1, uint8_t value2, uint32_t number1, uint32_t number2) {
    events.Append(MakeStoredEvent(clock.Now(), value1, value2, number1, number2));
  }

  // The six values the device-information command reports, in order: door
  // count, event log capacity, records in the log, the log's read position,
  // records set aside by a clear (a restore brings them back), firmware
  // build number.
  std::array<uint16_t, 6> DeviceValues() const {
    return {kDoorCount,
            static_cast<uint16_t>(events.capacity()),
            static_cast<uint16_t>(events.records().size()),
            static_cast<uint16_t>(events.position()),
            static_cast<uint16_t>(events.set_aside()),
            kFirmwareBuild};
  }

  // Back to factory settings: no cards, empty tables, default door
  // settings. The bus address, line speed and clock stay, so the host can
  // still reach the controller, and the event log stays as the record of
  // what happened.
  void ResetSettings() {
    cards = CardStore{};
    tables = TableStore{};
    doors = DoorStore{};
  }
};

}  // namespace zarvo::sim
