// The virtual controller served on loopback TCP, its line where there are
// no pseudo-terminals (zarvoctl --sim on Windows): hosts reach it by
// tcp://, a host connecting anew takes over, replies that pause or hang up
// behave as on a pseudo-terminal, and stopping cuts a pending delay short.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <memory>
#include <string>

#include "socket_wire.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class LoopbackBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.Start());
    ASSERT_EQ(bus_.device_name().rfind("tcp://127.0.0.1:", 0), 0u) << bus_.device_name();
    line_ = Open();
  }
  void TearDown() override {
    Zarvo_LineDestroy(line_);
    bus_.Stop();
  }

  ZarvoLine* Open() {
    ZarvoLine* line = Zarvo_LineCreate();
    EXPECT_EQ(Zarvo_LineOpenCom(line, bus_.device_name().c_str(), 9600), ZARVO_OK);
    return line;
  }

  sim::VirtualBus bus_{{1, 2}, std::make_unique<sim::SocketWire>()};
  ZarvoLine* line_ = nullptr;
};

TEST_F(LoopbackBusTest, OperationsRunAndAHostConnectingAnewTakesOver) {
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
  char version[33] = {};
  EXPECT_EQ(Zarvo_LineVer(line_, 2, version), ZARVO_OK);
  EXPECT_NE(version[0], '\0');
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 7), ZARVO_E_NO_REPLY);

  ZarvoLine* second = Open();
  EXPECT_EQ(Zarvo_LineSearchAR(second, 2), ZARVO_OK);
  Zarvo_LineDestroy(second);
  // The first host lost its connection to the second; it comes back.
  int32_t result = Zarvo_LineSearchAR(line_, 1);
  if (result != ZARVO_OK) result = Zarvo_LineSearchAR(line_, 1);
  EXPECT_EQ(result, ZARVO_OK);
}

struct FaultCase {
  const char* fault;
  int32_t expected;
};

class LoopbackFaultTest : public LoopbackBusTest,
                          public ::testing::WithParamInterface<FaultCase> {};

TEST_P(LoopbackFaultTest, FaultyReplyEndsAsOnAPseudoTerminal) {
  sim::Fault fault;
  ASSERT_TRUE(sim::ParseFault(GetParam().fault, fault));
  bus_.InjectFault(fault);
  const auto start = Clock::now();
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), GetParam().expected);
  EXPECT_LT(MsSince(start), 450) << "the silence limit (500 ms) must not be waited out";
}

INSTANTIATE_TEST_SUITE_P(Faults, LoopbackFaultTest,
                         ::testing::Values(FaultCase{"trickle:5", ZARVO_OK},
                                           FaultCase{"late:100", ZARVO_OK},
                                           FaultCase{"close-line", ZARVO_E_NO_REPLY}),
                         [](const auto& test) {
                           std::string name = test.param.fault;
                           for (char& c : name) c = std::isalnum(c) ? c : '_';
                           return name;
                         });

TEST_F(LoopbackBusTest, StoppingCutsAPendingDelayShort) {
  sim::Fault late;
  ASSERT_TRUE(sim::ParseFault("late:10000", late));
  bus_.InjectFault(late);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_E_NO_REPLY);
  const auto start = Clock::now();
  bus_.Stop();
  EXPECT_LT(MsSince(start), 2000);
}

}  // namespace
}  // namespace zarvo
