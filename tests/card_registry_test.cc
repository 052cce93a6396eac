// Card and double-card commands against a scripted line: the bytes each mode
// sends, how reply entries land in the caller's record, what is left alone,
// and the elapsed time handed back.
#include "commands/card_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;
using testing::ScriptedTransport;

constexpr uint32_t kUntouchedTicks = 0xDEADBEEF;

// Copies `text` into a fixed field, terminated when it fits.
template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

// A 32-character flag text: `head` followed by '0's.
template <size_t N>
void PutFlags(char (&field)[N], const std::string& head) {
  static_assert(N == 32);
  std::memset(field, '0', N);
  std::memcpy(field, head.data(), head.size());
}

CardRecord ExampleCard() {
  CardRecord r{};
  Put(r.cardNumber, "4000000000");
  Put(r.pin, "12ab56");
  PutFlags(r.flags, "1010");
  r.value1 = 1;
  r.value2 = 258;
  r.year = 2007;
  r.month = 12;
  r.day = 31;
  return r;
}

DoubleCardRecord ExampleDouble() {
  DoubleCardRecord r{};
  Put(r.cardNumber1, "1");
  Put(r.cardNumber2, "2");
  Put(r.reservedPin, "ab");
  PutFlags(r.flags, "01");
  r.reservedValue1 = 0x55;
  r.value2 = 9;
  r.year = 2010;
  r.month = 5;
  r.day = 6;
  return r;
}

template <typename Record>
bool SameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

class CardRegistryTest : public ::testing::Test {
 protected:
  int32_t Single(int32_t mode, int32_t flag = 0, int32_t address = 1) {
    return Registry(t_.line(), address, card_, ticks_, mode, flag);
  }
  int32_t Double(int32_t mode, int32_t address = 1) {
    return RegistryDouble(t_.line(), address, double_, ticks_, mode);
  }
  Bytes Sent() { return t_.transport().LastBody(); }
  // Bytes [from, to) of the last body sent.
  Bytes SentPart(size_t from, size_t to) {
    const Bytes body = Sent();
    return Bytes(body.begin() + static_cast<long>(from), body.begin() + static_cast<long>(to));
  }

  ScriptedLine t_;
  CardRecord card_ = ExampleCard();
  DoubleCardRecord double_ = ExampleDouble();
  uint32_t ticks_ = kUntouchedTicks;
};

// The pin is upper-cased in the record even when the controller refuses.
TEST_F(CardRegistryTest, WriteSendsTheEntryWithTheCodeTheFlagSelects) {
  struct Case {
    int32_t flag;
    uint8_t code, status;
    int32_t result;
  };
  const Case cases[] = {
      {0, 0x12, 0, kOk}, {5, 0x14, 0, kOk}, {-1, 0x14, 0, kOk}, {0, 0x12, 3, kRefused}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "flag " << c.flag << " status " << int{c.status});
    card_ = ExampleCard();
    ticks_ = kUntouchedTicks;
    t_.Reply(1, c.code, {}, c.status);
    EXPECT_EQ(Single(1, c.flag), c.result);
    EXPECT_EQ(Sent(), (Bytes{0x80, 0x01, c.code, 0x07, 0x12, 0x31, 0xEE, 0x6B, 0x28, 0x00, 0x12,
                             0xAB, 0x56, 0x01, 0x02, 0x05, 0x00, 0x00, 0x00}));
    EXPECT_STREQ(card_.pin, "12AB56");
    EXPECT_NE(ticks_, kUntouchedTicks);
  }
}

// What a read is expected to leave in the record.
struct Entry {
  int32_t year, month, day;
  const char* number;
  const char* pin;
  int32_t value1, value2;
  std::string flags;
};

