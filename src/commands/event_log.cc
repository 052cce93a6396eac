#include "commands/event_log.h"

#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "commands/event_format.h"
#include "result_codes.h"

namespace zarvo {
namespace {

// Room for 192 stored records.
using BlockBuffer = CommandBuffer<3072>;
using RecordBuffer = CommandBuffer<128>;
using ControlBuffer = CommandBuffer<32>;

constexpr uint8_t kBlockRequestFlag = 0x80;

// Reads the current record (code 11) or the next one (code 12).
int32_t ReadSingle(Line& line, int32_t address, uint8_t code, EventRecord& record) {
  RecordBuffer body(address, code);
  int32_t length = 3;
  const int32_t result = line.Exchange(body.data(), body.capacity(), length, 0);
  if (result != kOk) return result;
  // An empty payload leaves our own request in the buffer; it carries no
  // record, so it reads as an all-zero one.
  if (length == 0) body.bytes.fill(0);
  FormatEvent(body.data(), record);
  return kOk;
}

int32_t SendControl(Line& line, ControlBuffer& body, int32_t length) {
  return line.Exchange(body.data(), body.capacity(), length, 0);
}

}  // namespace

int32_t ReadRecordOfBlock(Line& line, int32_t address, int32_t block, EventRecord* records) {
  BlockBuffer body(address, kCmdReadEventBlock);
  body[3] = kBlockRequestFlag;
  body[4] = static_cast<uint8_t>(block & 0xFF);
  int32_t length = 5;
  const int32_t result = line.Exchange(body.data(), body.capacity(), length, 0);
  if (result != kOk) return result;

  const int32_t held = length < body.capacity() ? length : body.capacity();
  const int32_t slots = held / static_cast<int32_t>(kStoredEventSize);
  int32_t written = 0;
  for (int32_t slot = 0; slot < slots; ++slot) {
    const uint8_t* stored = body.data() + slot * kStoredEventSize;
    if (IsEmptySlot(stored)) continue;
    FormatEvent(stored, records[written++]);
  }
  return written;
}

int32_t ReadOne(Line& line, int32_t address, EventRecord& record) {
  return ReadSingle(line, address, kCmdReadEvent, record);
}

int32_t MoveNext(Line& line, int32_t address, EventRecord& record) {
  return ReadSingle(line, address, kCmdNextEvent, record);
}

int32_t ClearRecord(Line& line, int32_t address) {
  ControlBuffer body(address, kCmdClearEvents);
  WriteLittleEndian32(kConfirmationWord, &body[3]);
  return SendControl(line, body, 7);
}

int32_t RestoreRecord(Line& line, int32_t address) {
  ControlBuffer body(address, kCmdRestoreEvents);
  return SendControl(line, body, 3);
}

}  // namespace zarvo
