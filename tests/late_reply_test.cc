// A controller answering after its call gave up: on the scripted line with
// the fake clock, its late reply never passes for a later call's answer,
// and only a later call whose reply it could be waits for it to pass.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <vector>

#include "codec/frame_codec.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;
using testing::ScriptedTransport;

struct Call {
  uint8_t address;
  uint8_t command;
};

struct Arrival {
  uint32_t after_ms;
  Bytes bytes;
  bool unasked = false;  // may come before the request is written
};

Bytes Late(uint8_t address, uint8_t command) {
  return ScriptedTransport::Reply(address, command, 0, {0x55});
}
Bytes Own(uint8_t address, uint8_t command) {
  return ScriptedTransport::Reply(address, command, 0, {0x66});
}
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// A reply without its start byte and the next four.
Bytes Tail(Bytes reply) { return Bytes(reply.begin() + 5, reply.end()); }
// The adapter's echo of a request with the body 80 `address` `command`.
Bytes Echo(Call call) {
  const uint8_t body[] = {0x80, call.address, call.command};
  uint8_t wire[16];
  const size_t frame = BuildRequestFrame(body, sizeof body, wire);
  return Bytes(wire, wire + EncodeFrame(wire, frame, wire));
}

struct Row {
  const char* name;
  Call given_up;  // answered by silence (500 ms)
  uint32_t pause_ms;
  Call next;
  std::vector<Arrival> arrivals;  // during the next call
  // Time the next call spent waiting for input, ahead of its request and
  // after it.
  uint32_t waited_ms;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

// Arrivals are timed from the previous one, or from the request for the
// first after it; a call that waits out the late reply reads it before its
// request goes out.
const Row kRows[] = {
    {"scan_probes_the_next_address_at_once",
     {5, 1},
     0,
     {6, 1},
     {{100, Late(5, 1), true}, {50, Own(6, 1)}},
     150},
    {"late_and_own_reply_in_one_read",
     {5, 1},
     0,
     {5, 2},
     {{100, Join(Late(5, 1), Own(5, 2))}},
     100},
    {"late_reply_ahead_of_the_echo",
     {5, 1},
     0,
     {6, 1},
     {{100, Join(Join(Late(5, 1), Echo({6, 1})), Own(6, 1))}},
     100},
    {"tail_of_a_late_reply_after_its_head_was_dropped",
     {5, 1},
     0,
     {6, 1},
     {{100, Tail(Late(5, 1)), true}, {50, Own(6, 1)}},
     150},
    {"same_request_again_waits_out_the_late_reply",
     {5, 1},
     0,
     {5, 1},
     {{200, Late(5, 1), true}, {10, Own(5, 1)}},
     500 + 10},
    {"after_address_zero_any_probe_waits",
     {0, 1},
     0,
     {5, 1},
     {{100, Late(7, 1), true}, {10, Own(5, 1)}},
     500 + 10},
    {"same_request_after_the_window_goes_at_once", {5, 1}, 500, {5, 1}, {{10, Own(5, 1)}}, 10},
};

class LateReplyTest : public ::testing::TestWithParam<Row> {};

TEST_P(LateReplyTest, IsNeverTakenForTheNextCallsReply) {
  const Row& row = GetParam();
  ScriptedLine t;
  auto send = [&](Call call, std::array<uint8_t, 32>& buffer) {
    buffer = {0x80, call.address, call.command};
    int32_t length = 3;
    return t.line().Exchange(buffer.data(), 32, length, 500);
  };
  std::array<uint8_t, 32> buffer{};
  ASSERT_EQ(send(row.given_up, buffer), kNoReply);
  t.clock().Advance(row.pause_ms);
  for (const Arrival& a : row.arrivals) {
    if (a.unasked) {
      t.transport().ArriveUnasked(a.after_ms, a.bytes);
    } else {
      t.transport().Arrive(a.after_ms, a.bytes);
    }
  }
  const uint64_t waited_before = t.transport().waited_ms();

  EXPECT_EQ(send(row.next, buffer), kOk) << t.line().last_error().text();
  EXPECT_EQ(buffer[0], 0x66) << "the payload of the reply to this call";
  EXPECT_EQ(t.transport().waited_ms() - waited_before, row.waited_ms);
}

INSTANTIATE_TEST_SUITE_P(Rows, LateReplyTest, ::testing::ValuesIn(kRows),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace zarvo
