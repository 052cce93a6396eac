#include "commands/card_entry.h"

#include <cstring>

#include "commands/encodings.h"

namespace zarvo {
namespace {

using L = CardEntryLayout;

constexpr int kPinDigits = 6;
constexpr int32_t kCentury = 2000;

template <typename Record>
void EncodeDate(const Record& record, uint8_t* entry) {
  entry[L::kDateAt] = EncodeBcd(record.year);
  entry[L::kDateAt + 1] = EncodeBcd(record.month);
  entry[L::kDateAt + 2] = EncodeBcd(record.day);
}

template <typename Record>
void DecodeDate(const uint8_t* entry, Record& record) {
  record.year = kCentury + DecodeBcd(entry[L::kDateAt]);
  record.month = DecodeBcd(entry[L::kDateAt + 1]);
  record.day = DecodeBcd(entry[L::kDateAt + 2]);
}

// Packs the pin from a terminated copy of its field and writes the
// upper-cased characters back, so nothing beyond the field is touched even
// when the caller's text fills it without a terminator.
void PackPin(char (&pin)[sizeof(CardRecord::pin)], uint8_t* dest) {
  char text[sizeof(pin) + 1] = {};
  const size_t length = strnlen(pin, sizeof(pin));
  std::memcpy(text, pin, length);
  PackHexText(text, kPinDigits, dest);
  std::memcpy(pin, text, length);
}

char HexDigit(uint8_t nibble) {
  return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10);
}

// "%02X%02X%02X" of the three packed pin bytes.
void FormatPin(const uint8_t* packed, char* pin) {
  for (int i = 0; i < kPinDigits / 2; ++i) {
    pin[2 * i] = HexDigit(packed[i] >> 4);
    pin[2 * i + 1] = HexDigit(packed[i] & 0x0F);
  }
  pin[kPinDigits] = '\0';
}

}  // namespace

uint32_t CardNumberOf(const char* field, size_t size) {
  char text[sizeof(CardRecord::cardNumber) + 1] = {};
  std::memcpy(text, field, strnlen(field, size < sizeof(text) ? size : sizeof(text) - 1));
  return ParseCardNumber(text);
}

void BuildEntry(CardRecord& record, uint8_t* entry) {
  EncodeDate(record, entry);
  WriteBigEndian32(CardNumberOf(record.cardNumber), entry + L::kNumberAt);
  PackPin(record.pin, entry + L::kPinAt);
  entry[L::kValue1At] = static_cast<uint8_t>(record.value1);
  entry[L::kValue2At] = static_cast<uint8_t>(record.value2);
  WriteLittleEndian32(FlagTextToMask(record.flags), entry + L::kFlagsAt);
}

void DecodeEntry(const uint8_t* entry, CardRecord& record) {
  DecodeDate(entry, record);
  FormatNumber(ReadBigEndian32(entry + L::kNumberAt), record.cardNumber);
  FormatPin(entry + L::kPinAt, record.pin);
  record.value1 = entry[L::kValue1At];
  record.value2 = entry[L::kValue2At];
  MaskToFlagText(ReadLittleEndian32(entry + L::kFlagsAt), record.flags);
}

void BuildEntry(const DoubleCardRecord& record, uint8_t* entry) {
  EncodeDate(record, entry);
  WriteBigEndian32(CardNumberOf(record.cardNumber1), entry + L::kNumberAt);
  WriteBigEndian32(CardNumberOf(record.cardNumber2), entry + L::kSecondNumberAt);
  entry[L::kValue2At] = static_cast<uint8_t>(record.value2);
  WriteLittleEndian32(FlagTextToMask(record.flags), entry + L::kFlagsAt);
}

void DecodeEntry(const uint8_t* entry, DoubleCardRecord& record) {
  DecodeDate(entry, record);
  FormatNumber(ReadBigEndian32(entry + L::kNumberAt), record.cardNumber1);
  FormatNumber(ReadBigEndian32(entry + L::kSecondNumberAt), record.cardNumber2);
  record.value2 = entry[L::kValue2At];
  MaskToFlagText(ReadLittleEndian32(entry + L::kFlagsAt), record.flags);
}

}  // namespace zarvo
