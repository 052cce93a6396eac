// Controller management commands against a scripted line: the bodies they
// send, the silence limits they wait with and what reaches the caller.
#include "commands/management.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "result_codes.h"
#include "scripted_session.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedSession;

class ManagementTest : public ::testing::Test {
 protected:
  ScriptedSession t_;
};

TEST_F(ManagementTest, CommandsWithoutPayloadSendTheirBodies) {
  const struct {
    const char* name;
    int32_t (*run)(Session&);
    Bytes body;
  } cases[] = {
      {"probe", [](Session& s) { return SearchAR(s, 0x103); }, {0x80, 0x03, 0x01}},
      {"change address",
       [](Session& s) { return ChangeAR(s, 3, 0x1FE); },
       {0x80, 0x03, 0x02, 0xFE}},
      {"initialise",
       [](Session& s) { return Init(s, 3); },
       {0x80, 0x03, 0x07, 0x3C, 0xC3, 0x94, 0x6B}},
      {"change baud", [](Session& s) { return ChangeBaud(s, 3, 9600); }, {0x80, 0x03, 0x06, 0x01}},
  };
  for (const auto& c : cases) {
    ScriptedSession t;
    t.Reply(3, c.body[2], {0x55});  // a payload nobody reads
    EXPECT_EQ(c.run(t.session()), kOk) << c.name;
    EXPECT_EQ(t.line().LastBody(), c.body) << c.name;
  }
}

TEST_F(ManagementTest, ProbeWaitsTwoHundredMillisecondsOthersFiveHundred) {
  EXPECT_EQ(SearchAR(t_.session(), 4), kNoReply);
  EXPECT_EQ(t_.line().waited_ms(), 200u);
  EXPECT_EQ(ChangeAR(t_.session(), 4, 5), kNoReply);
  EXPECT_EQ(t_.line().waited_ms(), 200u + 500u);
}

TEST_F(ManagementTest, ExchangeFailuresPassThroughUnchanged) {
  t_.Reply(3, kCmdChangeAddress, {}, 5);
  EXPECT_EQ(ChangeAR(t_.session(), 3, 9), kRefused);
  t_.Reply(4, kCmdInitialise);
  EXPECT_EQ(Init(t_.session(), 3), kMismatch);
  t_.line().Close();
  EXPECT_EQ(SearchAR(t_.session(), 3), kNotOpen);
}

TEST_F(ManagementTest, BaudCodesNeedAnExactSpeed) {
  const std::pair<int32_t, uint8_t> known[] = {
      {4800, 0}, {9600, 1}, {19200, 2}, {38400, 3}, {57600, 4}};
  for (const auto& [baud, code] : known) {
    ScriptedSession t;
    t.Reply(1, kCmdChangeBaud);
    EXPECT_EQ(ChangeBaud(t.session(), 1, baud), kOk);
    EXPECT_EQ(t.line().LastBody(), (Bytes{0x80, 0x01, 0x06, code}));
  }
  for (int32_t baud : {115200, 9601, 0, -9600, 1200, 9600 + 65536}) {
    EXPECT_EQ(ChangeBaud(t_.session(), 1, baud), kInvalidArgument) << baud;
  }
  EXPECT_TRUE(t_.line().writes().empty());
}

struct ClockCase {
  LocalTime time;
  Bytes body;
};

TEST_F(ManagementTest, ClockBodyIsSevenBcdBytes) {
  const ClockCase cases[] = {
      {{2007, 3, 5, 14, 7, 9, 1}, {0x80, 0x02, 0x04, 0x07, 0x03, 0x05, 0x14, 0x07, 0x09, 0x01}},
      {{2007, 3, 4, 23, 59, 59, 0}, {0x80, 0x02, 0x04, 0x07, 0x03, 0x04, 0x23, 0x59, 0x59, 0x00}},
      {{2100, 12, 31, 0, 0, 0, 5}, {0x80, 0x02, 0x04, 0x00, 0x12, 0x31, 0x00, 0x00, 0x00, 0x05}},
  };
  for (const ClockCase& c : cases) {
    ScriptedSession t;
    t.Reply(2, kCmdSetClock);
    EXPECT_EQ(SetClock(t.session(), 2, c.time), kOk);
    EXPECT_EQ(t.line().LastBody(), c.body);
  }
}

