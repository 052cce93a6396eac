// Setting a controller's clock from the host's: the host's local time is
// read once, and when it cannot be read nothing goes on the wire.
#include "commands/host_clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>

#include "commands/command_codes.h"
#include "commands/management.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

TEST(HostClockTest, ControllerClockFollowsTheHostsReading) {
  const struct {
    HostClockReader reader;
    int32_t result;
    Bytes body;  // empty: nothing written
  } cases[] = {
      {[](LocalTime& now) {
         now = {2038, 1, 19, 3, 14, 8, 2};
         return true;
       },
       kOk,
       {0x80, 0x05, 0x04, 0x38, 0x01, 0x19, 0x03, 0x14, 0x08, 0x02}},
      {[](LocalTime& now) {
         now = {1899, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99};
         return false;
       },
       kNotOpen,
       {}},
  };
  for (const auto& c : cases) {
    ScriptedLine t;
    t.Reply(5, kCmdSetClock);
    EXPECT_EQ(SetClockFromHost(t.line(), 5, c.reader), c.result);
    if (c.body.empty()) {
      EXPECT_TRUE(t.transport().writes().empty());
    } else {
      EXPECT_EQ(t.transport().LastBody(), c.body);
    }
  }
}

TEST(HostClockTest, LocalTimeConversionReportsWhatTheRuntimeCannotConvert) {
  setenv("TZ", "UTC", 1);
  tzset();
  LocalTime now{};
  // 2038-01-19 03:14:08, the first second past a 32-bit time_t, a Tuesday.
  ASSERT_TRUE(LocalTimeAt(std::time_t{0x80000000LL}, now));
  EXPECT_EQ(now.year, 2038);
  EXPECT_EQ(now.month, 1);
  EXPECT_EQ(now.day, 19);
  EXPECT_EQ(now.hour * 10000 + now.minute * 100 + now.second, 31408);
  EXPECT_EQ(now.weekday, 2);
  // A year past what struct tm holds cannot be converted.
  EXPECT_FALSE(LocalTimeAt(std::numeric_limits<std::time_t>::max(), now));
  EXPECT_TRUE(ReadHostLocalTime(now));
  EXPECT_GE(now.year, 2024);
}

}  // namespace
}  // namespace zarvo