TEST_F(CardRegistryTest, ReadDecodesTheEntryIntoTheRecord) {
  const Bytes whole = {0x07, 0x12, 0x31, 0x00, 0x00, 0x00, 0x7B, 0x12,
                       0x34, 0x56, 0x03, 0x04, 0x01, 0x00, 0x00, 0x80};
  const std::string none(32, '0');
  const struct {
    Bytes payload;
    Entry expected;
  } cases[] = {
      {whole, {2007, 12, 31, "00000123", "123456", 3, 4, "1" + std::string(30, '0') + "1"}},
      {{7, 1, 1, 0xFF, 0xFF, 0xFF, 0xFF}, {2007, 1, 1, "4294967295", "000000", 0, 0, none}},
      {{0x99, 1, 1}, {2099, 1, 1, "00000000", "000000", 0, 0, none}},  // this century
      {{7, 1, 2}, {2007, 1, 2, "00000000", "000000", 0, 0, none}},     // missing bytes are 0
      // The request body left in the buffer must not be decoded as an entry.
      {{}, {2000, 0, 0, "00000000", "000000", 0, 0, none}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.payload));
    card_ = ExampleCard();
    Put(card_.cardNumber, "123");
    t_.Reply(1, 22, c.payload);
    EXPECT_EQ(Single(0), kOk);
    EXPECT_EQ(Sent(), (Bytes{0x80, 0x01, 22, 0x00, 0x00, 0x00, 0x7B}));
    EXPECT_EQ(card_.year, c.expected.year);
    EXPECT_EQ(card_.month, c.expected.month);
    EXPECT_EQ(card_.day, c.expected.day);
    EXPECT_STREQ(card_.cardNumber, c.expected.number);
    EXPECT_STREQ(card_.pin, c.expected.pin);
    EXPECT_EQ(card_.value1, c.expected.value1);
    EXPECT_EQ(card_.value2, c.expected.value2);
    EXPECT_EQ(std::string(card_.flags, 32), c.expected.flags);
  }
}

