// How the library copes with a misbehaving line or controller, one row per
// fault injected by the virtual controller: the result code, the caller's
// record, the table cache, and whether the next call on the same port works.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>

#include "sim_fixture.h"

namespace zarvo {
namespace {

using sim::Fault;
using sim::FaultKind;

enum class Op { kProbe, kDeviceInformation, kWeekTableRead };

struct Row {
  const char* name;
  Fault fault;
  Op op;
  int32_t expected;
  // The controller is still sending when the call returns: wait for it
  // before the next call.
  bool wait_for_controller = false;
};

const Row kRows[] = {
    {"noise_before_reply", {FaultKind::kNoise}, Op::kDeviceInformation, ZARVO_OK},
    {"reply_from_another_address", {FaultKind::kOtherAddress}, Op::kDeviceInformation,
     ZARVO_E_MISMATCH},
    {"reply_for_another_command", {FaultKind::kOtherCommand}, Op::kDeviceInformation,
     ZARVO_E_MISMATCH},
    {"refusal_status", {FaultKind::kRefuse, 0, 7}, Op::kDeviceInformation, ZARVO_E_REFUSED},
    {"silence", {FaultKind::kSilence}, Op::kDeviceInformation, ZARVO_E_NO_REPLY},
    {"truncated_table_block", {FaultKind::kTruncate, 0, 3, 100}, Op::kWeekTableRead,
     ZARVO_E_SHORT_REPLY},
    {"refused_table_read", {FaultKind::kRefuse, 0, 2}, Op::kWeekTableRead, ZARVO_E_REFUSED},
    {"silent_table_read", {FaultKind::kSilence}, Op::kWeekTableRead, ZARVO_E_NO_REPLY},
    {"trickle_faster_than_the_limit", {FaultKind::kTrickle, 20}, Op::kProbe, ZARVO_OK},
    // Only the first byte arrives in time: what came is not a reply from
    // the controller that was asked.
    {"trickle_slower_than_the_limit", {FaultKind::kTrickle, 260}, Op::kProbe, ZARVO_E_MISMATCH,
     true},
    {"late_reply_then_next_call", {FaultKind::kLate, 300}, Op::kProbe, ZARVO_E_NO_REPLY, true},
    {"over_long_reply", {FaultKind::kOverLong}, Op::kProbe, ZARVO_E_TOO_LONG},
};

class FaultMatrixTest : public testing::SimTest, public ::testing::WithParamInterface<Row> {
 protected:
  // Runs the row's operation; checks that a failed call left the caller's
  // record as it was.
  int32_t Run(Op op) {
    switch (op) {
      case Op::kProbe:
        return Zarvo_SearchAR(1);
      case Op::kDeviceInformation: {
        std::array<int32_t, 6> values;
        values.fill(-7);
        const int32_t result = Zarvo_DeviceInformation(1, values.data());
        if (result != ZARVO_OK) {
          for (int32_t v : values) EXPECT_EQ(v, -7) << "values changed on failure";
        }
        return result;
      }
      case Op::kWeekTableRead: {
        std::array<int32_t, 33> day;
        day.fill(-7);
        day[0] = 2;
        const int32_t result = Zarvo_TimeTable(1, table_, day.data(), 0);
        if (result != ZARVO_OK) {
          EXPECT_EQ(day[0], 2);
          for (size_t i = 1; i < day.size(); ++i) EXPECT_EQ(day[i], -7) << "record changed";
        }
        return result;
      }
    }
    return ZARVO_OK;
  }

  // Each row reads its own table, so rows run in one process do not find
  // each other's blocks in the cache.
  int32_t table_ = 0;
};

TEST_P(FaultMatrixTest, ResultRecordCacheAndRecovery) {
  const Row& row = GetParam();
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (std::strcmp(kRows[i].name, row.name) == 0) table_ = static_cast<int32_t>(i % 16);
  }
  bus_.InjectFault(row.fault);
  EXPECT_EQ(Run(row.op), row.expected);
  if (row.wait_for_controller) {
    ASSERT_TRUE(bus_.WaitForReplies(1, 10000));
  }
  const uint64_t before = Requests();
  EXPECT_EQ(Run(row.op), ZARVO_OK) << "the next call on the same port";
  if (row.op == Op::kWeekTableRead) {
    // A failed read leaves no cached block behind: the retry above went to
    // the line, and only now does the cache answer.
    EXPECT_EQ(Requests(), before + 1);
    EXPECT_EQ(Run(row.op), ZARVO_OK);
    EXPECT_EQ(Requests(), before + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest, ::testing::ValuesIn(kRows),
                         [](const auto& test) { return std::string(test.param.name); });

using Clock = std::chrono::steady_clock;

TEST_F(FaultMatrixTest, LineClosedMidReplyEndsTheCallAtOnce) {
  bus_.InjectFault({FaultKind::kCloseLine});
  CardRecord card{};
  std::strcpy(card.cardNumber, "1");
  std::strcpy(card.pin, "kept");
  uint32_t ticks = 0;
  const auto start = Clock::now();
  // A card read would otherwise wait out 10 s of silence.
  EXPECT_EQ(Zarvo_Registry(1, &card, &ticks, 0, 0), ZARVO_E_NO_REPLY);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_STREQ(card.pin, "kept");
  EXPECT_LT(ticks, 2000u);
  // The line is gone for good: the next call fails at once as well.
  const auto again = Clock::now();
  EXPECT_NE(Zarvo_SearchAR(1), ZARVO_OK);
  EXPECT_LT(Clock::now() - again, std::chrono::seconds(1));
}

TEST_F(FaultMatrixTest, DeviceGoneBeforeTheRequestFailsAtOnce) {
  bus_.Stop();  // the controller side of the line disappears
  const auto start = Clock::now();
  std::array<int32_t, 6> values{};
  const int32_t result = Zarvo_DeviceInformation(1, values.data());
  EXPECT_TRUE(result == ZARVO_E_NOT_OPEN || result == ZARVO_E_NO_REPLY) << result;
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(400));
}

}  // namespace
}  // namespace zarvo
