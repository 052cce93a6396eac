// The exchange against a scripted line and a fake clock: every result code,
// the silence limit and what the caller's buffer holds afterwards.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;
using testing::ScriptedTransport;

class ExchangeTest : public ::testing::Test {
 protected:
  // Sends the probe-like body 80 `address` `command` with a 32-byte buffer.
  int32_t Send(uint8_t address = 3, uint8_t command = 1, uint32_t timeout = 0) {
    buffer_.fill(0);
    buffer_[0] = 0x80;
    buffer_[1] = address;
    buffer_[2] = command;
    length_ = 3;
    return t_.line().Exchange(buffer_.data(), 32, length_, timeout);
  }

  ScriptedLine t_;
  std::array<uint8_t, 32> buffer_{};
  int32_t length_ = 0;
};

TEST_F(ExchangeTest, WritesTheEncodedRequestAndReturnsThePayload) {
  t_.Reply(3, 1, {0xAA, 0xBB});
  EXPECT_EQ(Send(), kOk);
  ASSERT_EQ(t_.transport().writes().size(), 1u);
  EXPECT_EQ(t_.transport().LastBody(), (Bytes{0x80, 0x03, 0x01}));
  EXPECT_EQ(length_, 2);
  EXPECT_EQ(buffer_[0], 0xAA);
  EXPECT_EQ(buffer_[1], 0xBB);
  EXPECT_EQ(buffer_[2], 0x00);  // the rest of the buffer is cleared
}

TEST_F(ExchangeTest, NoPortOpenWritesNothing) {
  t_.transport().Close();
  EXPECT_EQ(Send(), kNotOpen);
  EXPECT_TRUE(t_.transport().writes().empty());
  EXPECT_EQ(t_.line().LastExchangeTicks(), 0u);
}

TEST_F(ExchangeTest, NothingWrittenIsNotOpen) {
  t_.transport().set_write_result(0);
  EXPECT_EQ(Send(), kNotOpen);
}

TEST_F(ExchangeTest, SilenceGivesNoReplyAfterTheDefaultLimit) {
  EXPECT_EQ(Send(3, 1, 0), kNoReply);
  EXPECT_EQ(t_.transport().waited_ms(), 500u);
  EXPECT_EQ(t_.line().LastExchangeTicks(), 500u);
}

TEST_F(ExchangeTest, TenSecondSilenceIsWaitedOutOnTheFakeClock) {
  EXPECT_EQ(Send(3, 22, 10000), kNoReply);
  EXPECT_EQ(t_.transport().waited_ms(), 10000u);
  EXPECT_EQ(t_.line().LastExchangeTicks(), 10000u);
}

TEST_F(ExchangeTest, SilenceLimitIsBetweenBytesNotForTheWholeReply) {
  const Bytes wire = ScriptedTransport::Reply(3, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8});
  for (uint8_t b : wire) t_.transport().Arrive(199, {b});  // just under 200 ms apart
  EXPECT_EQ(Send(3, 1, 200), kOk);
  EXPECT_EQ(length_, 8);
  EXPECT_GT(t_.line().LastExchangeTicks(), 199u * 20);
}

TEST_F(ExchangeTest, ByteArrivingExactlyAtTheLimitIsTooLate) {
  t_.transport().Arrive(200, ScriptedTransport::Reply(3, 1, 0, {}));
  EXPECT_EQ(Send(3, 1, 200), kNoReply);
}

TEST_F(ExchangeTest, ReplyStoppingWithoutEndByteIsDecodedAfterTheSilence) {
  Bytes wire = ScriptedTransport::Reply(3, 1, 0, {0x42});
  wire.pop_back();  // no end byte
  t_.transport().Arrive(1, wire);
  EXPECT_EQ(Send(), kOk);
  EXPECT_EQ(length_, 1);
  EXPECT_EQ(buffer_[0], 0x42);
  EXPECT_EQ(t_.transport().waited_ms(), 1u + 500u);
}

TEST_F(ExchangeTest, NoiseWithoutStartByte) {
  t_.transport().Arrive(1, {0x01, 0x02, 0x03, 0x2D});
  EXPECT_EQ(Send(), kNoStartByte);
}

TEST_F(ExchangeTest, ReplyFromAnotherAddressIsAMismatch) {
  t_.Reply(5, 1);
  EXPECT_EQ(Send(3, 1), kMismatch);
}

TEST_F(ExchangeTest, AddressZeroAcceptsAReplyFromAnyController) {
  t_.Reply(5, 1);
  EXPECT_EQ(Send(0, 1), kOk);
}

TEST_F(ExchangeTest, ReplyForAnotherCommandIsAMismatch) {
  t_.Reply(3, 2);
  EXPECT_EQ(Send(3, 1), kMismatch);
}

