#include "codec/frame_codec.h"

#include <array>
#include <cstring>

namespace zarvo {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1;
    }
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t Crc16(const uint8_t* bytes, size_t count) {
  uint16_t crc = 0;
  for (size_t i = 0; i < count; ++i) {
    crc = static_cast<uint16_t>((crc << 8) ^ kCrcTable[bytes[i] ^ (crc >> 8)]);
  }
  return crc;
}

size_t BuildRequestFrame(const uint8_t* body, size_t count, uint8_t* out) {
  const uint16_t crc = Crc16(body, count);
  std::memmove(out + 1, body, count);
  out[0] = kRequestStart;
  out[count + 1] = static_cast<uint8_t>(crc >> 8);
  out[count + 2] = static_cast<uint8_t>(crc & 0xFF);
  out[count + 3] = kRequestEnd;
  return count + 4;
}

size_t EncodeFrame(const uint8_t* frame, size_t count, uint8_t* out) {
  const size_t encoded = 2 * count - 2;
  // Back to front, so encoding in place never overwrites an unread byte.
  out[encoded - 1] = frame[count - 1];
  for (size_t i = count - 2; i >= 1; --i) {
    const uint8_t b = frame[i];
    out[2 * i] = b & 0x0F;
    out[2 * i - 1] = b >> 4;
  }
  out[0] = frame[0];
  return encoded;
}

namespace {

// Where the reply's start byte lies among the `count` bytes, or `count` when
// a 0x00 or the end comes first.
size_t FindReplyStart(const uint8_t* received, size_t count) {
  for (size_t at = 0; at < count; ++at) {
    if (received[at] == kReplyStart) return at;
    if (received[at] == 0x00) break;
  }
  return count;
}

}  // namespace

bool PeekReplyHeader(const uint8_t* received, size_t count, uint8_t& address, uint8_t& command) {
  const size_t start = FindReplyStart(received, count);
  // Decoded byte i >= 1 is the pair at start + 2i - 1.
  const size_t address_at = start + 2 * kReplyAddressAt - 1;
  const size_t command_at = start + 2 * kReplyCommandAt - 1;
  if (start == count || command_at + 1 >= count) return false;
  address = static_cast<uint8_t>(received[address_at] * 16 + received[address_at + 1]);
  command = static_cast<uint8_t>(received[command_at] * 16 + received[command_at + 1]);
  return true;
}

int32_t DecodeFrame(const uint8_t* received, size_t count, uint8_t* out) {
  const size_t start = FindReplyStart(received, count);
  if (start == count) return -1;

  // Front to back: the write position never passes the read position, so
  // decoding in place is safe.
  size_t at = start + 1;
  size_t length = 0;
  out[length++] = kReplyStart;
  while (received[at] != kReplyEnd && count - at >= 2) {
    out[length++] = static_cast<uint8_t>(received[at] * 16 + received[at + 1]);
    at += 2;
  }
  out[length++] = received[at];
  return static_cast<int32_t>(length);
}

}  // namespace zarvo
