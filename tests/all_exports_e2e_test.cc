// One session that drives every exported function through a pseudo-terminal
// against the virtual controller, and checks what the controller holds
// afterwards.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>

#include "sim_fixture.h"

namespace zarvo {
namespace {

using sim::ControllerState;
using sim::TableKind;

class AllExportsTest : public testing::SimTest {
 protected:
  ControllerState& Controller(uint8_t address) {
    ControllerState* found = nullptr;
    bus_.WithController(address, [&](ControllerState& s) { found = &s; });
    EXPECT_NE(found, nullptr) << "no controller at " << int{address};
    return *found;  // the bus is idle between calls
  }

  // Marks an export as driven; the test ends by checking all 34 were.
  int32_t Call(const char* name, int32_t result) {
    driven_.insert(name);
    return result;
  }

  std::set<std::string> driven_;
};

TEST_F(AllExportsTest, EveryExportChangesTheControllerAsExpected) {
  // Serial port.
  ASSERT_EQ(Call("CloseCom", Zarvo_CloseCom()), ZARVO_OK);
  ASSERT_EQ(Call("OpenCom", Zarvo_OpenCom(bus_.device_name().c_str(), 9600)), ZARVO_OK);

  // Controller management.
  EXPECT_EQ(Call("SearchAR", Zarvo_SearchAR(1)), ZARVO_OK);
  char version[32] = {};
  EXPECT_EQ(Call("Ver", Zarvo_Ver(1, version)), ZARVO_OK);
  EXPECT_EQ(std::string(version, 5), Controller(1).version.substr(0, 5));
  EXPECT_EQ(Call("Time", Zarvo_Time(1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).clock.Now().year, sim::LocalNow().year);
  int32_t values[6] = {};
  EXPECT_EQ(Call("DeviceInformation", Zarvo_DeviceInformation(1, values)), ZARVO_OK);
  EXPECT_EQ(values[0], 4);
  EXPECT_EQ(Call("ChangeBaud", Zarvo_ChangeBaud(1, 19200)), ZARVO_OK);
  EXPECT_EQ(Controller(1).baud_code, 2);

  // Cards.
  CardRecord card{};
  std::strcpy(card.cardNumber, "1000");
  std::strcpy(card.pin, "12ab56");
  std::memset(card.flags, '0', sizeof card.flags);
  card.flags[3] = '1';
  card.value1 = 9;
  card.year = 2031;
  card.month = 6;
  card.day = 30;
  uint32_t ticks = 0;
  EXPECT_EQ(Call("Registry", Zarvo_Registry(1, &card, &ticks, 1, 0)), ZARVO_OK);
  const sim::SingleCard* stored = Controller(1).cards.FindSingle(1000);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->value1, 9);
  EXPECT_EQ(stored->flags, 1u << 3);
  EXPECT_EQ(stored->pin, (std::array<uint8_t, 3>{0x12, 0xAB, 0x56}));

  DoubleCardRecord pair{};
  std::strcpy(pair.cardNumber1, "2000");
  std::strcpy(pair.cardNumber2, "2001");
  std::memset(pair.flags, '0', sizeof pair.flags);
  pair.year = 2031;
  pair.month = pair.day = 1;
  EXPECT_EQ(Call("RegistryDouble", Zarvo_RegistryDouble(1, &pair, &ticks, 1)), ZARVO_OK);
  EXPECT_NE(Controller(1).cards.FindDouble(2000, 2001), nullptr);
  EXPECT_EQ(Zarvo_RegistryDouble(1, &pair, &ticks, 2), ZARVO_OK);
  EXPECT_EQ(Controller(1).cards.FindDouble(2000, 2001), nullptr);

  // Tables.
  int32_t day[33] = {2, 7, 30, 12, 0};
  EXPECT_EQ(Call("TimeTable", Zarvo_TimeTable(1, 3, day, 1)), ZARVO_OK);
  const uint8_t* weekly = Controller(1).tables.Find(TableKind::kWeekly, 3)->data() + 2 * 32;
  EXPECT_EQ(std::vector<uint8_t>(weekly, weekly + 4), (std::vector<uint8_t>{0x07, 0x30, 0x12, 0x00}));
  int32_t holiday_day[33] = {5, 10, 0, 14, 0};
  EXPECT_EQ(Call("HolidayTimeTable", Zarvo_HolidayTimeTable(1, 1, holiday_day, 1)), ZARVO_OK);
  EXPECT_EQ(holiday_day[0], 0);  // holiday time tables use day segment 0
  EXPECT_EQ(Controller(1).tables.Find(TableKind::kHolidayTimes, 1)->at(0), 0x10);
  int32_t open_day[33] = {4, 12, 0, 13, 30};
  EXPECT_EQ(Call("AlwaysOpenOfWeek", Zarvo_AlwaysOpenOfWeek(1, 2, open_day, 1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).tables.Find(TableKind::kAlwaysOpen, 2)->at(4 * 32 + 3), 0x30);
  int32_t holiday[2] = {7, 4};
  EXPECT_EQ(Call("HolidayTable", Zarvo_HolidayTable(1, 10, holiday, 1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).tables.holidays[20], 0x07);
  EXPECT_EQ(Controller(1).tables.holidays[21], 0x04);
  int32_t chain[5] = {1, 2, 3, 4, 300};
  EXPECT_EQ(Call("ChianTable", Zarvo_ChianTable(1, chain, 1, 1)), ZARVO_OK);
  const auto& stored_chain = Controller(1).tables.chain;
  EXPECT_EQ(std::vector<uint8_t>(stored_chain.begin() + 6, stored_chain.end()),
            (std::vector<uint8_t>{1, 2, 3, 4, 0x01, 0x2C}));

  // Door settings.
  char password[] = "1234abcd";
  EXPECT_EQ(Call("PassWordOpenDoor", Zarvo_PassWordOpenDoor(1, 2, password)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(2).password, (std::array<uint8_t, 4>{0x12, 0x34, 0xAB, 0xCD}));
  AccessLevelRecord access = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(Call("AccessLevel", Zarvo_AccessLevel(1, 1, &access, 1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(1).access, (std::array<uint8_t, 2>{0xBF, 0x81}));
  WarnLevelRecord alarm = {1, 1, 1, 1, 1, 1, 1, 2, 3, 1, 0};
  EXPECT_EQ(Call("WarnLevel", Zarvo_WarnLevel(1, 1, &alarm, 1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(1).alarm, (std::array<uint8_t, 2>{0x7F, 0x1E}));
  WarnLevelRecord alarm_back{};
  EXPECT_EQ(Zarvo_WarnLevel(1, 1, &alarm_back, 0), ZARVO_OK);
  EXPECT_EQ(std::memcmp(&alarm, &alarm_back, sizeof alarm), 0);
  const int32_t delays[4] = {1, 5, 7, 9};
  EXPECT_EQ(Call("Delay", Zarvo_Delay(1, delays, 0)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(3).delay, 9);
  char duress[] = "00001234";
  EXPECT_EQ(Call("MenaceCode", Zarvo_MenaceCode(1, duress)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.duress_code, (std::array<uint8_t, 4>{0x00, 0x00, 0x12, 0x34}));
  char lock_flags[32] = {1, 1};
  EXPECT_EQ(Call("MutualLock", Zarvo_MutualLock(1, 3, lock_flags)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(3).interlock, 0x3u);

  // Remote door control.
  EXPECT_EQ(Call("RemoteOpenDoor", Zarvo_RemoteOpenDoor(1, 1, 5)), ZARVO_OK);
  EXPECT_TRUE(Controller(1).doors.at(1).open);
  EXPECT_EQ(Call("RemoteCloseDoor", Zarvo_RemoteCloseDoor(1, 1)), ZARVO_OK);
  EXPECT_FALSE(Controller(1).doors.at(1).open);
  ASSERT_TRUE(Controller(1).doors.at(0).alarm_raised);
  EXPECT_EQ(Call("RemoteClearWarn", Zarvo_RemoteClearWarn(1, 0)), ZARVO_OK);
  EXPECT_FALSE(Controller(1).doors.at(0).alarm_raised);

  // Door-to-table links.
  EXPECT_EQ(Call("RelationTimeTable", Zarvo_RelationTimeTable(1, 2, 3, 7)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(2).time_table_links[3], 7);
  EXPECT_EQ(Call("RelationHolidayTimeTable", Zarvo_RelationHolidayTimeTable(1, 2, 15, 12)),
            ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(2).holiday_time_table_links[15], 12);
  EXPECT_EQ(Call("RelationAlwaysOpenOfWeek", Zarvo_RelationAlwaysOpenOfWeek(1, 2, 9)), ZARVO_OK);
  EXPECT_EQ(Controller(1).doors.at(2).always_open_link, 9);

  // Event log: the door just opened is in it.
  static EventRecord records[192];
  const int32_t count = Call("ReadRecordOfBlock", Zarvo_ReadRecordOfBlock(1, 0, records));
  ASSERT_GT(count, 0);
  EXPECT_EQ(static_cast<size_t>(count), Controller(1).events.records().size());
  bool door_opened = false;
  for (int32_t i = 0; i < count; ++i) door_opened |= records[i].value1 == sim::kEventDoorOpened;
  EXPECT_TRUE(door_opened);
  EventRecord one{};
  EXPECT_EQ(Call("ReadOne", Zarvo_ReadOne(1, &one)), ZARVO_OK);
  EXPECT_EQ(Call("MoveNext", Zarvo_MoveNext(1, &one)), ZARVO_OK);
  EXPECT_EQ(Controller(1).events.position(), 1u);
  EXPECT_EQ(Call("ClearRecord", Zarvo_ClearRecord(1)), ZARVO_OK);
  EXPECT_TRUE(Controller(1).events.records().empty());
  EXPECT_EQ(Call("RestoreRecord", Zarvo_RestoreRecord(1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).events.records().size(), static_cast<size_t>(count));
  EXPECT_EQ(Call("RestoreMaxRecord", Zarvo_RestoreMaxRecord(0)), ZARVO_OK);

  // Initialise resets the cards; a new address moves controller 2.
  EXPECT_EQ(Call("Init", Zarvo_Init(1)), ZARVO_OK);
  EXPECT_EQ(Controller(1).cards.FindSingle(1000), nullptr);
  EXPECT_EQ(Call("ChangeAR", Zarvo_ChangeAR(2, 7)), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(7), ZARVO_OK);
  EXPECT_EQ(Controller(7).address, 7);

  EXPECT_EQ(driven_.size(), 34u);
}

}  // namespace
}  // namespace zarvo
