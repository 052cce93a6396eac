// Door password, access and alarm modes, timings, duress code and interlock
// mask against a scripted line: the bytes sent, the decoding of the setting
// bytes and what the caller's record and texts hold afterwards.
#include "commands/door_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "commands/command_codes.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

constexpr uint8_t kAddress = 7;

AccessLevelRecord AccessFilledWith(int32_t v) { return {v, v, v, v, v, v, v, v, v}; }
WarnLevelRecord AlarmFilledWith(int32_t v) { return {v, v, v, v, v, v, v, v, v, v, v}; }

template <typename Record>
bool SameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

class DoorSettingsTest : public ::testing::Test {
 protected:
  Bytes Sent() { return t_.transport().LastBody(); }
  bool NothingSent() { return t_.transport().writes().empty(); }

  ScriptedLine t_;
};

TEST_F(DoorSettingsTest, PasswordIsPackedAndTheTextUpperCasedInPlace) {
  t_.Reply(kAddress, kCmdDoorPassword);
  char password[] = "1234abcd";
  EXPECT_EQ(PassWordOpenDoor(t_.line(), kAddress, 2, password), kOk);
  EXPECT_EQ(Sent(), (Bytes{0x80, kAddress, 0x2E, 0x02, 0x12, 0x34, 0xAB, 0xCD}));
  EXPECT_STREQ(password, "1234ABCD");
}

TEST_F(DoorSettingsTest, PasswordForAnInvalidDoorSendsNothingAndKeepsTheText) {
  for (int32_t door : {4, -1, 256}) {
    char password[] = "1234abcd";
    EXPECT_EQ(PassWordOpenDoor(t_.line(), kAddress, door, password), kInvalidArgument);
    EXPECT_STREQ(password, "1234abcd");
  }
  EXPECT_TRUE(NothingSent());
}

TEST_F(DoorSettingsTest, PasswordStaysUpperCasedWhenTheControllerRefuses) {
  t_.Reply(kAddress, kCmdDoorPassword, {}, 1);
  char password[] = "abcdef01";
  EXPECT_EQ(PassWordOpenDoor(t_.line(), kAddress, 0, password), kRefused);
  EXPECT_STREQ(password, "ABCDEF01");
}

TEST_F(DoorSettingsTest, DuressCodeHasNoDoorByte) {
  struct Case {
    char text[16];
    Bytes body;
  } cases[] = {
      {"00001234", {0x80, kAddress, 0x36, 0x00, 0x00, 0x12, 0x34}},
      {"12G4xyz9", {0x80, kAddress, 0x36, 0x12, 0x04, 0x00, 0x09}},
  };
  for (Case& c : cases) {
    t_.Reply(kAddress, kCmdDuressCode);
    EXPECT_EQ(MenaceCode(t_.line(), kAddress, c.text), kOk);
    EXPECT_EQ(Sent(), c.body) << c.text;
  }
}

TEST_F(DoorSettingsTest, AccessModeWriteSetsEachFieldsBit) {
  struct Case {
    AccessLevelRecord record;
    uint8_t first, second;
  } cases[] = {
      {AccessFilledWith(1), 0xBF, 0x81},         {AccessFilledWith(0), 0x00, 0x00},
      {AccessFilledWith(7), 0xBF, 0x81},         {AccessFilledWith(-1), 0xBF, 0x81},
      {{0, 0, 0, 0, 0, 0, 1, 0, 0}, 0x80, 0x00},  // the seventh field is bit 7
      {{0, 0, 0, 0, 0, 0, 0, 1, 0}, 0x00, 0x01},
  };
  for (Case& c : cases) {
    t_.Reply(kAddress, kCmdWriteAccessMode);
    const AccessLevelRecord before = c.record;
    EXPECT_EQ(AccessLevel(t_.line(), kAddress, 3, c.record, 1), kOk);
    EXPECT_EQ(Sent(), (Bytes{0x80, kAddress, 0x30, 0x03, c.first, c.second}));
    EXPECT_TRUE(SameBytes(c.record, before));
  }
}

TEST_F(DoorSettingsTest, AccessModeReadDecodesTheSettingBytes) {
  struct Case {
    Bytes payload;
    AccessLevelRecord expected;
  } cases[] = {
      {{0xFF, 0xFF}, AccessFilledWith(1)},
      {{0x40, 0x7E}, AccessFilledWith(0)},  // bits without a field are ignored
      {{0x81, 0x80}, {1, 0, 0, 0, 0, 0, 1, 0, 1}},
      {{0xFF}, {1, 1, 1, 1, 1, 1, 1, 0, 0}},  // a missing second byte reads as 0
      {{}, AccessFilledWith(0)},              // an empty payload carries no setting
  };
  for (const Case& c : cases) {
    t_.Reply(kAddress, kCmdReadAccessMode, c.payload);
    AccessLevelRecord record = AccessFilledWith(9);
    EXPECT_EQ(AccessLevel(t_.line(), kAddress, 1, record, 0), kOk);
    EXPECT_EQ(Sent(), (Bytes{0x80, kAddress, 0x31, 0x01}));
    EXPECT_TRUE(SameBytes(record, c.expected));
  }
}

