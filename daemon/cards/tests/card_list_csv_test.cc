// The card-list file: what a good file yields per controller, and that
// every fault names its file, line and column and yields no lists at all.
#include "card_list_csv.h"

#include <gtest/gtest.h>

namespace zarvod::cards {
namespace {

SiteLayout Site() {
  SiteLayout site;
  site.controllers = {{"north-1", "north", 1}, {"north-2", "north", 2}, {"south-1", "south", 1}};
  site.groups["lobby"] = {"north-1", "south-1"};
  return site;
}

TEST(CardListCsv, GoodFileGivesEachControllerItsCards) {
  const auto parse = ParseCardList(
      "\xEF\xBB\xBF# staff, saved by a spreadsheet\n"
      "number, number2, pin, value1, value2, date, flags, flagged, controllers\n"
      "1234, , 12ab56, 1, 2, 2030-02-28, 101, yes, lobby north-1\n"
      "77, 78, , , 9, , , , south\n"
      "\r\n"
      "000000000500, , , , , , , , *\r\n",
      "cards.csv", Site());
  ASSERT_TRUE(parse.ok()) << parse.errors[0];
  const auto& by = parse.cards.by_controller;
  ASSERT_EQ(by.size(), 3U);
  EXPECT_EQ(by.at("north-1").size(), 2U);  // named directly and through its group: one entry
  EXPECT_EQ(by.at("north-2").size(), 1U);
  ASSERT_EQ(by.at("south-1").size(), 3U);
  EXPECT_TRUE(by.at("north-2").contains(CardKey{500, 0}));
  const CardEntry& card = by.at("north-1").at(CardKey{1234, 0});
  EXPECT_EQ(card.pin, "12AB56");
  EXPECT_EQ(card.flags, 0b101U);
  EXPECT_TRUE(card.flagged);
  EXPECT_EQ(card.year * 10000 + card.month * 100 + card.day, 20300228);
  const CardEntry& pair = by.at("south-1").at(CardKey{77, 78});
  EXPECT_EQ(pair.value2, 9);
  EXPECT_EQ(pair.year, 2099);
}

TEST(CardListCsv, EmptyListStillNamesEveryController) {
  const auto parse = ParseCardList("number,controllers\n", "c.csv", Site());
  ASSERT_TRUE(parse.ok());
  EXPECT_EQ(parse.cards.by_controller.size(), 3U);  // so that apply removes what they hold
}

TEST(CardListCsv, FaultsNameFileLineAndColumn) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"number,color,controllers\n", "f.csv:1:8: unknown column 'color'"},
      {"number,pin\n", "f.csv:1:1: the header has no 'controllers' column"},
      {"number,controllers\n0,*\n", "f.csv:2:1: card number must be 1 to 4294967295"},
      {"number,controllers\n4294967296,*\n", "f.csv:2:1: card number must be"},
      {"number;controllers\n1;*\n", "f.csv:1:1: fields are separated by commas, not ';'"},
      {"number,pin,controllers\n1, 12345g,*\n", "f.csv:2:4: pin must be six hex digits"},
      {"number,date,controllers\n1,2031-02-29,*\n", "f.csv:2:3: date must be a real date"},
      {"number,value2,controllers\n1,256,*\n", "f.csv:2:3: value2 must be 0 to 255"},
      {"number,flags,controllers\n1,012,*\n", "f.csv:2:3: flags must be up to 32"},
      {"number,controllers\n1,north-1 attic\n", "f.csv:2:11: no controller, group or line"},
      {"number,controllers\n1,  \n", "f.csv:2:3: no controllers named"},
      {"number,controllers\n1,*,x\n", "f.csv:2:5: expected 2 fields, found 3"},
      {"number,number2,pin,controllers\n1,2,123456,*\n", "f.csv:2:5: a double card has no pin"},
      {"number,number2,controllers\n5,5,*\n", "f.csv:2:3: a double card needs two cards"},
      {"number,controllers\n9,lobby\n\n9,north-1\n",
       "f.csv:4:1: card 00000009 is already given to north-1 on line 2"},
      {"# only a comment\n", "f.csv:2:1: no header line"},
  };
  for (const auto& c : cases) {
    const auto parse = ParseCardList(c.text, "f.csv", Site());
    ASSERT_FALSE(parse.ok()) << c.text;
    EXPECT_EQ(parse.errors[0].rfind(c.error, 0), 0U) << parse.errors[0];
    EXPECT_TRUE(parse.cards.by_controller.empty()) << c.text;
  }
}

TEST(CardListCsv, UnreadableFileIsAnError) {
  const auto parse = ReadCardListFile("/nonexistent/cards.csv", Site());
  ASSERT_FALSE(parse.ok());
  EXPECT_NE(parse.errors[0].find("/nonexistent/cards.csv: cannot be read"), std::string::npos);
  const auto folder = ReadCardListFile("/tmp", Site());
  ASSERT_FALSE(folder.ok());
  EXPECT_EQ(folder.errors[0], "/tmp: is a directory, not a card list");
}

}  // namespace
}  // namespace zarvod::cards
