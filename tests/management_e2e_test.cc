// Controller management through the exported functions against the virtual
// controller: what it answers, what it changes and what it refuses.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "handlers.h"
#include "sim_fixture.h"

namespace zarvo {
namespace {

using testing::SimTest;

class ManagementE2eTest : public SimTest {
 protected:
  bool HasController(uint8_t address) {
    return bus_.WithController(address, [](sim::ControllerState&) {});
  }
  sim::StoredEvent LastEvent(uint8_t address = 1) {
    sim::StoredEvent last{};
    bus_.WithController(address,
                        [&](sim::ControllerState& s) { last = s.events.records().back(); });
    return last;
  }
};

TEST_F(ManagementE2eTest, ProbeFindsControllersAndNothingElse) {
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(0x102), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(0), ZARVO_OK);  // any controller may answer
  EXPECT_EQ(Zarvo_SearchAR(9), ZARVO_E_NO_REPLY);
}

TEST_F(ManagementE2eTest, ChangeOfAddressMovesTheControllerUnlessTakenOrZero) {
  EXPECT_EQ(Zarvo_ChangeAR(1, 2), ZARVO_E_REFUSED);
  EXPECT_EQ(Zarvo_ChangeAR(1, 256), ZARVO_E_REFUSED);  // cut to 0
  EXPECT_TRUE(HasController(1));
  EXPECT_EQ(Zarvo_ChangeAR(1, 0x105), ZARVO_OK);
  EXPECT_TRUE(HasController(5));
  EXPECT_FALSE(HasController(1));
  EXPECT_EQ(Zarvo_SearchAR(5), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NO_REPLY);
  EXPECT_TRUE(HasController(2));
}

TEST_F(ManagementE2eTest, VersionIsTheControllersTextWithoutTerminator) {
  std::string expected;
  bus_.WithController(1, [&](sim::ControllerState& s) { expected = s.version; });
  char version[40];
  std::memset(version, '#', sizeof version);
  EXPECT_EQ(Zarvo_Ver(1, version), ZARVO_OK);
  EXPECT_EQ(std::string(version, expected.size() + 1), expected + "#");
}

TEST_F(ManagementE2eTest, TimeSetsTheControllersClockAndLogsIt) {
  bus_.WithController(1, [](sim::ControllerState& s) {
    ASSERT_TRUE(s.clock.Set(sim::DateTime{2001, 2, 3, 4, 5, 6, 6}));
  });
  EXPECT_EQ(Zarvo_Time(1), ZARVO_OK);
  sim::DateTime clock;
  bus_.WithController(1, [&](sim::ControllerState& s) { clock = s.clock.Now(); });
  const sim::DateTime host = sim::LocalNow();
  EXPECT_EQ(clock.year, host.year);
  EXPECT_EQ(clock.month, host.month);
  EXPECT_EQ(clock.day, host.day);
  EXPECT_NEAR(clock.hour * 3600 + clock.minute * 60 + clock.second,
              host.hour * 3600 + host.minute * 60 + host.second, 2);

  const sim::StoredEvent logged = LastEvent();
  EXPECT_EQ(logged[6], sim::kEventClockSet);
  EXPECT_EQ(logged[0], EncodeBcd(host.year));
}

TEST_F(ManagementE2eTest, ChangeBaudStoresTheCode) {
  EXPECT_EQ(Zarvo_ChangeBaud(2, 19200), ZARVO_OK);
  uint8_t code = 0;
  bus_.WithController(2, [&](sim::ControllerState& s) { code = s.baud_code; });
  EXPECT_EQ(code, 2);
}

TEST_F(ManagementE2eTest, InitResetsTheSettingsButKeepsTheController) {
  bus_.WithController(1, [](sim::ControllerState& s) {
    sim::SingleCard card;
    card.number = 123456;
    card.date = {0x30, 0x06, 0x15};
    ASSERT_TRUE(s.cards.Put(card));
  });
  EXPECT_EQ(Zarvo_Init(1), ZARVO_OK);
  bus_.WithController(1, [](sim::ControllerState& s) {
    EXPECT_EQ(s.cards.size(), 0u);
    EXPECT_EQ(s.address, 1);
  });
  EXPECT_EQ(LastEvent()[6], sim::kEventSettingsChanged);
  EXPECT_EQ(LastEvent()[7], kCmdInitialise);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
}

TEST_F(ManagementE2eTest, DeviceValuesDescribeTheController) {
  std::array<int32_t, 6> values;
  values.fill(-1);
  EXPECT_EQ(Zarvo_DeviceInformation(1, values.data()), ZARVO_OK);
  std::array<uint16_t, 6> expected{};
  bus_.WithController(1, [&](sim::ControllerState& s) { expected = s.DeviceValues(); });
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(values[i], expected[i]) << i;
  EXPECT_EQ(values[0], 4);  // doors
}

TEST_F(ManagementE2eTest, NullPointersAndUnknownSpeedsAreRefusedBeforeAnythingIsSent) {
  const uint64_t before = Requests();
  EXPECT_EQ(Zarvo_Ver(1, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_DeviceInformation(1, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_ChangeBaud(2, 115200), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Requests(), before);
}

// What the virtual controller refuses, fed requests the library never sends.
class ManagementHandlerTest : public ::testing::Test {
 protected:
  uint8_t Handle(std::vector<uint8_t> params, uint8_t code) {
    sim::Request request;
    request.address = 1;
    request.command = code;
    request.body = {0x80, 0x01, code};
    for (uint8_t p : params) request.body.push_back(p);
    sim::Reply reply;
    sim::Handlers()[code](state_, request, reply);
    return reply.status;
  }

  sim::ControllerState state_{1};
};

TEST_F(ManagementHandlerTest, InitNeedsTheWholeConfirmationWord) {
  EXPECT_NE(Handle({}, kCmdInitialise), 0);
  EXPECT_NE(Handle({0x3C, 0xC3, 0x94}, kCmdInitialise), 0);
  EXPECT_NE(Handle({0x6B, 0x94, 0xC3, 0x3C}, kCmdInitialise), 0);  // wrong byte order
  EXPECT_EQ(Handle({0x3C, 0xC3, 0x94, 0x6B}, kCmdInitialise), 0);
}

TEST_F(ManagementHandlerTest, ClockRefusesWhatIsNoRealDateOrTime) {
  const std::vector<uint8_t> refused[] = {
      {0x07, 0x13, 0x05, 0x14, 0x07, 0x09, 0x01},  // month 13
      {0x07, 0x02, 0x29, 0x14, 0x07, 0x09, 0x01},  // 29 February 2007
      {0x07, 0x03, 0x05, 0x24, 0x07, 0x09, 0x01},  // hour 24
      {0x07, 0x03, 0x05, 0x14, 0x07, 0x1A, 0x01},  // not BCD
      {0x07, 0x03, 0x05, 0x14, 0x07, 0x09, 0x07},  // weekday 7
  };
  for (const auto& body : refused) EXPECT_NE(Handle(body, kCmdSetClock), 0);
  EXPECT_EQ(Handle({0x08, 0x02, 0x29, 0x23, 0x59, 0x59, 0x05}, kCmdSetClock), 0);
  EXPECT_EQ(state_.clock.Now().year, 2008);
}

TEST_F(ManagementHandlerTest, UnknownBaudCodesAreRefused) {
  EXPECT_NE(Handle({5}, kCmdChangeBaud), 0);
  EXPECT_EQ(state_.baud_code, 1);
  EXPECT_EQ(Handle({0}, kCmdChangeBaud), 0);
  EXPECT_EQ(state_.baud_code, 0);
}

}  // namespace
}  // namespace zarvo