TEST_F(CardRegistryTest, CardNumberTextsWrapAndStopAtTheFirstNonDigit) {
  struct Case {
    const char* text;
    Bytes wire;
  };
  const Case cases[] = {{"-1", {0xFF, 0xFF, 0xFF, 0xFF}},
                        {"4294967296", {0, 0, 0, 0}},
                        {" 12x", {0, 0, 0, 0x0C}},
                        {"+77", {0, 0, 0, 77}},
                        {"abc", {0, 0, 0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Put(card_.cardNumber, c.text);
    t_.Reply(1, 19);
    EXPECT_EQ(Single(2), kOk);
    EXPECT_EQ(SentPart(3, 7), c.wire);
  }
}

TEST_F(CardRegistryTest, YearTravelsAsItsLastTwoDigits) {
  card_.year = 1999;
  t_.Reply(1, 18);
  ASSERT_EQ(Single(1), kOk);
  EXPECT_EQ(Sent()[3], 0x99);
}

TEST_F(CardRegistryTest, DoubleWriteSendsBothNumbersAndLeavesPinAndValue1PlacesAlone) {
  const DoubleCardRecord before = double_;
  t_.Reply(1, 23);
  EXPECT_EQ(Double(1), kOk);
  EXPECT_EQ(Sent(),
            (Bytes{0x80, 0x01, 23, 0x10, 0x05, 0x06, 0, 0, 0, 1, 0, 0, 0, 2, 9, 0x02, 0, 0, 0}));
  EXPECT_TRUE(SameBytes(double_, before));  // "ab" in the pin place stays lower case
}

TEST_F(CardRegistryTest, DoubleReadDecodesTheEntryAndKeepsPinAndValue1Places) {
  t_.Reply(1, 27,
           {0x21, 0x02, 0x28, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x30, 0x39, 0xC8, 0x00, 0x01,
            0x00, 0x00});
  EXPECT_EQ(Double(0), kOk);
  EXPECT_EQ(Sent(), (Bytes{0x80, 0x01, 27, 0, 0, 0, 1, 0, 0, 0, 2}));
  EXPECT_EQ(double_.year, 2021);
  EXPECT_EQ(double_.month, 2);
  EXPECT_EQ(double_.day, 28);
  EXPECT_STREQ(double_.cardNumber1, "00000256");
  EXPECT_STREQ(double_.cardNumber2, "00012345");
  EXPECT_EQ(double_.value2, 200);
  std::string flags(32, '0');
  flags[8] = '1';
  EXPECT_EQ(std::string(double_.flags, 32), flags);
  EXPECT_STREQ(double_.reservedPin, "ab");
  EXPECT_EQ(double_.reservedValue1, 0x55);

  // The request body left in the buffer must not be decoded as an entry.
  double_ = ExampleDouble();
  t_.Reply(1, 27);
  EXPECT_EQ(Double(0), kOk);
  EXPECT_EQ(double_.year, 2000);
  EXPECT_STREQ(double_.cardNumber1, "00000000");
  EXPECT_STREQ(double_.cardNumber2, "00000000");
  EXPECT_EQ(double_.value2, 0);
}

TEST_F(CardRegistryTest, DeleteSendsTheNumbersAndNeverWritesTheRecord) {
  const CardRecord card_before = card_;
  const DoubleCardRecord double_before = double_;
  const Bytes payload(16, 0x42);

  t_.Reply(1, 19, payload);
  EXPECT_EQ(Single(2), kOk);
  EXPECT_EQ(Sent(), (Bytes{0x80, 0x01, 19, 0xEE, 0x6B, 0x28, 0x00}));
  EXPECT_TRUE(SameBytes(card_, card_before));

  t_.Reply(1, 24, payload);
  EXPECT_EQ(Double(2), kOk);
  EXPECT_EQ(Sent(), (Bytes{0x80, 0x01, 24, 0, 0, 0, 1, 0, 0, 0, 2}));
  EXPECT_TRUE(SameBytes(double_, double_before));
}

TEST_F(CardRegistryTest, InvalidModeSendsNothingAndLeavesRecordAndTicksAlone) {
  const CardRecord card_before = card_;
  const DoubleCardRecord double_before = double_;
  for (int32_t mode : {3, -1}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(Single(mode), kInvalidArgument);
    EXPECT_EQ(Double(mode), kInvalidArgument);
  }
  EXPECT_TRUE(t_.transport().writes().empty());
  EXPECT_EQ(ticks_, kUntouchedTicks);
  EXPECT_TRUE(SameBytes(card_, card_before));  // the pin is not even upper-cased
  EXPECT_TRUE(SameBytes(double_, double_before));
}

TEST_F(CardRegistryTest, EveryCardCommandWaitsTenSecondsOfSilence) {
  for (int32_t mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    const DoubleCardRecord double_before = double_;
    const CardRecord card_before = card_;
    const uint64_t waited = t_.transport().waited_ms();
    ticks_ = kUntouchedTicks;
    EXPECT_EQ(Double(mode), kNoReply);
    EXPECT_EQ(t_.transport().waited_ms() - waited, 10000u);
    EXPECT_EQ(ticks_, 10000u);
    EXPECT_TRUE(SameBytes(double_, double_before));

    ticks_ = kUntouchedTicks;
    EXPECT_EQ(Single(mode), kNoReply);
    EXPECT_EQ(t_.transport().waited_ms() - waited, 20000u);
    EXPECT_EQ(ticks_, 10000u);
    if (mode != 1) {  // a write upper-cases the pin
      EXPECT_TRUE(SameBytes(card_, card_before));
    }
  }
}

TEST_F(CardRegistryTest, TicksIsTheDurationOfTheExchange) {
  t_.clock().Set(123456);
  t_.transport().Arrive(40, ScriptedTransport::Reply(1, 22, 0, Bytes(16, 0)));
  EXPECT_EQ(Single(0), kOk);
  EXPECT_EQ(ticks_, 40u);
}

TEST_F(CardRegistryTest, NoPortOpenGivesZeroTicks) {
  t_.transport().Close();
  EXPECT_EQ(Single(0), kNotOpen);
  EXPECT_EQ(ticks_, 0u);
  ticks_ = kUntouchedTicks;
  EXPECT_EQ(Double(1), kNotOpen);
  EXPECT_EQ(ticks_, 0u);
  EXPECT_TRUE(t_.transport().writes().empty());
}

// A pin that fills its field without a terminator is packed and upper-cased
// within the field; the fields behind it are not touched.
TEST_F(CardRegistryTest, UnterminatedPinStaysInsideItsField) {
  std::memcpy(card_.pin, "abcdefab", 8);
  std::memset(card_.flags, 'a', sizeof card_.flags);
  std::memset(card_.reserved, 'b', sizeof card_.reserved);
  card_.value1 = 0x61616161;
  const CardRecord before = card_;
  t_.Reply(1, 18);
  EXPECT_EQ(Single(1), kOk);
  EXPECT_EQ(SentPart(10, 13), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(std::string(card_.pin, 8), "ABCDEFAB");
  EXPECT_EQ(std::memcmp(card_.flags, before.flags, sizeof card_.flags), 0);
  EXPECT_EQ(std::memcmp(card_.reserved, before.reserved, sizeof card_.reserved), 0);
  EXPECT_EQ(card_.value1, 0x61616161);
}

// A card number that fills its field is read up to the field's end only.
TEST_F(CardRegistryTest, UnterminatedCardNumberEndsWithItsField) {
  std::memcpy(double_.cardNumber1, "0000000000000001", 16);
  Put(double_.cardNumber2, "2");
  t_.Reply(1, 24);
  EXPECT_EQ(Double(2), kOk);
  EXPECT_EQ(Sent(), (Bytes{0x80, 0x01, 24, 0, 0, 0, 1, 0, 0, 0, 2}));
}

}  // namespace
}  // namespace zarvo
