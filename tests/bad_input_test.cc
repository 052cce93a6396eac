// Every export against each kind of invalid argument: the documented result,
// nothing written to the line (the virtual controller's request count), and
// the caller's data unchanged beyond what the call is documented to change.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "sim_fixture.h"

namespace zarvo {
namespace {

// Caller data every row may touch; filled with a recognisable pattern.
struct CallerData {
  CallerData() {
    std::memset(this, 0x5A, sizeof *this);
    std::strcpy(card.cardNumber, "12345");
    std::strcpy(card.pin, "abcdef");
    std::strcpy(text, "1234abcd");
  }
  EventRecord event;
  CardRecord card;
  DoubleCardRecord double_card;
  uint32_t ticks;
  int32_t ints[33];
  AccessLevelRecord access;
  WarnLevelRecord alarm;
  char text[16];
  char bytes[32];
};

struct Row {
  const char* name;
  std::function<int32_t(CallerData&)> call;
  int32_t expected = ZARVO_E_INVALID_ARG;
  // What the call may change in the caller's data, applied to the pristine
  // copy before comparing (nothing by default).
  std::function<void(CallerData&)> documented_change = nullptr;
};

std::vector<Row> Rows() {
  return {
      {"open_null_name", [](CallerData&) { return Zarvo_OpenCom(nullptr, 9600); },
       ZARVO_E_REFUSED},
      {"version_null", [](CallerData&) { return Zarvo_Ver(1, nullptr); }},
      {"device_information_null", [](CallerData&) { return Zarvo_DeviceInformation(1, nullptr); }},
      {"baud_9601", [](CallerData&) { return Zarvo_ChangeBaud(1, 9601); }},
      {"baud_115200", [](CallerData&) { return Zarvo_ChangeBaud(1, 115200); }},
      {"baud_negative", [](CallerData&) { return Zarvo_ChangeBaud(1, -9600); }},
      {"baud_low_byte_of_9600", [](CallerData&) { return Zarvo_ChangeBaud(1, 9600 + 65536); }},
      {"event_block_null", [](CallerData&) { return Zarvo_ReadRecordOfBlock(1, 0, nullptr); }},
      {"read_one_null", [](CallerData&) { return Zarvo_ReadOne(1, nullptr); }},
      {"move_next_null", [](CallerData&) { return Zarvo_MoveNext(1, nullptr); }},
      {"card_mode_3", [](CallerData& d) { return Zarvo_Registry(1, &d.card, &d.ticks, 3, 0); }},
      {"card_mode_negative",
       [](CallerData& d) { return Zarvo_Registry(1, &d.card, &d.ticks, -1, 0); }},
      {"card_null_record", [](CallerData& d) { return Zarvo_Registry(1, nullptr, &d.ticks, 1, 0); }},
      {"card_null_ticks", [](CallerData& d) { return Zarvo_Registry(1, &d.card, nullptr, 1, 0); }},
      {"double_card_mode_3",
       [](CallerData& d) { return Zarvo_RegistryDouble(1, &d.double_card, &d.ticks, 3); }},
      {"double_card_null_ticks",
       [](CallerData& d) { return Zarvo_RegistryDouble(1, &d.double_card, nullptr, 0); }},
      {"double_card_null_record",
       [](CallerData& d) { return Zarvo_RegistryDouble(1, nullptr, &d.ticks, 2); }},
      {"time_table_mode_2", [](CallerData& d) { return Zarvo_TimeTable(1, 0, d.ints, 2); }},
      {"time_table_mode_negative", [](CallerData& d) { return Zarvo_TimeTable(1, 0, d.ints, -1); }},
      {"time_table_null", [](CallerData&) { return Zarvo_TimeTable(1, 0, nullptr, 0); }},
      {"holiday_time_table_mode_2",
       [](CallerData& d) { return Zarvo_HolidayTimeTable(1, 0, d.ints, 2); },
       ZARVO_E_INVALID_ARG, [](CallerData& d) { d.ints[0] = 0; }},
      {"always_open_mode_2", [](CallerData& d) { return Zarvo_AlwaysOpenOfWeek(1, 0, d.ints, 2); }},
      {"always_open_null", [](CallerData&) { return Zarvo_AlwaysOpenOfWeek(1, 0, nullptr, 1); }},
      {"holiday_mode_2", [](CallerData& d) { return Zarvo_HolidayTable(1, 0, d.ints, 2); }},
      {"holiday_null", [](CallerData&) { return Zarvo_HolidayTable(1, 0, nullptr, 0); }},
      {"chain_group_2", [](CallerData& d) { return Zarvo_ChianTable(1, d.ints, 2, 0); }},
      {"chain_group_negative", [](CallerData& d) { return Zarvo_ChianTable(1, d.ints, -1, 1); }},
      {"chain_group_256", [](CallerData& d) { return Zarvo_ChianTable(1, d.ints, 256, 0); }},
      {"chain_mode_2", [](CallerData& d) { return Zarvo_ChianTable(1, d.ints, 0, 2); }},
      {"chain_null", [](CallerData&) { return Zarvo_ChianTable(1, nullptr, 0, 0); }},
      {"password_door_4", [](CallerData& d) { return Zarvo_PassWordOpenDoor(1, 4, d.text); }},
      {"password_door_256", [](CallerData& d) { return Zarvo_PassWordOpenDoor(1, 256, d.text); }},
      {"password_null", [](CallerData&) { return Zarvo_PassWordOpenDoor(1, 0, nullptr); }},
      {"access_door_negative",
       [](CallerData& d) { return Zarvo_AccessLevel(1, -1, &d.access, 0); }},
      {"access_mode_2", [](CallerData& d) { return Zarvo_AccessLevel(1, 0, &d.access, 2); }},
      {"access_null", [](CallerData&) { return Zarvo_AccessLevel(1, 0, nullptr, 1); }},
      {"alarm_door_5", [](CallerData& d) { return Zarvo_WarnLevel(1, 5, &d.alarm, 1); }},
      {"alarm_mode_negative", [](CallerData& d) { return Zarvo_WarnLevel(1, 3, &d.alarm, -1); }},
      {"alarm_null", [](CallerData&) { return Zarvo_WarnLevel(1, 0, nullptr, 0); }},
      {"delay_null", [](CallerData&) { return Zarvo_Delay(1, nullptr, 0); }},
      {"duress_code_null", [](CallerData&) { return Zarvo_MenaceCode(1, nullptr); }},
      {"interlock_door_4", [](CallerData& d) { return Zarvo_MutualLock(1, 4, d.bytes); }},
      {"interlock_null", [](CallerData&) { return Zarvo_MutualLock(1, 0, nullptr); }},
      {"open_door_4", [](CallerData&) { return Zarvo_RemoteOpenDoor(1, 4, 0); }},
      {"open_door_256", [](CallerData&) { return Zarvo_RemoteOpenDoor(1, 256, 0); }},
      {"close_door_negative", [](CallerData&) { return Zarvo_RemoteCloseDoor(1, -1); }},
      {"clear_alarm_door_4", [](CallerData&) { return Zarvo_RemoteClearWarn(1, 4); }},
      {"link_time_door_4", [](CallerData&) { return Zarvo_RelationTimeTable(1, 4, 0, 0); }},
      {"link_time_slot_16", [](CallerData&) { return Zarvo_RelationTimeTable(1, 0, 16, 0); }},
      {"link_time_slot_negative",
       [](CallerData&) { return Zarvo_RelationTimeTable(1, 0, -1, 0); }},
      {"link_time_value_16", [](CallerData&) { return Zarvo_RelationTimeTable(1, 0, 0, 16); }},
      {"link_holiday_value_negative",
       [](CallerData&) { return Zarvo_RelationHolidayTimeTable(1, 0, 0, -1); }},
      {"link_holiday_slot_256",
       [](CallerData&) { return Zarvo_RelationHolidayTimeTable(1, 0, 256, 0); }},
      {"link_always_open_door_4",
       [](CallerData&) { return Zarvo_RelationAlwaysOpenOfWeek(1, 4, 0); }},
      {"link_always_open_value_16",
       [](CallerData&) { return Zarvo_RelationAlwaysOpenOfWeek(1, 0, 16); }},
  };
}

class BadInputTest : public testing::SimTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(BadInputTest, RefusedBeforeAnythingIsSent) {
  const Row row = Rows()[GetParam()];
  SCOPED_TRACE(row.name);
  CallerData data;
  CallerData expected;
  if (row.documented_change) row.documented_change(expected);
  EXPECT_EQ(row.call(data), row.expected);
  EXPECT_EQ(Requests(), 0u) << "something reached the line";
  EXPECT_EQ(std::memcmp(&data, &expected, sizeof data), 0) << "caller data changed";
  // The port is still usable afterwards (unless the row closed it).
  if (row.expected == ZARVO_E_INVALID_ARG) {
    EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  }
}

INSTANTIATE_TEST_SUITE_P(Exports, BadInputTest, ::testing::Range<size_t>(0, Rows().size()),
                         [](const auto& test) { return std::string(Rows()[test.param].name); });

// Values that are cut to their low bits rather than refused.
TEST_F(BadInputTest, AddressesAndCardNumbersWrapToTheirLowBits) {
  EXPECT_EQ(Zarvo_SearchAR(0x101), ZARVO_OK);
  EXPECT_EQ(bus_.last_request()[1], 0x01);

  CardRecord card{};
  std::strcpy(card.cardNumber, "4294967297");  // 2^32 + 1
  std::memset(card.flags, '0', sizeof card.flags);
  card.year = 2030;
  card.month = card.day = 1;
  uint32_t ticks = 0;
  ASSERT_EQ(Zarvo_Registry(0x201, &card, &ticks, 1, 0), ZARVO_OK);
  CardRecord back{};
  std::strcpy(back.cardNumber, "1");
  ASSERT_EQ(Zarvo_Registry(1, &back, &ticks, 0, 0), ZARVO_OK);
  EXPECT_STREQ(back.cardNumber, "00000001");
}

TEST_F(BadInputTest, CodeTextsUseTheirFirstEightCharactersAndPadShortOnesWithZeros) {
  char long_text[] = "1234abcd99999999";
  EXPECT_EQ(Zarvo_PassWordOpenDoor(1, 0, long_text), ZARVO_OK);
  std::vector<uint8_t> body = bus_.last_request();
  EXPECT_EQ(std::vector<uint8_t>(body.begin() + 4, body.end()),
            (std::vector<uint8_t>{0x12, 0x34, 0xAB, 0xCD}));
  EXPECT_STREQ(long_text, "1234ABCD99999999");
  char empty[] = "";
  EXPECT_EQ(Zarvo_MenaceCode(1, empty), ZARVO_OK);
  body = bus_.last_request();
  EXPECT_EQ(std::vector<uint8_t>(body.begin() + 3, body.end()), (std::vector<uint8_t>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace zarvo
