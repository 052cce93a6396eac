// Cards through the exported functions against the virtual controller:
// what it stores, returns, forgets and refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim_fixture.h"
#include "state/card_store.h"

namespace zarvo {
namespace {

using testing::SimTest;

constexpr uint32_t kUntouchedTicks = 0xDEADBEEF;

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size());
}

CardRecord Card(const std::string& number, int32_t year = 2030, int32_t month = 6,
                int32_t day = 15) {
  CardRecord r{};
  Put(r.cardNumber, number);
  Put(r.pin, "c0ffee");
  std::memset(r.flags, '0', sizeof r.flags);
  r.flags[2] = '1';
  r.flags[17] = '1';
  r.value1 = 7;
  r.value2 = 250;
  r.year = year;
  r.month = month;
  r.day = day;
  return r;
}

DoubleCardRecord DoubleCard(const std::string& number1, const std::string& number2) {
  DoubleCardRecord r{};
  Put(r.cardNumber1, number1);
  Put(r.cardNumber2, number2);
  std::memset(r.flags, '0', sizeof r.flags);
  r.flags[31] = '1';
  r.value2 = 3;
  r.year = 2028;
  r.month = 2;
  r.day = 29;
  return r;
}

class CardRegistryE2eTest : public SimTest {
 protected:
  int32_t Single(CardRecord& record, int32_t mode, int32_t flag = 0, int32_t address = 1) {
    ticks_ = kUntouchedTicks;
    return Zarvo_Registry(address, &record, &ticks_, mode, flag);
  }
  int32_t Double(DoubleCardRecord& record, int32_t mode) {
    ticks_ = kUntouchedTicks;
    return Zarvo_RegistryDouble(1, &record, &ticks_, mode);
  }
  // For records the test does not look at afterwards.
  int32_t Single(CardRecord&& record, int32_t mode, int32_t flag = 0, int32_t address = 1) {
    return Single(record, mode, flag, address);
  }
  int32_t Double(DoubleCardRecord&& record, int32_t mode) { return Double(record, mode); }
  CardRecord ReadBack(const std::string& number, int32_t expected = ZARVO_OK) {
    CardRecord r{};
    Put(r.cardNumber, number);
    EXPECT_EQ(Single(r, 0), expected);
    return r;
  }
  sim::SingleCard Stored(uint32_t number) {
    sim::SingleCard found;
    bus_.WithController(1, [&](sim::ControllerState& s) {
      if (const sim::SingleCard* c = s.cards.FindSingle(number)) found = *c;
    });
    return found;
  }

  uint32_t ticks_ = kUntouchedTicks;
};

TEST_F(CardRegistryE2eTest, RegisteredCardReadsBackAndIsGoneAfterDelete) {
  CardRecord card = Card("123456");
  ASSERT_EQ(Single(card, 1), ZARVO_OK);
  EXPECT_LT(ticks_, 1000u);
  EXPECT_STREQ(card.pin, "C0FFEE");

  const CardRecord back = ReadBack("123456");
  EXPECT_STREQ(back.cardNumber, "00123456");
  EXPECT_STREQ(back.pin, "C0FFEE");
  EXPECT_EQ(std::string(back.flags, 32), std::string(card.flags, 32));
  EXPECT_EQ(back.value1, 7);
  EXPECT_EQ(back.value2, 250);
  EXPECT_EQ(back.year, 2030);
  EXPECT_EQ(back.month, 6);
  EXPECT_EQ(back.day, 15);

  EXPECT_EQ(Single(card, 2), ZARVO_OK);
  ReadBack("123456", ZARVO_E_REFUSED);
  EXPECT_EQ(Single(card, 2), ZARVO_E_REFUSED);
  EXPECT_LT(ticks_, 1000u);
}

TEST_F(CardRegistryE2eTest, RegisteringAgainReplacesTheEntryAndRemembersTheCommand) {
  CardRecord card = Card("42");
  ASSERT_EQ(Single(card, 1, 9), ZARVO_OK);
  EXPECT_EQ(Stored(42).registered_by, 20);

  card.value1 = 1;
  ASSERT_EQ(Single(card, 1, 0), ZARVO_OK);
  EXPECT_EQ(Stored(42).registered_by, 18);
  EXPECT_EQ(ReadBack("42").value1, 1);
}

