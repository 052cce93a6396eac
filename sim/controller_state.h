// Everything one virtual controller remembers. Each command group keeps its
// part in a store of its own.
#pragma once

#include <cstdint>
#include <string>

#include "controller_clock.h"
#include "event_log.h"
#include "state/card_store.h"
#include "state/door_store.h"
#include "state/table_store.h"

namespace zarvo::sim {

struct ControllerState {
  explicit ControllerState(uint8_t bus_address) : address(bus_address) {}

  uint8_t address;
  uint8_t baud_code = 1;  // 9600 bit/s
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
};

}  // namespace zarvo::sim
