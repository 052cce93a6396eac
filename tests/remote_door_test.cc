// Remote open, close and clear-alarm against a scripted line.
#include "commands/remote_door.h"

#include <gtest/gtest.h>

#include <vector>

#include "commands/command_codes.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

TEST(RemoteDoor, BodiesCarryTheDoorAndTheOpenParameter) {
  ScriptedLine t;
  t.Reply(2, kCmdOpenDoor);
  EXPECT_EQ(RemoteOpenDoor(t.line(), 2, 1, 0x105), kOk);
  EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x02, 0x38, 0x01, 0x05}));

  t.Reply(2, kCmdCloseDoor);
  EXPECT_EQ(RemoteCloseDoor(t.line(), 2, 3), kOk);
  EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x02, 0x39, 0x03}));

  t.Reply(2, kCmdClearAlarm);
  EXPECT_EQ(RemoteClearWarn(t.line(), 2, 0), kOk);
  EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x02, 0x3A, 0x00}));
}

TEST(RemoteDoor, InvalidDoorSendsNothing) {
  ScriptedLine t;
  for (int32_t door : {4, -1, 256}) {
    EXPECT_EQ(RemoteOpenDoor(t.line(), 1, door, 0), kInvalidArgument);
    EXPECT_EQ(RemoteCloseDoor(t.line(), 1, door), kInvalidArgument);
    EXPECT_EQ(RemoteClearWarn(t.line(), 1, door), kInvalidArgument);
  }
  EXPECT_TRUE(t.transport().writes().empty());
}

TEST(RemoteDoor, ExchangeResultsPassThrough) {
  ScriptedLine t;
  t.Reply(1, kCmdOpenDoor, {0x11, 0x22});  // a payload is accepted and ignored
  EXPECT_EQ(RemoteOpenDoor(t.line(), 1, 0, 0), kOk);

  t.Reply(1, kCmdCloseDoor, {}, 4);
  EXPECT_EQ(RemoteCloseDoor(t.line(), 1, 0), kRefused);

  const uint64_t waited_before = t.transport().waited_ms();
  EXPECT_EQ(RemoteClearWarn(t.line(), 1, 0), kNoReply);
  EXPECT_EQ(t.transport().waited_ms() - waited_before, 500u);
}

}  // namespace
}  // namespace zarvo