TEST_F(CardRegistryE2eTest, RegisterAndDeleteAreLogged) {
  size_t history = 0;
  bus_.WithController(1, [&](sim::ControllerState& s) { history = s.events.records().size(); });
  CardRecord card = Card("305419896");  // 0x12345678
  ASSERT_EQ(Single(card, 1), ZARVO_OK);
  ASSERT_EQ(Single(card, 2), ZARVO_OK);
  bus_.WithController(1, [&](sim::ControllerState& s) {
    const auto& log = s.events.records();
    ASSERT_EQ(log.size(), history + 2);
    EXPECT_EQ(log[history][6], sim::kEventCardRegistered);
    EXPECT_EQ(log[history + 1][6], sim::kEventCardDeleted);
    for (size_t i = history; i < log.size(); ++i) {
      EXPECT_EQ(log[i][9], 0x34);  // the card number's low 24 bits
      EXPECT_EQ(log[i][10], 0x56);
      EXPECT_EQ(log[i][11], 0x78);
    }
  });
}

TEST_F(CardRegistryE2eTest, ControllerRefusesEntriesItCannotHold) {
  struct Case {
    const char* why;
    CardRecord card;
  };
  const Case cases[] = {{"card number 0", Card("0")},
                        {"no 29 February in 2023", Card("5", 2023, 2, 29)},
                        {"month 13", Card("5", 2030, 13, 1)},
                        {"day 0", Card("5", 2030, 1, 0)}};
  for (Case c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(Single(c.card, 1), ZARVO_E_REFUSED);
  }
  EXPECT_EQ(Single(Card("5", 2024, 2, 29), 1), ZARVO_OK);
  // A double entry needs two different cards.
  EXPECT_EQ(Double(DoubleCard("9", "9"), 1), ZARVO_E_REFUSED);
  EXPECT_EQ(Double(DoubleCard("9", "0"), 1), ZARVO_E_REFUSED);
}

TEST_F(CardRegistryE2eTest, FullListRefusesNewCardsButStillReplaces) {
  bus_.WithController(1, [](sim::ControllerState& s) {
    for (uint32_t n = 1; n <= sim::CardStore::kCapacity; ++n) {
      sim::SingleCard c;
      c.number = n;
      s.cards.Put(c);
    }
  });
  EXPECT_EQ(Single(Card("10001"), 1), ZARVO_E_REFUSED);
  EXPECT_EQ(Double(DoubleCard("10001", "10002"), 1), ZARVO_E_REFUSED);
  EXPECT_EQ(Single(Card("10000"), 1), ZARVO_OK);
  EXPECT_EQ(Single(Card("10000"), 2), ZARVO_OK);
  EXPECT_EQ(Single(Card("10001"), 1), ZARVO_OK);
}

TEST_F(CardRegistryE2eTest, EachControllerKeepsItsOwnList) {
  ASSERT_EQ(Single(Card("77"), 1, 0, 1), ZARVO_OK);
  EXPECT_EQ(Single(Card("77"), 0, 0, 2), ZARVO_E_REFUSED);
}

TEST_F(CardRegistryE2eTest, DoubleCardIsNamedByBothNumbersInOrder) {
  DoubleCardRecord entry = DoubleCard("1001", "1002");
  ASSERT_EQ(Double(entry, 1), ZARVO_OK);

  DoubleCardRecord back{};
  Put(back.cardNumber1, "1001");
  Put(back.cardNumber2, "1002");
  ASSERT_EQ(Double(back, 0), ZARVO_OK);
  EXPECT_STREQ(back.cardNumber1, "00001001");
  EXPECT_STREQ(back.cardNumber2, "00001002");
  EXPECT_EQ(std::string(back.flags, 32), std::string(entry.flags, 32));
  EXPECT_EQ(back.value2, 3);
  EXPECT_EQ(back.year, 2028);
  EXPECT_EQ(back.month, 2);
  EXPECT_EQ(back.day, 29);

  EXPECT_EQ(Double(DoubleCard("1002", "1001"), 0), ZARVO_E_REFUSED);
  EXPECT_EQ(Single(Card("1001"), 0), ZARVO_E_REFUSED);

  EXPECT_EQ(Double(entry, 2), ZARVO_OK);
  EXPECT_EQ(Double(back, 0), ZARVO_E_REFUSED);
  EXPECT_EQ(Double(entry, 2), ZARVO_E_REFUSED);
}

TEST_F(CardRegistryE2eTest, MissingRecordOrTicksSendsNothing) {
  CardRecord card = Card("1");
  DoubleCardRecord entry = DoubleCard("1", "2");
  uint32_t ticks = kUntouchedTicks;
  const uint64_t before = Requests();
  EXPECT_EQ(Zarvo_Registry(1, nullptr, &ticks, 1, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_Registry(1, &card, nullptr, 1, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_RegistryDouble(1, nullptr, &ticks, 1), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_RegistryDouble(1, &entry, nullptr, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Requests(), before);
  EXPECT_EQ(ticks, kUntouchedTicks);
  EXPECT_STREQ(card.pin, "c0ffee");  // not upper-cased: nothing was built
}

}  // namespace
}  // namespace zarvo
