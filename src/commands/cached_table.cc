#include "commands/cached_table.h"

#include <algorithm>
#include <cstring>

#include "result_codes.h"

namespace zarvo {

int32_t ReadCachedTable(Line& line, TableCache& cache, uint8_t* body, int32_t capacity,
                        int32_t body_length, int32_t table_bytes) {
  std::array<uint8_t, 4> key{};
  std::copy_n(body, key.size(), key.begin());
  if (key == cache.key) return kOk;
  cache.key = key;

  int32_t length = body_length;
  int32_t result = line.Exchange(body, capacity, length, 0);
  if (result == kOk && length < table_bytes) result = kShortReply;
  if (result != kOk) {
    cache.Empty();
    return result;
  }
  const int32_t stored = std::min({length, capacity, static_cast<int32_t>(cache.data.size())});
  std::memcpy(cache.data.data(), body, static_cast<size_t>(stored));
  return kOk;
}

int32_t WriteCachedTable(Line& line, TableCache& cache, uint8_t* body, int32_t capacity,
                         int32_t header_length, const TableBlock& block, int32_t table_bytes,
                         uint32_t timeout_ms) {
  std::memcpy(body + header_length, block.data(), static_cast<size_t>(table_bytes));
  int32_t length = header_length + table_bytes;
  const int32_t result = line.Exchange(body, capacity, length, timeout_ms);
  if (result == kOk) cache.data = block;
  return result;
}

}  // namespace zarvo
