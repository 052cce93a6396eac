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
constexpr int32_t kSingleNumberBodyLength = kParamsAt + 4;
constexpr int32_t kDoubleNumbersBodyLength = kParamsAt + 8;

int32_t Send(Session& session, CardBody& body, int32_t& length) {
  return session.Exchange(body.data(), body.capacity(), length, kCardSilenceMs);
}

// A reply without payload leaves the request in the buffer; it is read as
// an entry of zeros rather than decoding the request as if it were one.
void ClearIfEmpty(CardBody& body, int32_t payload_length) {
  if (payload_length == 0) body.bytes.fill(0);
}

// Body of a read or delete of one single card.
CardBody SingleCardRequest(int32_t address, uint8_t code, const CardRecord& record) {
  CardBody body(address, code);
  WriteBigEndian32(CardNumberOf(record.cardNumber), &body[kParamsAt]);
  return body;
}

// Body of a read or delete of one double-card entry.
CardBody DoubleCardRequest(int32_t address, uint8_t code, const DoubleCardRecord& record) {
  CardBody body(address, code);
  WriteBigEndian32(CardNumberOf(record.cardNumber1), &body[kParamsAt]);
  WriteBigEndian32(CardNumberOf(record.cardNumber2), &body[kParamsAt + 4]);
  return body;
}

int32_t ReadCard(Session& session, int32_t address, CardRecord& record) {
  CardBody body = SingleCardRequest(address, kCmdReadCard, record);
  int32_t length = kSingleNumberBodyLength;
  const int32_t result = Send(session, body, length);
  if (result != kOk) return result;
  ClearIfEmpty(body, length);
  DecodeCardEntry(body.data(), record);
  return kOk;
}

int32_t WriteCard(Session& session, int32_t address, CardRecord& record, int32_t flag) {
  CardBody body(address, flag == 0 ? kCmdWriteCard : kCmdWriteCardFlagged);
  BuildCardEntry(record, &body[kParamsAt]);
  int32_t length = kEntryBodyLength;
  return Send(session, body, length);
}

int32_t DeleteCard(Session& session, int32_t address, const CardRecord& record) {
  CardBody body = SingleCardRequest(address, kCmdDeleteCard, record);
  int32_t length = kSingleNumberBodyLength;
  return Send(session, body, length);
}

int32_t ReadDoubleCard(Session& session, int32_t address, DoubleCardRecord& record) {
  CardBody body = DoubleCardRequest(address, kCmdReadDoubleCard, record);
  int32_t length = kDoubleNumbersBodyLength;
  const int32_t result = Send(session, body, length);
  if (result != kOk) return result;
  ClearIfEmpty(body, length);
  DecodeDoubleCardEntry(body.data(), record);
  return kOk;
}

int32_t WriteDoubleCard(Session& session, int32_t address, const DoubleCardRecord& record) {
  CardBody body(address, kCmdWriteDoubleCard);
  BuildDoubleCardEntry(record, &body[kParamsAt]);
  int32_t length = kEntryBodyLength;
  return Send(session, body, length);
}

int32_t DeleteDoubleCard(Session& session, int32_t address, const DoubleCardRecord& record) {
  CardBody body = DoubleCardRequest(address, kCmdDeleteDoubleCard, record);
  int32_t length = kDoubleNumbersBodyLength;
  return Send(session, body, length);
}

}  // namespace

int32_t Registry(Session& session, int32_t address, CardRecord& record, uint32_t& ticks,
                 int32_t mode, int32_t flag) {
  int32_t result = kInvalidArgument;
  switch (mode) {
    case kModeRead: result = ReadCard(session, address, record); break;
    case kModeWrite: result = WriteCard(session, address, record, flag); break;
    case kModeDelete: result = DeleteCard(session, address, record); break;
    default: return kInvalidArgument;
  }
  // The exchange's own duration, up to its success or failure; 0 when none
  // could start.
  ticks = session.LastExchangeTicks();
  return result;
}

int32_t RegistryDouble(Session& session, int32_t address, DoubleCardRecord& record, uint32_t& ticks,
                       int32_t mode) {
  int32_t result = kInvalidArgument;
  switch (mode) {
    case kModeRead: result = ReadDoubleCard(session, address, record); break;
    case kModeWrite: result = WriteDoubleCard(session, address, record); break;
    case kModeDelete: result = DeleteDoubleCard(session, address, record); break;
    default: return kInvalidArgument;
  }
  ticks = session.LastExchangeTicks();
  return result;
}

}  // namespace zarvo
