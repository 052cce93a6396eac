#include "commands/card_entry.h"

#include <cstring>

#include "commands/encodings.h"

namespace zarvo {
namespace {

// Entry offsets shared by both kinds of entry.
constexpr size_t kDateAt = 0;
constexpr size_t kFirstNumberAt = 3;
constexpr size_t kFlagsAt = 12;
// Single-card entry.
constexpr size_t kPinAt = 7;
constexpr size_t kValue1At = 10;
constexpr size_t kValue2At = 11;
// Double-card entry.
constexpr size_t kSecondNumberAt = 7;
constexpr size_t kDoubleValue2At = 11;

constexpr int kPinDigits = 6;
constexpr int32_t kCentury = 2000;

template <typename Record>
void EncodeDate(const Record& record, uint8_t* entry) {
  entry[kDateAt] = EncodeBcd(record.year);
  entry[kDateAt + 1] = EncodeBcd(record.month);
  entry[kDateAt + 2] = EncodeBcd(record.day);
}

template <typename Record>
void DecodeDate(const uint8_t* entry, Record& record) {
  record.year = kCentury + DecodeBcd(entry[kDateAt]);
  record.month = DecodeBcd(entry[kDateAt + 1]);
  record.day = DecodeBcd(entry[kDateAt + 2]);
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

void BuildCardEntry(CardRecord& record, uint8_t* entry) {
  EncodeDate(record, entry);
  WriteBigEndian32(CardNumberOf(record.cardNumber), entry + kFirstNumberAt);
  PackPin(record.pin, entry + kPinAt);
  entry[kValue1At] = static_cast<uint8_t>(record.value1);
  entry[kValue2At] = static_cast<uint8_t>(record.value2);
  WriteLittleEndian32(FlagTextToMask(record.flags), entry + kFlagsAt);
}

void DecodeCardEntry(const uint8_t* entry, CardRecord& record) {
  DecodeDate(entry, record);
  FormatNumber(ReadBigEndian32(entry + kFirstNumberAt), record.cardNumber);
  FormatPin(entry + kPinAt, record.pin);
  record.value1 = entry[kValue1At];
  record.value2 = entry[kValue2At];
  MaskToFlagText(ReadLittleEndian32(entry + kFlagsAt), record.flags);
}

void BuildDoubleCardEntry(const DoubleCardRecord& record, uint8_t* entry) {
  EncodeDate(record, entry);
  WriteBigEndian32(CardNumberOf(record.cardNumber1), entry + kFirstNumberAt);
  WriteBigEndian32(CardNumberOf(record.cardNumber2), entry + kSecondNumberAt);
  entry[kDoubleValue2At] = static_cast<uint8_t>(record.value2);
  WriteLittleEndian32(FlagTextToMask(record.flags), entry + kFlagsAt);
}

void DecodeDoubleCardEntry(const uint8_t* entry, DoubleCardRecord& record) {
  DecodeDate(entry, record);
  FormatNumber(ReadBigEndian32(entry + kFirstNumberAt), record.cardNumber1);
  FormatNumber(ReadBigEndian32(entry + kSecondNumberAt), record.cardNumber2);
  record.value2 = entry[kDoubleValue2At];
  MaskToFlagText(ReadLittleEndian32(entry + kFlagsAt), record.flags);
}

}  // namespace zarvo
