#include "commands/management.h"

#include <cstring>

#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "result_codes.h"

namespace zarvo {
namespace {

// Every management command works in a buffer of this size.
using ManagementBuffer = CommandBuffer<32>;

constexpr size_t kVersionBytes = 32;
constexpr int kDeviceValueCount = 6;

struct BaudCode {
  int32_t baud;
  uint8_t code;
};

constexpr BaudCode kBaudCodes[] = {
    {4800, 0}, {9600, 1}, {19200, 2}, {38400, 3}, {57600, 4},
};

// Sends `length` body bytes with the default silence limit.
int32_t Send(Line& line, ManagementBuffer& body, int32_t& length) {
  return line.Exchange(body.data(), body.capacity(), length, 0);
}

// Sends a command whose reply payload is not looked at.
int32_t SendCommand(Line& line, ManagementBuffer& body, int32_t length) {
  return Send(line, body, length);
}

}  // namespace

int32_t SearchAR(Line& line, int32_t address) {
  ManagementBuffer body(address, kCmdProbe);
  int32_t length = 3;
  return line.Exchange(body.data(), body.capacity(), length, kProbeSilenceMs);
}

int32_t ChangeAR(Line& line, int32_t address, int32_t new_address) {
  ManagementBuffer body(address, kCmdChangeAddress);
  body[3] = static_cast<uint8_t>(new_address & 0xFF);
  return SendCommand(line, body, 4);
}

int32_t Ver(Line& line, int32_t address, char* version) {
  ManagementBuffer body(address, kCmdReadVersion);
  int32_t length = 3;
  const int32_t result = Send(line, body, length);
  if (result != kOk) return result;
  // Copied as they came: the caller's bytes past the copied count stay.
  const size_t count = length < 0 ? 0 : static_cast<size_t>(length);
  std::memcpy(version, body.data(), count < kVersionBytes ? count : kVersionBytes);
  return kOk;
}

int32_t Time(Line& line, int32_t address) {
  return SetClockFromHost(line, address, ReadHostLocalTime);
}

// A clock the host cannot read would be sent as a made-up date, so nothing is
// sent at all; kNotOpen is the result for "nothing was written".
int32_t SetClockFromHost(Line& line, int32_t address, HostClockReader read_host_clock) {
  LocalTime now{};
  if (!read_host_clock(now)) {
    line.last_error().Set("the host's local time cannot be read; nothing was sent");
    return kNotOpen;
  }
  return SetClock(line, address, now);
}

int32_t SetClock(Line& line, int32_t address, const LocalTime& now) {
  ManagementBuffer body(address, kCmdSetClock);
  const int32_t fields[] = {now.year,   now.month,  now.day,    now.hour,
                            now.minute, now.second, now.weekday};
  size_t at = 3;
  for (int32_t field : fields) body[at++] = EncodeBcd(field);
  return SendCommand(line, body, 10);
}

int32_t ChangeBaud(Line& line, int32_t address, int32_t baud) {
  for (const BaudCode& entry : kBaudCodes) {
    if (entry.baud != baud) continue;
    ManagementBuffer body(address, kCmdChangeBaud);
    body[3] = entry.code;
    return SendCommand(line, body, 4);
  }
  return kInvalidArgument;
}

int32_t Init(Line& line, int32_t address) {
  ManagementBuffer body(address, kCmdInitialise);
  WriteLittleEndian32(kConfirmationWord, &body[3]);
  return SendCommand(line, body, 7);
}

int32_t DeviceInformation(Line& line, int32_t address, int32_t* values) {
  ManagementBuffer body(address, kCmdDeviceInformation);
  int32_t length = 3;
  const int32_t result = Send(line, body, length);
  if (result != kOk) return result;
  // An empty payload leaves our own request in the buffer; it carries no
  // device values, so it reads as all zeros.
  if (length == 0) body.bytes.fill(0);
  for (int i = 0; i < kDeviceValueCount; ++i) {
    values[i] = int32_t{body[2 * i]} << 8 | body[2 * i + 1];
  }
  return kOk;
}

}  // namespace zarvo
