// Wire format: CRC-16/XMODEM, request and reply frames, and the nibble line
// encoding that keeps the four frame marks out of every frame's inside.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

inline constexpr uint8_t kRequestStart = 0xE1;
inline constexpr uint8_t kRequestEnd = 0x1E;
inline constexpr uint8_t kReplyStart = 0xD2;
inline constexpr uint8_t kReplyEnd = 0x2D;

// Reply frame offsets, after decoding.
inline constexpr size_t kReplyAddressAt = 2;
inline constexpr size_t kReplyCommandAt = 3;
inline constexpr size_t kReplyStatusAt = 4;
inline constexpr size_t kReplyPayloadAt = 5;
// Start, type, address, command, status, two checksum bytes, end.
inline constexpr size_t kReplyOverhead = 8;

uint16_t Crc16(const uint8_t* bytes, size_t count);

// Builds the request frame E1, body, CRC (high byte first), 1E into `out`
// (room for count + 4 bytes); returns the frame length.
size_t BuildRequestFrame(const uint8_t* body, size_t count, uint8_t* out);

// Line-encodes a frame of `count` >= 2 bytes: first and last byte as they
// are, every inner byte as its high and low nibble. Returns 2*count - 2.
// `out` may be `frame` itself.
size_t EncodeFrame(const uint8_t* frame, size_t count, uint8_t* out);

// Decodes the `count` bytes collected from the line. The byte at
// received[count] is read too: it holds the end byte when one arrived.
// Returns the decoded length, or -1 when no start byte precedes the first
// 0x00. `out` may be `received` itself.
int32_t DecodeFrame(const uint8_t* received, size_t count, uint8_t* out);

// Reads the address and command of a reply from the `count` bytes it came
// in, before decoding, the start byte found as DecodeFrame finds it. False
// when there is no start byte or the bytes stop before the command.
bool PeekReplyHeader(const uint8_t* received, size_t count, uint8_t& address, uint8_t& command);

}  // namespace zarvo
