// A controller answering after its call gave up, end to end: over the
// virtual controller's pseudo-terminal and over TCP through a device
// server, its late reply arriving while the next call waits for its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tcp_device_server.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using sim::FaultKind;

class LateReplyEndToEndTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.Start());
    std::string port = bus_.device_name();
    if (GetParam()) {
      std::string error;
      ASSERT_TRUE(server_.Start("127.0.0.1", 0, error)) << error;
      port = server_.url();
    }
    ASSERT_EQ(Zarvo_LineOpenCom(line_, port.c_str(), 9600), ZARVO_OK);
  }
  void TearDown() override {
    Zarvo_LineDestroy(line_);
    server_.Stop();
    bus_.Stop();
  }

  std::string LastError() {
    char text[128] = {};
    Zarvo_LineLastError(line_, text, sizeof text);
    return text;
  }

  sim::VirtualBus bus_{{1}};
  sim::TcpDeviceServer server_{bus_};
  ZarvoLine* line_ = Zarvo_LineCreate();
};

// Week table 0 holds office hours, table 1 nothing: a late reply to a read
// of table 0 taken for the read of table 1 would return office hours.
TEST_P(LateReplyEndToEndTest, SameCommandAgainGetsItsOwnReply) {
  int32_t table0[33] = {0};
  ASSERT_EQ(Zarvo_LineTimeTable(line_, 1, 0, table0, 0), ZARVO_OK);
  int32_t table1[33] = {0};  // and the line's copy of the last table read
  ASSERT_EQ(Zarvo_LineTimeTable(line_, 1, 1, table1, 0), ZARVO_OK);
  ASSERT_FALSE(std::equal(table0, table0 + 33, table1));

  bus_.InjectFault({FaultKind::kLate, 700});  // the reply 200 ms after the 500 ms limit
  int32_t day[33] = {0};
  EXPECT_EQ(Zarvo_LineTimeTable(line_, 1, 0, day, 0), ZARVO_E_NO_REPLY);
  EXPECT_EQ(LastError(), "no byte within 500 ms");
  EXPECT_EQ(Zarvo_LineTimeTable(line_, 1, 1, day, 0), ZARVO_OK) << LastError();
  EXPECT_TRUE(std::equal(day, day + 33, table1)) << "table 1, not table 0";
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
}

TEST_P(LateReplyEndToEndTest, OtherCommandTakesItsOwnReplyAfterTheLateOne) {
  bus_.InjectFault({FaultKind::kLate, 300});  // 100 ms after the probe's 200 ms limit
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_E_NO_REPLY);
  char version[33] = {};
  EXPECT_EQ(Zarvo_LineVer(line_, 1, version), ZARVO_OK) << LastError();
  EXPECT_EQ(std::string(version, 3), "ZAC");
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
}

// Past its window a late reply is no longer recognised, but one already
// waiting when the next call starts is discarded before the request.
TEST_P(LateReplyEndToEndTest, ReplyWaitingBeforeTheNextCallIsDiscarded) {
  if (GetParam()) GTEST_SKIP() << "the device server relays the reply in its own time";
  bus_.InjectFault({FaultKind::kLate, 700});
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_E_NO_REPLY);
  ASSERT_TRUE(bus_.WaitForReplies(bus_.reply_count() + 1, 5000));
  char version[33] = {};
  EXPECT_EQ(Zarvo_LineVer(line_, 1, version), ZARVO_OK) << LastError();
}

INSTANTIATE_TEST_SUITE_P(Links, LateReplyEndToEndTest, ::testing::Values(false, true),
                         [](const auto& link) { return link.param ? "tcp" : "pseudo_terminal"; });

}  // namespace
}  // namespace zarvo
