#include "commands/card_registry.h"

#include "commands/card_entry.h"
#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "result_codes.h"

namespace zarvo {
namespace {

constexpr int32_t kModeRead = 0;
constexpr int32_t kModeWrite = 1;
constexpr int32_t kModeDelete = 2;

// Every card command is built in a 32-byte buffer.
using CardBody = CommandBuffer<32>;

constexpr size_t kParamsAt = 3;
constexpr int32_t kEntryBodyLength = kParamsAt + kCardEntrySize;

// The command codes of one kind of entry.
struct CardCodes {
  uint8_t write;
  uint8_t read;
  uint8_t remove;
};

// Puts the card number(s) that name the entry into a read or delete body;
// returns the body length.
int32_t PutNames(CardBody& body, const CardRecord& record) {
  WriteBigEndian32(CardNumberOf(record.cardNumber), &body[kParamsAt]);
  return kParamsAt + 4;
}

int32_t PutNames(CardBody& body, const DoubleCardRecord& record) {
  WriteBigEndian32(CardNumberOf(record.cardNumber1), &body[kParamsAt]);
  WriteBigEndian32(CardNumberOf(record.cardNumber2), &body[kParamsAt + 4]);
  return kParamsAt + 8;
}

int32_t Send(Line& line, CardBody& body, int32_t& length) {
  return line.Exchange(body.data(), body.capacity(), length, kCardSilenceMs);
}

template <typename Record>
int32_t ReadEntry(Line& line, int32_t address, uint8_t code, Record& record) {
  CardBody body(address, code);
  int32_t length = PutNames(body, record);
  const int32_t result = Send(line, body, length);
  if (result != kOk) return result;
  // A reply without payload leaves the request in the buffer; it reads as
  // an entry of zeros rather than as the request taken for an entry.
  if (length == 0) body.bytes.fill(0);
  DecodeEntry(body.data(), record);
  return kOk;
}

template <typename Record>
int32_t WriteEntry(Line& line, int32_t address, uint8_t code, Record& record) {
  CardBody body(address, code);
  BuildEntry(record, &body[kParamsAt]);
  int32_t length = kEntryBodyLength;
  return Send(line, body, length);
}

template <typename Record>
int32_t DeleteEntry(Line& line, int32_t address, uint8_t code, const Record& record) {
  CardBody body(address, code);
  int32_t length = PutNames(body, record);
  return Send(line, body, length);
}

template <typename Record>
int32_t RunMode(Line& line, int32_t address, Record& record, uint32_t& ticks, int32_t mode,
                const CardCodes& codes) {
  int32_t result = kInvalidArgument;
  switch (mode) {
    case kModeRead: result = ReadEntry(line, address, codes.read, record); break;
    case kModeWrite: result = WriteEntry(line, address, codes.write, record); break;
    case kModeDelete: result = DeleteEntry(line, address, codes.remove, record); break;
    default: return kInvalidArgument;
  }
  // The exchange's own duration, up to its success or failure; 0 when none
  // could start.
  ticks = line.LastExchangeTicks();
  return result;
}

}  // namespace

int32_t Registry(Line& line, int32_t address, CardRecord& record, uint32_t& ticks, int32_t mode,
                 int32_t flag) {
  const CardCodes codes{flag == 0 ? kCmdWriteCard : kCmdWriteCardFlagged, kCmdReadCard,
                        kCmdDeleteCard};
  return RunMode(line, address, record, ticks, mode, codes);
}

int32_t RegistryDouble(Line& line, int32_t address, DoubleCardRecord& record, uint32_t& ticks,
                       int32_t mode) {
  const CardCodes codes{kCmdWriteDoubleCard, kCmdReadDoubleCard, kCmdDeleteDoubleCard};
  return RunMode(line, address, record, ticks, mode, codes);
}

}  // namespace zarvo