TEST_F(ExchangeTest, RefusalLeavesTheRequestInTheBuffer) {
  t_.Reply(3, 1, {0x99}, 3);
  EXPECT_EQ(Send(), kRefused);
  EXPECT_EQ(buffer_[0], 0x80);
  EXPECT_EQ(buffer_[1], 0x03);
  EXPECT_EQ(buffer_[2], 0x01);
}

TEST_F(ExchangeTest, PayloadLargerThanCapacityIsCutButItsLengthReported) {
  Bytes payload(40);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i + 1);
  t_.Reply(3, 1, payload);
  std::array<uint8_t, 64> guarded{};
  guarded.fill(0xEE);
  guarded[0] = 0x80;
  guarded[1] = 3;
  guarded[2] = 1;
  int32_t length = 3;
  EXPECT_EQ(t_.line().Exchange(guarded.data(), 32, length, 0), kOk);
  EXPECT_EQ(length, 40);
  EXPECT_EQ(guarded[31], 32);
  EXPECT_EQ(guarded[32], 0xEE);  // nothing past the capacity
}

TEST_F(ExchangeTest, EmptyPayloadLeavesTheRequestBody) {
  t_.Reply(3, 1);
  EXPECT_EQ(Send(), kOk);
  EXPECT_EQ(length_, 0);
  EXPECT_EQ(buffer_[0], 0x80);
  EXPECT_EQ(buffer_[2], 0x01);
}

TEST_F(ExchangeTest, ReplyLongerThanTheReceiveBufferIsTooLong) {
  t_.transport().Arrive(1, Bytes(8193, 0x01));
  EXPECT_EQ(Send(), kTooLong);
}

TEST_F(ExchangeTest, ReplyFillingTheReceiveBufferExactlyIsTaken) {
  Bytes wire = {0x55};  // one byte of noise, then a reply of 8191 bytes and the end byte
  const Bytes reply = ScriptedTransport::Reply(3, 1, 0, Bytes(4089, 0x00));
  wire.insert(wire.end(), reply.begin(), reply.end());
  ASSERT_EQ(wire.size(), 8193u);
  t_.transport().Arrive(1, wire);
  EXPECT_EQ(Send(), kOk);
  EXPECT_EQ(length_, 4089);
}

TEST_F(ExchangeTest, StaleInputIsDiscardedBeforeTheRequest) {
  // A late reply to an earlier request sits in the queue.
  t_.transport().Stale(ScriptedTransport::Reply(3, 9, 0, {0x11}));
  t_.Reply(3, 1, {0x22});
  EXPECT_EQ(Send(), kOk);
  EXPECT_EQ(buffer_[0], 0x22);
}

TEST_F(ExchangeTest, DeviceGoneStopsAtOnce) {
  t_.transport().Arrive(5, {0xD2, 0x00});
  t_.transport().HangUp(3);
  EXPECT_EQ(Send(3, 1, 10000), kNoReply);
  EXPECT_EQ(t_.transport().waited_ms(), 8u);
  EXPECT_EQ(t_.line().LastExchangeTicks(), 8u);
}

TEST_F(ExchangeTest, LastErrorTellsFailuresWithTheSameCodeApart) {
  Bytes cut_short = ScriptedTransport::Reply(5, 1, 0, {});
  cut_short.pop_back();
  const struct {
    Bytes arriving;
    int32_t result;
    const char* words;
  } rows[] = {
      {{}, kNoReply, "no byte within 500 ms"},
      {ScriptedTransport::Reply(5, 1, 0, {}), kMismatch, "reply from address 5, not 3"},
      {ScriptedTransport::Reply(3, 7, 0, {}), kMismatch, "reply to command 0x07, not 0x01"},
      {ScriptedTransport::Reply(3, 1, 3, {}), kRefused,
       "the controller refused the command (status 3)"},
      {cut_short, kMismatch, "the reply stopped without its end mark"},
  };
  for (const auto& row : rows) {
    ScriptedLine t;
    if (!row.arriving.empty()) t.transport().Arrive(1, row.arriving);
    buffer_ = {0x80, 3, 1};
    length_ = 3;
    EXPECT_EQ(t.line().Exchange(buffer_.data(), 32, length_, 0), row.result) << row.words;
    EXPECT_STREQ(t.line().last_error().text(), row.words);
  }
}

TEST_F(ExchangeTest, DurationSurvivesClockWrap) {
  t_.clock().Set(0xFFFFFF00u);
  t_.transport().Arrive(300, ScriptedTransport::Reply(3, 1, 0, {}));
  EXPECT_EQ(Send(3, 1, 500), kOk);
  EXPECT_EQ(t_.line().LastExchangeTicks(), 300u);
}

}  // namespace
}  // namespace zarvo
