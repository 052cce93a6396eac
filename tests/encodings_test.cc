// The field encodings shared by the commands: BCD bytes, packed hex code
// texts, flag texts and decimal number texts.
#include "commands/encodings.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace zarvo {
namespace {

TEST(BcdTest, EncodesTheLastTwoDecimalDigitsAndDecodesBothNibbles) {
  const std::pair<int32_t, uint8_t> cases[] = {{0, 0x00},    {59, 0x59},   {99, 0x99},
                                               {2007, 0x07}, {2100, 0x00}, {45, 0x45}};
  for (const auto& [value, byte] : cases) EXPECT_EQ(EncodeBcd(value), byte) << value;
  for (int v = 0; v < 100; ++v) EXPECT_EQ(DecodeBcd(EncodeBcd(v)), v);
  EXPECT_EQ(DecodeBcd(0x1A), 20);  // a low nibble above 9 counts as its value
}

struct PackCase {
  const char* text;
  size_t digits;
  std::array<uint8_t, 4> bytes;
  const char* text_after;
};

TEST(PackHexTextTest, PacksDigitPairsAndUpperCasesTheCallersText) {
  const PackCase cases[] = {
      {"1a2b3c", 6, {0x1A, 0x2B, 0x3C, 0xEE}, "1A2B3C"},
      {"12G4", 4, {0x12, 0x04, 0xEE, 0xEE}, "12G4"},
      {"12", 4, {0x12, 0x00, 0xEE, 0xEE}, "12"},
      {"", 8, {0x00, 0x00, 0x00, 0x00}, ""},
      {"deadbeef", 8, {0xDE, 0xAD, 0xBE, 0xEF}, "DEADBEEF"},
      {"12345678", 4, {0x12, 0x34, 0xEE, 0xEE}, "12345678"},
  };
  for (const PackCase& c : cases) {
    char text[16];
    std::strcpy(text, c.text);
    std::array<uint8_t, 4> dest;
    dest.fill(0xEE);
    EXPECT_EQ(PackHexText(text, c.digits, dest.data()), c.digits / 2) << c.text;
    EXPECT_EQ(dest, c.bytes) << c.text;
    EXPECT_STREQ(text, c.text_after);
  }
}

TEST(PackHexTextTest, NeverReadsPastTheTerminator) {
  char text[8] = {'1', '2', '\0', 'F', 'F', 'F', 'F', '\0'};
  uint8_t dest[3] = {};
  PackHexText(text, 6, dest);
  EXPECT_EQ(dest[1], 0x00);
  EXPECT_EQ(dest[2], 0x00);
  EXPECT_EQ(text[3], 'F');  // bytes behind the terminator are not touched
}

TEST(FlagTextTest, CharacterIStandsForBitI) {
  char flags[33] = {};
  std::memset(flags, '0', 32);
  flags[0] = '1';
  flags[31] = '1';
  flags[5] = 'x';  // anything but '1' leaves the bit clear
  EXPECT_EQ(FlagTextToMask(flags), 0x80000001u);

  char back[33];
  back[32] = '#';
  MaskToFlagText(0x80000021u, back);
  EXPECT_EQ(std::string(back, 32), "10000100000000000000000000000001");
  EXPECT_EQ(back[32], '#');  // no terminator written
}

TEST(CardNumberTest, ReadsLikeAnUncheckedDecimalConversion) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"123456", 123456u}, {" 12x", 12u},      {"\t+42", 42u}, {"-1", 0xFFFFFFFFu},
      {"4294967296", 0u},  {"4294967297", 1u}, {"", 0u},       {"abc", 0u},
      {"+-5", 0u},         {"0012", 12u},      {"- 5", 0u},    {"4294967295", 0xFFFFFFFFu},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCardNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberTextTest, AtLeastEightDigitsWithLeadingZeros) {
  const struct {
    uint32_t number;
    const char* text;
  } cases[] = {{0, "00000000"},        {123456, "00123456"},     {16777215, "16777215"},
               {99999999, "99999999"}, {100000000, "100000000"}, {4294967295u, "4294967295"}};
  for (const auto& c : cases) {
    char text[16];
    std::memset(text, '#', sizeof text);
    FormatNumber(c.number, text);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(text[std::strlen(c.text) + 1], '#');  // nothing past the terminator
  }
}

}  // namespace
}  // namespace zarvo
