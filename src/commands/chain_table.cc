#include "commands/chain_table.h"

#include <algorithm>
#include <cstring>

#include "commands/cached_table.h"
#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "result_codes.h"

namespace zarvo {
namespace {

// Two groups of four one-byte entries and a 16-bit value, high byte first.
constexpr int32_t kGroupBytes = 6;
constexpr int32_t kTableBytes = 2 * kGroupBytes;
constexpr int32_t kEntryCount = 4;
constexpr int32_t kEntryMask = 0x1F;
// The read request carries six zero parameter bytes; the write request
// carries the whole 12-byte table layout.
constexpr int32_t kReadLength = 3 + kGroupBytes;
constexpr int32_t kWriteLength = 3 + kTableBytes;

using ChainBody = CommandBuffer<32>;

// Reads the controller's chain table into the chain cache; it is never
// answered from the cache. A reply shorter than the table fails and leaves
// the cache as it was, so no stale bytes pass for the controller's.
int32_t ReadChainTable(Line& line, int32_t address) {
  ChainBody body(address, kCmdReadChain);
  int32_t length = kReadLength;
  const int32_t result = line.Exchange(body.data(), body.capacity(), length, 0);
  if (result != kOk) return result;
  if (length < kTableBytes) return kShortReply;
  auto& cache = line.ChainCache().data;
  const int32_t stored = std::min(length, static_cast<int32_t>(cache.size()));
  std::memcpy(cache.data(), body.data(), static_cast<size_t>(stored));
  return kOk;
}

// Sends the caller's group alone, the other group's bytes left zero. The
// entries are masked to five bits, in the caller's array too.
int32_t WriteChainTable(Line& line, int32_t address, int32_t* record, int32_t group) {
  ChainBody body(address, kCmdWriteChain);
  uint8_t* out = body.data() + 3 + kGroupBytes * group;
  for (int32_t i = 0; i < kEntryCount; ++i) {
    record[i] &= kEntryMask;
    out[i] = static_cast<uint8_t>(record[i]);
  }
  out[4] = static_cast<uint8_t>(record[4] >> 8);
  out[5] = static_cast<uint8_t>(record[4]);
  int32_t length = kWriteLength;
  return line.Exchange(body.data(), body.capacity(), length, 0);
}

void DecodeChainGroup(const ChainCache& cache, int32_t group, int32_t* record) {
  const uint8_t* in = cache.data.data() + kGroupBytes * group;
  for (int32_t i = 0; i < kEntryCount; ++i) record[i] = in[i];
  record[4] = 256 * in[4] + in[5];
}

}  // namespace

int32_t ChianTable(Line& line, int32_t address, int32_t* record, int32_t group, int32_t mode) {
  if (group != 0 && group != 1) return kInvalidArgument;
  if (mode != kModeRead && mode != kModeWrite) return kInvalidArgument;
  const int32_t read = ReadChainTable(line, address);
  if (read != kOk) return read;
  if (mode == kModeWrite) return WriteChainTable(line, address, record, group);
  DecodeChainGroup(line.ChainCache(), group, record);
  return kOk;
}

}  // namespace zarvo
