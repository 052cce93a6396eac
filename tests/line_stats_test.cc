// A line's health counters after each kind of exchange a real line can
// produce, scripted: one row per fault, the counters it must move and no
// others.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "codec/frame_codec.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;
using testing::ScriptedTransport;

// The probe of address 3 as the host writes it, for scripting an echo.
Bytes ProbeWire() {
  const uint8_t body[] = {0x80, 0x03, 0x01};
  uint8_t frame[32];
  const size_t size = BuildRequestFrame(body, sizeof body, frame);
  Bytes wire(2 * size - 2);
  EncodeFrame(frame, size, wire.data());
  return wire;
}

Bytes WithNoise(Bytes noise, const Bytes& reply) {
  noise.insert(noise.end(), reply.begin(), reply.end());
  return noise;
}

using S = ZarvoLineStats;

struct Row {
  const char* name;
  std::function<void(ScriptedLine&)> script;
  int32_t result;
  // The counters the one exchange moves besides `exchanges`, and by how much.
  std::vector<std::pair<uint32_t S::*, uint32_t>> moved;
};

const Row kRows[] = {
    {"success", [](ScriptedLine& t) { t.Reply(3, 1); }, kOk, {{&S::successes, 1}}},
    {"refusal", [](ScriptedLine& t) { t.Reply(3, 1, {}, 3); }, kRefused, {{&S::refusals, 1}}},
    {"silence", [](ScriptedLine&) {}, kNoReply, {{&S::noReply, 1}, {&S::silences, 1}}},
    {"noise_before_the_reply",
     [](ScriptedLine& t) {
       t.transport().Arrive(1, WithNoise({0x55, 0xFF}, ScriptedTransport::Reply(3, 1, 0, {})));
     },
     kOk,
     {{&S::successes, 1}, {&S::noiseBytes, 2}}},
    {"byte_outside_the_nibble_range_inside_the_reply",
     [](ScriptedLine& t) {
       Bytes wire = ScriptedTransport::Reply(3, 1, 0, {0x12});
       wire[9] = 0x3F;  // the payload's high nibble
       t.transport().Arrive(1, wire);
     },
     kOk,
     {{&S::successes, 1}, {&S::badByteFrames, 1}}},
    {"garbage_of_a_controller_at_another_speed",
     [](ScriptedLine& t) {
       t.transport().Arrive(1, {0x85, 0xF3, 0x9A});
     },
     kNoStartByte,
     {{&S::noStartByte, 1}, {&S::noiseBytes, 3}}},
    {"reply_from_another_address",
     [](ScriptedLine& t) { t.Reply(5, 1); },
     kMismatch,
     {{&S::mismatches, 1}}},
    {"reply_without_end",
     [](ScriptedLine& t) { t.transport().Arrive(1, Bytes(8193, 0x01)); },
     kTooLong,
     {{&S::tooLong, 1}}},
    {"device_gone",
     [](ScriptedLine& t) { t.transport().HangUp(5); },
     kNoReply,
     {{&S::noReply, 1}, {&S::linksLost, 1}}},
    {"echo_then_reply",
     [](ScriptedLine& t) {
       t.transport().Arrive(1, ProbeWire());
       t.Reply(3, 1);
     },
     kOk,
     {{&S::successes, 1}, {&S::echoesStripped, 1}}},
    {"echo_then_silence",
     [](ScriptedLine& t) { t.transport().Arrive(1, ProbeWire()); },
     kNoReply,
     {{&S::noReply, 1}, {&S::silences, 1}, {&S::echoesStripped, 1}}},
    {"link_connected_again",
     [](ScriptedLine& t) {
       t.transport().ReconnectAtNextStart();
       t.Reply(3, 1);
     },
     kOk,
     {{&S::successes, 1}, {&S::reconnects, 1}}},
    {"port_closed", [](ScriptedLine& t) { t.transport().Close(); }, kNotOpen, {{&S::notOpen, 1}}},
};

std::array<uint32_t, 14> Fields(const ZarvoLineStats& s) {
  static_assert(sizeof(ZarvoLineStats) == 14 * sizeof(uint32_t));
  std::array<uint32_t, 14> fields;
  std::memcpy(fields.data(), &s, sizeof s);
  return fields;
}

class LineStatsTest : public ::testing::TestWithParam<Row> {
 protected:
  int32_t Probe() {
    std::array<uint8_t, 32> buffer{0x80, 0x03, 0x01};
    int32_t length = 3;
    return t_.line().Exchange(buffer.data(), 32, length, 200);
  }

  ScriptedLine t_;
};

TEST_P(LineStatsTest, CountsWhatTheExchangeMet) {
  const Row& row = GetParam();
  row.script(t_);
  EXPECT_EQ(Probe(), row.result);
  ZarvoLineStats expected{};
  expected.exchanges = 1;
  for (const auto& [counter, by] : row.moved) expected.*counter = by;
  EXPECT_EQ(Fields(t_.line().stats()), Fields(expected));
}

INSTANTIATE_TEST_SUITE_P(Faults, LineStatsTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(LineStats, ArgumentsRefusedBeforeSendingAreNotAnExchange) {
  ScriptedLine t;
  std::array<uint8_t, 4> buffer{0x80, 0x03, 0x01};
  int32_t length = 8;  // more than the buffer holds
  EXPECT_EQ(t.line().Exchange(buffer.data(), 4, length, 0), kInvalidArgument);
  EXPECT_EQ(t.line().stats().exchanges, 0u);
}

TEST(LineStats, CountersStopAtTheTop) {
  uint32_t counter = UINT32_MAX - 1;
  Bump(counter, 5);
  EXPECT_EQ(counter, UINT32_MAX);
  Bump(counter);
  EXPECT_EQ(counter, UINT32_MAX);
}

TEST(LineStats, CApiReadsAndResets) {
  ZarvoLine* line = Zarvo_LineCreate();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(Zarvo_LineSearchAR(line, 1), ZARVO_E_NOT_OPEN);
  ZarvoLineStats stats{};
  EXPECT_EQ(Zarvo_LineStats(line, &stats, 1), ZARVO_OK);
  EXPECT_EQ(stats.exchanges, 1u);
  EXPECT_EQ(stats.notOpen, 1u);
  EXPECT_EQ(Zarvo_LineStats(line, &stats, 0), ZARVO_OK);
  EXPECT_EQ(stats.exchanges, 0u);  // the first read reset them
  EXPECT_EQ(Zarvo_LineStats(line, nullptr, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_LineStats(nullptr, &stats, 0), ZARVO_E_INVALID_ARG);
  Zarvo_LineDestroy(line);
}

}  // namespace
}  // namespace zarvo
