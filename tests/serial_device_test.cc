// What the serial port does with the kernel's answers: rates outside the
// standard termios speeds, a device that disappears during an exchange, and
// RS-485 direction control asked of a device without it.
//
// The kernel's termios2 header cannot share a translation unit with
// <termios.h>, so the port settings are read back through it alone.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct LineDeleter {
  void operator()(ZarvoLine* line) const { Zarvo_LineDestroy(line); }
};
using LinePtr = std::unique_ptr<ZarvoLine, LineDeleter>;

double MillisecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

std::string OpenError(ZarvoLine* line) {
  char text[256];
  Zarvo_LineOpenError(line, text, sizeof text);
  return text;
}

class SerialDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus_.Start()); }

  sim::VirtualBus bus_;
  LinePtr line_{Zarvo_LineCreate()};
};

TEST_F(SerialDeviceTest, RatesBeyondTheStandardSpeedsAreSetExactlyAndNeverHangUp) {
  for (int32_t baud : {19200, 250000, 31250, 100000}) {
    SCOPED_TRACE(baud);
    ASSERT_EQ(Zarvo_LineOpenCom(line_.get(), bus_.device_name().c_str(), baud), ZARVO_OK);
    const int fd = ::open(bus_.device_name().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct termios2 tio {};
    ASSERT_EQ(ioctl(fd, TCGETS2, &tio), 0);
    ::close(fd);
    // B0 would hang the line up.
    EXPECT_NE(tio.c_cflag & CBAUD, static_cast<tcflag_t>(B0));
    EXPECT_EQ(tio.c_ospeed, static_cast<speed_t>(baud));
    EXPECT_EQ(tio.c_ispeed, static_cast<speed_t>(baud));
    EXPECT_EQ(Zarvo_LineSearchAR(line_.get(), 1), ZARVO_OK);
  }
}

// Like an unplugged USB adapter: the request goes out, then every read of
// the device fails.
TEST(SerialDeviceGone, ReadErrorEndsTheCallAtOnce) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string device = ptsname(master);
  LinePtr line(Zarvo_LineCreate());
  ASSERT_EQ(Zarvo_LineOpenCom(line.get(), device.c_str(), 9600), ZARVO_OK);

  // Lets the request arrive, then takes the device away.
  std::thread unplug([master] {
    pollfd p{master, POLLIN, 0};
    ::poll(&p, 1, 5000);
    ::close(master);
  });
  CardRecord card{};
  card.cardNumber[0] = '7';
  uint32_t ticks = 0;
  const auto start = SteadyClock::now();
  // A card read waits up to 10 s for a silent line.
  EXPECT_EQ(Zarvo_LineRegistry(line.get(), 1, &card, &ticks, 0, 0), ZARVO_E_NO_REPLY);
  EXPECT_LT(MillisecondsSince(start), 2000);
  unplug.join();

  // Later calls fail as fast: nothing can be written any more.
  const auto again = SteadyClock::now();
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_E_NOT_OPEN);
  EXPECT_LT(MillisecondsSince(again), 500);
}

// A pseudo-terminal has no RS-485 mode: the kernel refuses it, the open
// says so with the port-settings code, and the device stays open as it
// does for every settings failure.
TEST_F(SerialDeviceTest, Rs485DirectionOnADeviceWithoutItIsRefusedWithAReason) {
  const std::string name = bus_.device_name() + "?rs485=rts&rts_before=1";
  EXPECT_EQ(Zarvo_LineOpenCom(line_.get(), name.c_str(), 9600), ZARVO_E_PORT_SETTINGS);
  const std::string reason = OpenError(line_.get());
  EXPECT_NE(reason.find("rs485=rts"), std::string::npos) << reason;
  EXPECT_NE(reason.find("refused by the driver"), std::string::npos) << reason;
  EXPECT_EQ(Zarvo_LineSearchAR(line_.get(), 1), ZARVO_OK);

  // Asked for by call, it takes effect at the next open.
  ASSERT_EQ(Zarvo_LineSetOption(line_.get(), "rs485", "rts"), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineOpenCom(line_.get(), bus_.device_name().c_str(), 9600),
            ZARVO_E_PORT_SETTINGS);
  ASSERT_EQ(Zarvo_LineSetOption(line_.get(), "rs485", "none"), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineOpenCom(line_.get(), bus_.device_name().c_str(), 9600), ZARVO_OK);
}

// The open file flags of the descriptor opened last on `device` (the
// line's; the virtual controller holds one of its own from before), read
// from /proc.
bool DeviceIsNonBlocking(const std::string& device, bool& non_blocking) {
  char target[512];
  int found = -1;
  for (int fd = 3; fd < 1024; ++fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == device) found = fd;
  }
  if (found < 0) return false;
  FILE* info = std::fopen(("/proc/self/fdinfo/" + std::to_string(found)).c_str(), "r");
  if (info == nullptr) return false;
  unsigned flags = 0;
  char key[32];
  while (std::fscanf(info, "%31s %o", key, &flags) == 2 && std::string(key) != "flags:") {
  }
  std::fclose(info);
  non_blocking = (flags & O_NONBLOCK) != 0;
  return true;
}

// The device stays open on settings failures, so it must block on writes
// like any open port: a full output queue then waits instead of failing.
TEST_F(SerialDeviceTest, DeviceKeptAfterRefusedSettingsBlocksOnWrites) {
  const struct {
    const char* options;
    int32_t baud;
    int32_t result;
  } rows[] = {{"", -1, ZARVO_E_LINE_DEFINITION}, {"?rs485=rts", 9600, ZARVO_E_PORT_SETTINGS}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.options);
    const std::string name = bus_.device_name() + row.options;
    ASSERT_EQ(Zarvo_LineOpenCom(line_.get(), name.c_str(), row.baud), row.result);
    bool non_blocking = true;
    ASSERT_TRUE(DeviceIsNonBlocking(bus_.device_name(), non_blocking));
    EXPECT_FALSE(non_blocking);
  }
}

}  // namespace
}  // namespace zarvo
