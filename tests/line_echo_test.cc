// Adapters that read back their own transmission, and links with latency:
// the echo option end to end against an echoing virtual controller and
// byte by byte against a scripted line, and the first-byte allowance.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/frame_codec.h"
#include "result_codes.h"
#include "scripted_line.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;
using testing::ScriptedTransport;

struct LineDeleter {
  void operator()(ZarvoLine* line) const { Zarvo_LineDestroy(line); }
};

// ---- End to end --------------------------------------------------------

class EchoingBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus_.set_echo(true);
    ASSERT_TRUE(bus_.Start());
  }

  // Opens the line on the bus with `options` after the device name, then
  // runs a probe and a week table read; returns the first failure or 0.
  int32_t OpenAndTalk(const std::string& options) {
    const std::string name = bus_.device_name() + options;
    if (const int32_t opened = Zarvo_LineOpenCom(line(), name.c_str(), 9600); opened != ZARVO_OK) {
      return opened;
    }
    if (const int32_t probed = Zarvo_LineSearchAR(line(), 1); probed != ZARVO_OK) return probed;
    int32_t day[33] = {table_++ % 2 == 0 ? 0 : 6};
    return Zarvo_LineTimeTable(line(), 1, table_ % 5, day, 0);
  }

  ZarvoLine* line() { return line_.get(); }

  sim::VirtualBus bus_;
  std::unique_ptr<ZarvoLine, LineDeleter> line_{Zarvo_LineCreate()};
  int table_ = 0;
};

TEST_F(EchoingBusTest, EchoIsDroppedUnlessTheLineIsToldThereIsNone) {
  EXPECT_EQ(OpenAndTalk(""), ZARVO_OK);  // auto by default
  EXPECT_EQ(OpenAndTalk("?echo=auto"), ZARVO_OK);
  EXPECT_EQ(OpenAndTalk("?echo=on&wait=50"), ZARVO_OK);
  // Taken as reply, the echo is a frame without a start byte.
  EXPECT_EQ(OpenAndTalk("?echo=off"), ZARVO_E_NO_START_BYTE);
}

TEST_F(EchoingBusTest, OptionsByCallHoldAcrossOpensAndNameOptionsForOneOpen) {
  ASSERT_EQ(Zarvo_LineSetOption(line(), "echo", "off"), ZARVO_OK);
  EXPECT_EQ(OpenAndTalk(""), ZARVO_E_NO_START_BYTE);
  EXPECT_EQ(OpenAndTalk(""), ZARVO_E_NO_START_BYTE);
  EXPECT_EQ(OpenAndTalk("?echo=auto"), ZARVO_OK);
  EXPECT_EQ(OpenAndTalk(""), ZARVO_E_NO_START_BYTE);
  // Set while open, an option applies to the open line at once.
  ASSERT_EQ(Zarvo_LineSetOption(line(), "echo", "on"), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line(), 1), ZARVO_OK);
}

TEST(NonEchoingBus, EchoRequiredButAbsentFailsRatherThanTakingTheReply) {
  sim::VirtualBus bus;
  ASSERT_TRUE(bus.Start());
  std::unique_ptr<ZarvoLine, LineDeleter> line(Zarvo_LineCreate());
  const std::string name = bus.device_name() + "?echo=on";
  ASSERT_EQ(Zarvo_LineOpenCom(line.get(), name.c_str(), 9600), ZARVO_OK);
  // The reply came where the echo was due: to the line, another station's
  // frame.
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_E_MISMATCH);
  int32_t day[33] = {0};
  EXPECT_EQ(Zarvo_LineTimeTable(line.get(), 1, 1, day, 0), ZARVO_E_MISMATCH);
  EXPECT_EQ(Zarvo_LineOpenCom(line.get(), bus.device_name().c_str(), 9600), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_OK);
}

// ---- Byte by byte ------------------------------------------------------

// The probe of address 3 as it goes on the wire.
Bytes ProbeWire() {
  const uint8_t body[] = {0x80, 0x03, 0x01};
  uint8_t frame[sizeof body + 4];
  const size_t size = BuildRequestFrame(body, sizeof body, frame);
  Bytes wire(2 * size - 2);
  EncodeFrame(frame, size, wire.data());
  return wire;
}

const Bytes kReply = ScriptedTransport::Reply(3, 1, 0, {0x5A});

