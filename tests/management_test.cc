// Controller management commands against a scripted line: the bodies they
// send, the silence limits they wait with and what reaches the caller.
#include "commands/management.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

class ManagementTest : public ::testing::Test {
 protected:
  ScriptedLine t_;
};

TEST_F(ManagementTest, CommandsWithoutPayloadSendTheirBodies) {
  const struct {
    const char* name;
    int32_t (*run)(Line&);
    Bytes body;
  } cases[] = {
      {"probe", [](Line& s) { return SearchAR(s, 0x103); }, {0x80, 0x03, 0x01}},
      {"change address", [](Line& s) { return ChangeAR(s, 3, 0x1FE); }, {0x80, 0x03, 0x02, 0xFE}},
      {"initialise",
       [](Line& s) { return Init(s, 3); },
       {0x80, 0x03, 0x07, 0x3C, 0xC3, 0x94, 0x6B}},
      {"change baud", [](Line& s) { return ChangeBaud(s, 3, 9600); }, {0x80, 0x03, 0x06, 0x01}},
  };
  for (const auto& c : cases) {
    ScriptedLine t;
    t.Reply(3, c.body[2], {0x55});  // a payload nobody reads
    EXPECT_EQ(c.run(t.line()), kOk) << c.name;
    EXPECT_EQ(t.transport().LastBody(), c.body) << c.name;
  }
}

TEST_F(ManagementTest, ProbeWaitsTwoHundredMillisecondsOthersFiveHundred) {
  EXPECT_EQ(SearchAR(t_.line(), 4), kNoReply);
  EXPECT_EQ(t_.transport().waited_ms(), 200u);
  EXPECT_EQ(ChangeAR(t_.line(), 4, 5), kNoReply);
  EXPECT_EQ(t_.transport().waited_ms(), 200u + 500u);
}

TEST_F(ManagementTest, BaudCodesNeedAnExactSpeed) {
  const std::pair<int32_t, uint8_t> known[] = {
      {4800, 0}, {9600, 1}, {19200, 2}, {38400, 3}, {57600, 4}};
  for (const auto& [baud, code] : known) {
    ScriptedLine t;
    t.Reply(1, kCmdChangeBaud);
    EXPECT_EQ(ChangeBaud(t.line(), 1, baud), kOk);
    EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x01, 0x06, code}));
  }
  for (int32_t baud : {115200, 9601, 0, -9600, 1200, 9600 + 65536}) {
    EXPECT_EQ(ChangeBaud(t_.line(), 1, baud), kInvalidArgument) << baud;
  }
  EXPECT_TRUE(t_.transport().writes().empty());
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
    ScriptedLine t;
    t.Reply(2, kCmdSetClock);
    EXPECT_EQ(SetClock(t.line(), 2, c.time), kOk);
    EXPECT_EQ(t.transport().LastBody(), c.body);
  }
}

TEST_F(ManagementTest, VersionCopiesThePayloadAsItCame) {
  const struct {
    Bytes payload;
    uint8_t status;
    int32_t result;
    std::string caller_sees;  // the first 33 bytes of the caller's buffer
  } cases[] = {
      {{'V', '1', '.', '2', '3'}, 0, kOk, "V1.23" + std::string(28, '#')},
      {Bytes(40, 'v'), 0, kOk, std::string(32, 'v') + "#"},
      {{}, 0, kOk, std::string(33, '#')},
      {{'X'}, 2, kRefused, std::string(33, '#')},
  };
  for (const auto& c : cases) {
    ScriptedLine t;
    t.Reply(1, kCmdReadVersion, c.payload, c.status);
    char version[40];
    std::memset(version, '#', sizeof version);
    EXPECT_EQ(Ver(t.line(), 1, version), c.result);
    EXPECT_EQ(std::string(version, 33), c.caller_sees);
  }
}

TEST_F(ManagementTest, DeviceValuesAreSixBigEndianWords) {
  using Values = std::array<int32_t, 6>;
  const struct {
    Bytes payload;
    uint8_t status;
    int32_t result;
    Values values;
  } cases[] = {
      {{0x01, 0x02, 0xFF, 0xFF}, 0, kOk, {258, 65535, 0, 0, 0, 0}},
      {{0x80, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0x12, 0x34, 0xAA}, 0, kOk, {32768, 1, 2, 3, 4, 0x1234}},
      // An empty payload reads as zeros, not as the request left in the buffer.
      {{}, 0, kOk, {0, 0, 0, 0, 0, 0}},
      {{0x01, 0x02}, 1, kRefused, {-7, -7, -7, -7, -7, -7}},
  };
  for (const auto& c : cases) {
    ScriptedLine t;
    t.Reply(1, kCmdDeviceInformation, c.payload, c.status);
    Values values;
    values.fill(-7);
    EXPECT_EQ(DeviceInformation(t.line(), 1, values.data()), c.result);
    EXPECT_EQ(values, c.values);
  }
}

}  // namespace
}  // namespace zarvo
