// tcp:// and rfc2217:// through a real device server (ser2net) in front of
// the virtual controller's pseudo-terminal: operations run, and over
// Telnet the remote port takes the speed the line was opened at.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "ser2net_process.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using testing::Ser2netProcess;

class Ser2netTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = testing::FindSer2net();
    if (program_.empty()) GTEST_SKIP() << "ser2net is not installed (apt-get install ser2net)";
    ASSERT_TRUE(bus_.Start());
    line_ = Zarvo_LineCreate();
  }
  void TearDown() override {
    if (line_ != nullptr) Zarvo_LineDestroy(line_);
    server_.Stop();
    bus_.Stop();
  }

  void Serve(Ser2netProcess::Kind kind) {
    std::string error;
    ASSERT_TRUE(server_.Start(program_, bus_.device_name(), kind, error)) << error;
  }

  std::string OpenError() const {
    char text[256] = {};
    Zarvo_LineOpenError(line_, text, sizeof text);
    return text;
  }

  // A few operations a host makes, each checked against the controller.
  void RunOperations() {
    EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
    char version[33] = {};
    EXPECT_EQ(Zarvo_LineVer(line_, 2, version), ZARVO_OK);
    EXPECT_NE(version[0], '\0');
    int32_t day[33] = {3};
    EXPECT_EQ(Zarvo_LineTimeTable(line_, 1, 4, day, 0), ZARVO_OK);
    EXPECT_EQ(Zarvo_LineSearchAR(line_, 9), ZARVO_E_NO_REPLY);
  }

  // The speed the device server set on the pseudo-terminal.
  speed_t RemoteSpeed() const {
    const int fd = ::open(bus_.device_name().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    const bool read = fd >= 0 && tcgetattr(fd, &tio) == 0;
    if (fd >= 0) ::close(fd);
    return read ? cfgetospeed(&tio) : B0;
  }

  std::string program_;
  sim::VirtualBus bus_{{1, 2}};
  Ser2netProcess server_;
  ZarvoLine* line_ = nullptr;
};

TEST_F(Ser2netTest, RawTcp) {
  Serve(Ser2netProcess::Kind::kRawTcp);
  ASSERT_EQ(Zarvo_LineOpenCom(line_, server_.url("tcp").c_str(), 9600), ZARVO_OK) << OpenError();
  RunOperations();
}

TEST_F(Ser2netTest, TelnetComPortSetsTheRemoteSpeed) {
  Serve(Ser2netProcess::Kind::kTelnetComPort);
  ASSERT_EQ(Zarvo_LineOpenCom(line_, server_.url("rfc2217").c_str(), 19200), ZARVO_OK)
      << OpenError();
  EXPECT_EQ(OpenError(), "") << "the server agreed to COM-port control and confirmed it";
  EXPECT_EQ(RemoteSpeed(), B19200);
  RunOperations();
  ASSERT_EQ(Zarvo_LineCloseCom(line_), ZARVO_OK);

  ASSERT_EQ(Zarvo_LineOpenCom(line_, server_.url("rfc2217").c_str(), 57600), ZARVO_OK)
      << OpenError();
  EXPECT_EQ(RemoteSpeed(), B57600);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
}

}  // namespace
}  // namespace zarvo
