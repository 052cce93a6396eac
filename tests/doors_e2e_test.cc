// The door exports end to end: through the pseudo-terminal to the virtual
// controller, checking what the controller holds afterwards.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "commands/command_codes.h"
#include "handlers.h"
#include "sim_fixture.h"

namespace zarvo {
namespace {

using sim::ControllerState;
using sim::DoorState;
using testing::SimTest;

class DoorsEndToEnd : public SimTest {
 protected:
  // Runs `inspect` on door `door` of the controller at `address`.
  void WithDoor(uint8_t address, size_t door, const std::function<void(DoorState&)>& inspect) {
    ASSERT_TRUE(
        bus_.WithController(address, [&](ControllerState& s) { inspect(s.doors.at(door)); }));
  }
  // The last event the controller at `address` logged: kind and door.
  std::array<uint8_t, 2> LastEvent(uint8_t address) {
    std::array<uint8_t, 2> kind_and_door{};
    bus_.WithController(address, [&](ControllerState& s) {
      const sim::StoredEvent& e = s.events.records().back();
      kind_and_door = {e[6], e[7]};
    });
    return kind_and_door;
  }
};

TEST_F(DoorsEndToEnd, MissingPointersAreRefusedBeforeAnythingIsSent) {
  EXPECT_EQ(Zarvo_PassWordOpenDoor(1, 0, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_AccessLevel(1, 0, nullptr, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_WarnLevel(1, 0, nullptr, 1), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_Delay(1, nullptr, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_MenaceCode(1, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_MutualLock(1, 0, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Requests(), 0u);
}

TEST_F(DoorsEndToEnd, PasswordAndDuressCodeAreStored) {
  char password[] = "1234abcd";
  EXPECT_EQ(Zarvo_PassWordOpenDoor(2, 3, password), ZARVO_OK);
  EXPECT_STREQ(password, "1234ABCD");
  char duress[] = "0000beef";
  EXPECT_EQ(Zarvo_MenaceCode(2, duress), ZARVO_OK);
  ASSERT_TRUE(bus_.WithController(2, [](ControllerState& s) {
    EXPECT_EQ(s.doors.at(3).password, (std::array<uint8_t, 4>{0x12, 0x34, 0xAB, 0xCD}));
    EXPECT_EQ(s.doors.at(0).password, (std::array<uint8_t, 4>{}));
    EXPECT_EQ(s.doors.duress_code, (std::array<uint8_t, 4>{0x00, 0x00, 0xBE, 0xEF}));
  }));
}

TEST_F(DoorsEndToEnd, AccessAndAlarmModesAreWrittenAndReadBack) {
  AccessLevelRecord access = {1, 0, 1, 0, 0, 0, 1, 1, 0};
  EXPECT_EQ(Zarvo_AccessLevel(1, 2, &access, 1), ZARVO_OK);
  WithDoor(1, 2, [](DoorState& d) { EXPECT_EQ(d.access, (std::array<uint8_t, 2>{0x85, 0x01})); });
  AccessLevelRecord access_read = {9, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(Zarvo_AccessLevel(1, 2, &access_read, 0), ZARVO_OK);
  EXPECT_EQ(std::memcmp(&access_read, &access, sizeof access), 0);

  WarnLevelRecord alarm = {0, 1, 0, 0, 0, 0, 1, 2, 3, 0, 1};
  EXPECT_EQ(Zarvo_WarnLevel(1, 1, &alarm, 1), ZARVO_OK);
  WithDoor(1, 1, [](DoorState& d) { EXPECT_EQ(d.alarm, (std::array<uint8_t, 2>{0x42, 0x2E})); });
  WarnLevelRecord alarm_read{};
  EXPECT_EQ(Zarvo_WarnLevel(1, 1, &alarm_read, 0), ZARVO_OK);
  EXPECT_EQ(std::memcmp(&alarm_read, &alarm, sizeof alarm), 0);
}

TEST_F(DoorsEndToEnd, RefusedReadLeavesTheRecordAlone) {
  bus_.InjectFault({sim::FaultKind::kRefuse});
  AccessLevelRecord read = {9, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(Zarvo_AccessLevel(1, 0, &read, 0), ZARVO_E_REFUSED);
  EXPECT_EQ(read.firstBit0, 9);
  EXPECT_EQ(read.secondBit7, 9);
}

TEST_F(DoorsEndToEnd, DelaysGoOnePerDoor) {
  const int32_t delays[4] = {1, 5, 300, -1};
  EXPECT_EQ(Zarvo_Delay(1, delays, 12345), ZARVO_OK);
  ASSERT_TRUE(bus_.WithController(1, [](ControllerState& s) {
    EXPECT_EQ(s.doors.at(0).delay, 1);
    EXPECT_EQ(s.doors.at(1).delay, 5);
    EXPECT_EQ(s.doors.at(2).delay, 0x2C);
    EXPECT_EQ(s.doors.at(3).delay, 0xFF);
  }));
}

TEST_F(DoorsEndToEnd, InterlockedDoorStaysShutWhileItsPartnerIsOpen) {
  char flags[32] = {};
  flags[0] = 1;  // door 1 needs door 0 closed
  flags[20] = 1;
  EXPECT_EQ(Zarvo_MutualLock(1, 1, flags), ZARVO_OK);
  WithDoor(1, 1, [](DoorState& d) { EXPECT_EQ(d.interlock, 0x00100001u); });

  EXPECT_EQ(Zarvo_RemoteOpenDoor(1, 0, 0), ZARVO_OK);
  EXPECT_EQ(Zarvo_RemoteOpenDoor(1, 1, 0), ZARVO_E_REFUSED);
  WithDoor(1, 1, [](DoorState& d) { EXPECT_FALSE(d.open); });
  EXPECT_EQ(Zarvo_RemoteCloseDoor(1, 0), ZARVO_OK);
  EXPECT_EQ(Zarvo_RemoteOpenDoor(1, 1, 0), ZARVO_OK);
  // The mask of door 1 does not bind door 0.
  EXPECT_EQ(Zarvo_RemoteOpenDoor(1, 0, 0), ZARVO_OK);
}

TEST_F(DoorsEndToEnd, RemoteControlChangesTheDoorAndLogsIt) {
  WithDoor(2, 0, [](DoorState& d) { EXPECT_TRUE(d.alarm_raised); });  // seeded

  EXPECT_EQ(Zarvo_RemoteOpenDoor(2, 1, 0x105), ZARVO_OK);
  WithDoor(2, 1, [](DoorState& d) {
    EXPECT_TRUE(d.open);
    EXPECT_EQ(d.open_param, 0x05);
  });
  EXPECT_EQ(LastEvent(2), (std::array<uint8_t, 2>{sim::kEventDoorOpened, 1}));

  EXPECT_EQ(Zarvo_RemoteCloseDoor(2, 1), ZARVO_OK);
  WithDoor(2, 1, [](DoorState& d) { EXPECT_FALSE(d.open); });
  EXPECT_EQ(LastEvent(2), (std::array<uint8_t, 2>{sim::kEventDoorClosed, 1}));

  EXPECT_EQ(Zarvo_RemoteClearWarn(2, 0), ZARVO_OK);
  WithDoor(2, 0, [](DoorState& d) { EXPECT_FALSE(d.alarm_raised); });
  EXPECT_EQ(LastEvent(2), (std::array<uint8_t, 2>{sim::kEventAlarmCleared, 0}));
}

TEST_F(DoorsEndToEnd, SlottedLinkWriteReplacesAllSixteenLinks) {
  EXPECT_EQ(Zarvo_RelationTimeTable(1, 3, 4, 12), ZARVO_OK);
  WithDoor(1, 3, [](DoorState& d) { EXPECT_EQ(d.time_table_links[4], 12); });
  EXPECT_EQ(Zarvo_RelationTimeTable(1, 3, 15, 7), ZARVO_OK);
  WithDoor(1, 3, [](DoorState& d) {
    EXPECT_EQ(d.time_table_links[4], 0);  // the whole area was sent again
    EXPECT_EQ(d.time_table_links[15], 7);
  });

  EXPECT_EQ(Zarvo_RelationHolidayTimeTable(1, 0, 0, 12), ZARVO_OK);
  EXPECT_EQ(Zarvo_RelationAlwaysOpenOfWeek(1, 2, 9), ZARVO_OK);
  ASSERT_TRUE(bus_.WithController(1, [](ControllerState& s) {
    EXPECT_EQ(s.doors.at(0).holiday_time_table_links[0], 12);
    EXPECT_EQ(s.doors.at(0).time_table_links, (std::array<uint8_t, 16>{}));
    EXPECT_EQ(s.doors.at(2).always_open_link, 9);
  }));
}

// What the controller itself refuses, whatever a host sends.
TEST(DoorController, RefusesUnknownDoorsShortRequestsAndBadLinks) {
  struct Case {
    uint8_t command;
    std::vector<uint8_t> params;
  } cases[] = {
      {kCmdOpenDoor, {4, 0}},
      {kCmdCloseDoor, {}},
      {kCmdClearAlarm, {255}},
      {kCmdReadAccessMode, {7}},
      {kCmdWriteAlarmMode, {0, 1}},
      {kCmdDoorDelays, {1, 2, 3}},
      {kCmdDuressCode, {1}},
      {kCmdInterlock, {0, 1, 2, 3}},
      {kCmdLinkTimeTable, {0, 1, 2}},
      {kCmdLinkHolidayTimeTable, {0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {kCmdLinkAlwaysOpen, {1, 16}},
  };
  for (const Case& c : cases) {
    sim::ControllerState state(1);
    sim::Request request;
    request.address = 1;
    request.command = c.command;
    request.body = {0x80, 1, c.command};
    for (uint8_t p : c.params) request.body.push_back(p);
    const size_t events_before = state.events.records().size();
    sim::Reply reply;
    sim::Handlers()[c.command](state, request, reply);
    EXPECT_NE(reply.status, 0) << int{c.command};
    EXPECT_EQ(state.events.records().size(), events_before);
    EXPECT_EQ(state.doors.at(1).always_open_link, 0);
  }
}

}  // namespace
}  // namespace zarvo