TEST_F(DoorSettingsTest, AlarmModeWritePacksBitsAndBitPairs) {
  struct Case {
    int32_t pair_low, pair_high;
    uint8_t second;
  } cases[] = {{2, 3, 0x1E}, {5, 0, 0x11}, {-1, 0, 0x13}, {0, 7, 0x1C}};
  for (const Case& c : cases) {
    t_.Reply(kAddress, kCmdWriteAlarmMode);
    WarnLevelRecord record = {1, 1, 1, 1, 1, 1, 1, c.pair_low, c.pair_high, 1, 0};
    EXPECT_EQ(WarnLevel(t_.line(), kAddress, 0, record, 1), kOk);
    EXPECT_EQ(Sent(), (Bytes{0x80, kAddress, 0x32, 0x00, 0x7F, c.second}));
  }
}

TEST_F(DoorSettingsTest, AlarmModeReadDecodesTheSettingBytes) {
  struct Case {
    Bytes payload;
    WarnLevelRecord expected;
  } cases[] = {
      {{0xFF, 0xFF}, {1, 1, 1, 1, 1, 1, 1, 3, 3, 1, 1}},
      {{0x80, 0xC0}, AlarmFilledWith(0)},
      {{0x01, 0x26}, {1, 0, 0, 0, 0, 0, 0, 2, 1, 0, 1}},
      {{0x40}, {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
      {{}, AlarmFilledWith(0)},
  };
  for (const Case& c : cases) {
    t_.Reply(kAddress, kCmdReadAlarmMode, c.payload);
    WarnLevelRecord record = AlarmFilledWith(9);
    EXPECT_EQ(WarnLevel(t_.line(), kAddress, 2, record, 0), kOk);
    EXPECT_EQ(Sent(), (Bytes{0x80, kAddress, 0x33, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(SameBytes(record, c.expected));
  }
}

TEST_F(DoorSettingsTest, BadDoorOrModeSendsNothingAndKeepsTheRecord) {
  struct Case {
    int32_t door, mode;
  } cases[] = {{0, 2}, {0, -1}, {5, 0}, {5, 1}, {256, 0}, {-1, 1}};
  for (const Case& c : cases) {
    AccessLevelRecord access = AccessFilledWith(9);
    WarnLevelRecord alarm = AlarmFilledWith(9);
    EXPECT_EQ(AccessLevel(t_.line(), kAddress, c.door, access, c.mode), kInvalidArgument);
    EXPECT_EQ(WarnLevel(t_.line(), kAddress, c.door, alarm, c.mode), kInvalidArgument);
    EXPECT_TRUE(SameBytes(access, AccessFilledWith(9)));
    EXPECT_TRUE(SameBytes(alarm, AlarmFilledWith(9)));
    const char flags[32] = {1};
    if (c.door != 0) {
      EXPECT_EQ(MutualLock(t_.line(), kAddress, c.door, flags), kInvalidArgument);
    }
  }
  EXPECT_TRUE(NothingSent());
}

TEST_F(DoorSettingsTest, FailedReadLeavesTheRecordUntouched) {
  t_.Reply(kAddress, kCmdReadAccessMode, {0xFF, 0xFF}, 1);
  AccessLevelRecord access = AccessFilledWith(9);
  EXPECT_EQ(AccessLevel(t_.line(), kAddress, 0, access, 0), kRefused);
  EXPECT_TRUE(SameBytes(access, AccessFilledWith(9)));

  WarnLevelRecord alarm = AlarmFilledWith(9);
  EXPECT_EQ(WarnLevel(t_.line(), kAddress, 0, alarm, 0), kNoReply);  // silence
  EXPECT_TRUE(SameBytes(alarm, AlarmFilledWith(9)));
}

TEST_F(DoorSettingsTest, DelaysSendTheLowByteOfEachValue) {
  t_.Reply(kAddress, kCmdDoorDelays);
  const int32_t delays[4] = {1, 5, 300, -1};
  EXPECT_EQ(Delay(t_.line(), kAddress, delays), kOk);
  EXPECT_EQ(Sent(), (Bytes{0x80, kAddress, 0x34, 0x01, 0x05, 0x2C, 0xFF}));
}

TEST_F(DoorSettingsTest, InterlockMaskGoesLeastSignificantByteFirst) {
  char bytes_0_and_9[32] = {};
  bytes_0_and_9[0] = 1;
  bytes_0_and_9[9] = 'x';
  char zero_characters[33];
  std::memset(zero_characters, '0', 32);
  char last_only[32] = {};
  last_only[31] = 1;
  const char zero_bytes[32] = {};
  struct Case {
    const char* flags;
    Bytes mask;
  } cases[] = {
      {bytes_0_and_9, {0x01, 0x02, 0x00, 0x00}},
      {zero_characters, {0xFF, 0xFF, 0xFF, 0xFF}},  // any non-zero byte counts
      {last_only, {0x00, 0x00, 0x00, 0x80}},
      {zero_bytes, {0x00, 0x00, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    t_.Reply(kAddress, kCmdInterlock);
    EXPECT_EQ(MutualLock(t_.line(), kAddress, 1, c.flags), kOk);
    const Bytes sent = Sent();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0x80, kAddress, 0x2A, 0x01}));
    EXPECT_EQ(Bytes(sent.begin() + 4, sent.end()), c.mask);
  }
}

}  // namespace
}  // namespace zarvo
