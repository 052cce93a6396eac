// The serial port and the exchange end to end, through a real
// pseudo-terminal against the virtual controller.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "line/line.h"
#include "sim_fixture.h"

namespace zarvo {
namespace {

using Clock = std::chrono::steady_clock;
using testing::SimTest;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(Transport, CloseWithNoPortOpenSucceeds) { EXPECT_EQ(Zarvo_CloseCom(), ZARVO_OK); }

TEST(Transport, MissingDeviceCannotBeOpenedAndCommandsThenFindNoPort) {
  EXPECT_EQ(Zarvo_OpenCom("/dev/zarvo-no-such-device", 9600), ZARVO_E_REFUSED);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN);
  EXPECT_EQ(Zarvo_OpenCom(nullptr, 9600), ZARVO_E_REFUSED);
}

TEST_F(SimTest, ProbeFindsTheController) {
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(2), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(0x101), ZARVO_OK);  // only the low 8 bits are sent
  EXPECT_EQ(Requests(), 3u);
}

TEST_F(SimTest, ProbeOfAnEmptyAddressTimesOutAfterAboutTwoHundredMs) {
  const auto start = Clock::now();
  EXPECT_EQ(Zarvo_SearchAR(7), ZARVO_E_NO_REPLY);
  const int64_t ms = MillisecondsSince(start);
  EXPECT_GE(ms, 195);
  EXPECT_LT(ms, 400);
}

TEST_F(SimTest, OpeningAgainClosesTheFirstHandle) {
  EXPECT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 9600), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
}

TEST_F(SimTest, FailedOpenLeavesNoPortOpen) {
  EXPECT_EQ(Zarvo_OpenCom("/dev/zarvo-no-such-device", 9600), ZARVO_E_REFUSED);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN);
  ASSERT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 9600), ZARVO_OK);
  EXPECT_EQ(Zarvo_OpenCom(nullptr, 9600), ZARVO_E_REFUSED);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN);
  EXPECT_EQ(Requests(), 0u);
}

TEST_F(SimTest, UnusableSpeedIsRefusedButThePortStaysOpen) {
  EXPECT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 0), ZARVO_E_LINE_DEFINITION);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  EXPECT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), -9600), ZARVO_E_LINE_DEFINITION);
}

TEST_F(SimTest, NonStandardSpeedIsAccepted) {
  EXPECT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 250000), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
}

TEST_F(SimTest, AnotherProcessCannotOpenTheSameDevice) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int32_t result = Zarvo_OpenCom(bus_.device_name().c_str(), 9600);
    _exit(result == ZARVO_E_REFUSED ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SimTest, LateReplyIsNotTakenForTheNextOne) {
  bus_.InjectFault({sim::FaultKind::kLate, 300});
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NO_REPLY);
  ASSERT_TRUE(bus_.WaitForReplies(1, 2000));  // the late reply is now waiting
  // Address 2 would see address 1's late probe reply as a mismatch.
  EXPECT_EQ(Zarvo_SearchAR(2), ZARVO_OK);
}

TEST_F(SimTest, DeviceGoneEndsTheExchangeAtOnce) {
  bus_.InjectFault({sim::FaultKind::kCloseLine});
  const auto start = Clock::now();
  // With a 10 s silence limit, as the card commands use.
  uint8_t body[32] = {0x80, 0x01, 0x01};
  int32_t length = 3;
  Line& session = Line::Default();
  EXPECT_EQ(session.Exchange(body, 32, length, 10000), ZARVO_E_NO_REPLY);
  EXPECT_LT(MillisecondsSince(start), 1000);
}

TEST_F(SimTest, BadChecksumIsIgnoredLikeLineNoise) {
  // Probe of address 1 with one CRC nibble changed.
  const uint8_t bad[] = {0xE1, 0x08, 0x00, 0x00, 0x01, 0x00, 0x01, 0x01, 0x08, 0x04, 0x0B, 0x1E};
  const int fd = open(bus_.device_name().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, bad, sizeof bad), static_cast<ssize_t>(sizeof bad));
  close(fd);
  EXPECT_EQ(Zarvo_SearchAR(2), ZARVO_OK);
  EXPECT_EQ(Requests(), 1u);
  EXPECT_EQ(bus_.bad_frame_count(), 1u);
}

}  // namespace
}  // namespace zarvo