// A scripted line with one option set.
struct EchoLine : ScriptedLine {
  EchoLine(const char* key, const char* value) { EXPECT_TRUE(line().SetOption(key, value)); }

  int32_t Probe(uint32_t silence_ms = 0) {
    uint8_t buffer[32] = {0x80, 0x03, 0x01};
    length = 3;
    return line().Exchange(buffer, sizeof buffer, length, silence_ms);
  }

  int32_t length = 0;
};

TEST(ScriptedEcho, EchoInPiecesThenReplyIsTakenUnderOnAndAuto) {
  const Bytes echo = ProbeWire();
  for (const char* mode : {"on", "auto"}) {
    SCOPED_TRACE(mode);
    EchoLine t("echo", mode);
    t.transport().Arrive(0, Bytes(echo.begin(), echo.begin() + 5));
    t.transport().Arrive(2, Bytes(echo.begin() + 5, echo.end()));
    t.transport().Arrive(30, kReply);
    EXPECT_EQ(t.Probe(), kOk);
    EXPECT_EQ(t.length, 1);
  }
}

// The start marks tell echo from reply, so whatever came in one burst is
// taken in one read: a reply longer than the request, after its echo or
// alone.
TEST(ScriptedEcho, OneBurstIsOneRead) {
  const Bytes echo = ProbeWire();
  Bytes echo_and_reply = echo;
  echo_and_reply.insert(echo_and_reply.end(), kReply.begin(), kReply.end());
  ASSERT_GT(kReply.size(), echo.size());
  for (const char* mode : {"on", "auto"}) {
    for (const Bytes& burst : {echo_and_reply, kReply}) {
      if (burst == kReply && std::string(mode) == "on") continue;
      SCOPED_TRACE(std::string(mode) + (burst == kReply ? ", no echo" : ", echo"));
      EchoLine t("echo", mode);
      t.transport().Arrive(1, burst);
      EXPECT_EQ(t.Probe(), kOk);
      EXPECT_EQ(t.transport().reads(), 1u);
    }
  }
}

TEST(ScriptedEcho, EchoDifferingInOneByteIsACollisionWhenEchoIsExpected) {
  const Bytes echo = ProbeWire();
  for (size_t at : {size_t{0}, size_t{4}, echo.size() - 1}) {
    SCOPED_TRACE(at);
    EchoLine t("echo", "on");
    Bytes garbled = echo;
    garbled[at] ^= 0x01;
    t.transport().Arrive(0, garbled);
    t.transport().Arrive(5, kReply);
    EXPECT_EQ(t.Probe(), kMismatch);
  }
}

TEST(ScriptedEcho, EchoStoppingShortIsACollisionWhenEchoIsExpected) {
  EchoLine t("echo", "on");
  const Bytes echo = ProbeWire();
  t.transport().Arrive(0, Bytes(echo.begin(), echo.end() - 3));
  EXPECT_EQ(t.Probe(), kMismatch);
}

TEST(ScriptedEcho, AutoTakesAReplyThatDoesNotStartWithTheRequestAsItIs) {
  EchoLine t("echo", "auto");
  Bytes noisy = {0x55, 0x0A};
  noisy.insert(noisy.end(), kReply.begin(), kReply.end());
  t.transport().Arrive(3, noisy);
  EXPECT_EQ(t.Probe(), kOk);
  EXPECT_EQ(t.length, 1);
}

// With a 200 ms silence limit and wait=300: a first byte at 499 ms is
// taken, at 500 ms it is too late; the rest of the reply then has the plain
// silence limit between bytes.
TEST(ScriptedWait, WaitExtendsOnlyTheWaitForTheFirstByte) {
  struct Row {
    uint32_t first_ms;
    uint32_t gap_ms;
    int32_t result;
    uint64_t waited_ms;
  };
  const Row rows[] = {
      {499, 199, kOk, 499 + 199},
      {500, 0, kNoReply, 500},
      {499, 200, kMismatch, 499 + 200},  // only the start byte came in time
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.first_ms) + "/" + std::to_string(row.gap_ms));
    EchoLine t("wait", "300");
    t.transport().Arrive(row.first_ms, {kReply[0]});
    t.transport().Arrive(row.gap_ms, Bytes(kReply.begin() + 1, kReply.end()));
    EXPECT_EQ(t.Probe(200), row.result);
    EXPECT_EQ(t.transport().waited_ms(), row.waited_ms);
  }
}

}  // namespace
}  // namespace zarvo