TEST_F(ManagementTest, TimeSendsTheHostsLocalTime) {
  t_.Reply(1, kCmdSetClock);
  const LocalTime before = HostLocalTime();
  EXPECT_EQ(Time(t_.session(), 1), kOk);
  const Bytes body = t_.line().LastBody();
  ASSERT_EQ(body.size(), 10u);
  EXPECT_EQ(body[2], kCmdSetClock);
  EXPECT_EQ(body[3], EncodeBcd(before.year));
  EXPECT_EQ(body[4], EncodeBcd(before.month));
  EXPECT_LE(body[9], 0x06);  // weekday 0 (Sunday) to 6
}

TEST_F(ManagementTest, VersionCopiesThePayloadWithoutTerminator) {
  t_.Reply(1, kCmdReadVersion, {'V', '1', '.', '2', '3'});
  char version[40];
  std::memset(version, '#', sizeof version);
  EXPECT_EQ(Ver(t_.session(), 1, version), kOk);
  EXPECT_EQ(std::string(version, 6), "V1.23#");
}

TEST_F(ManagementTest, VersionCopiesAtMostThirtyTwoBytes) {
  t_.Reply(1, kCmdReadVersion, Bytes(40, 'v'));
  char version[40];
  std::memset(version, '#', sizeof version);
  EXPECT_EQ(Ver(t_.session(), 1, version), kOk);
  EXPECT_EQ(std::string(version, 33), std::string(32, 'v') + "#");
}

TEST_F(ManagementTest, VersionLeavesTheCallersBytesOnEmptyPayloadAndFailure) {
  char version[32];
  std::memset(version, '#', sizeof version);
  t_.Reply(1, kCmdReadVersion);
  EXPECT_EQ(Ver(t_.session(), 1, version), kOk);
  t_.Reply(1, kCmdReadVersion, {'X'}, 2);
  EXPECT_EQ(Ver(t_.session(), 1, version), kRefused);
  EXPECT_EQ(std::string(version, 32), std::string(32, '#'));
}

TEST_F(ManagementTest, DeviceValuesAreSixBigEndianWordsMissingOnesZero) {
  t_.Reply(1, kCmdDeviceInformation, {0x01, 0x02, 0xFF, 0xFF});
  std::array<int32_t, 6> values;
  values.fill(-7);
  EXPECT_EQ(DeviceInformation(t_.session(), 1, values.data()), kOk);
  EXPECT_EQ(values, (std::array<int32_t, 6>{258, 65535, 0, 0, 0, 0}));
}

TEST_F(ManagementTest, DeviceValuesReadTwelveBytesAndIgnoreMore) {
  Bytes payload = {0x80, 0x00, 0, 1, 0, 2, 0, 3, 0, 4, 0x12, 0x34, 0xAA, 0xBB};
  t_.Reply(1, kCmdDeviceInformation, payload);
  std::array<int32_t, 6> values{};
  EXPECT_EQ(DeviceInformation(t_.session(), 1, values.data()), kOk);
  EXPECT_EQ(values, (std::array<int32_t, 6>{32768, 1, 2, 3, 4, 0x1234}));
}

TEST_F(ManagementTest, EmptyDevicePayloadReadsAsZerosNotAsTheRequest) {
  t_.Reply(1, kCmdDeviceInformation);
  std::array<int32_t, 6> values;
  values.fill(-7);
  EXPECT_EQ(DeviceInformation(t_.session(), 1, values.data()), kOk);
  EXPECT_EQ(values, (std::array<int32_t, 6>{}));
}

TEST_F(ManagementTest, RefusedDeviceInformationLeavesTheValues) {
  t_.Reply(1, kCmdDeviceInformation, {0x01, 0x02}, 1);
  std::array<int32_t, 6> values;
  values.fill(-7);
  EXPECT_EQ(DeviceInformation(t_.session(), 1, values.data()), kRefused);
  EXPECT_EQ(values, (std::array<int32_t, 6>{-7, -7, -7, -7, -7, -7}));
}

}  // namespace
}  // namespace zarvo
