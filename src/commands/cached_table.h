// Whole-table transfers through a keyed cache, shared by the week time
// tables and the holiday list: the controller only ever sends or takes a
// table whole, so one day or one date is changed by reading the table (or
// finding it cached) and writing it back with that part replaced.
#pragma once

#include <array>
#include <cstdint>

#include "line/line.h"

namespace zarvo {

inline constexpr int32_t kModeRead = 0;
inline constexpr int32_t kModeWrite = 1;

using TableBlock = std::array<uint8_t, 256>;

// Makes `cache` hold the table that the read request in `body` fetches; its
// first four bytes are the cache key, and when they match the key already
// held no exchange takes place. A failed exchange, or a reply shorter than
// `table_bytes`, empties the cache: a partial table must never stand for the
// controller's, or the next write would send the missing part back over it.
int32_t ReadCachedTable(Line& line, TableCache& cache, uint8_t* body, int32_t capacity,
                        int32_t body_length, int32_t table_bytes);

// Sends the write request in `body` (its first `header_length` bytes set)
// with the first `table_bytes` bytes of `block` appended. On success `block`
// becomes the cached data under the unchanged key; on failure the cache still
// holds the table as read.
int32_t WriteCachedTable(Line& line, TableCache& cache, uint8_t* body, int32_t capacity,
                         int32_t header_length, const TableBlock& block, int32_t table_bytes,
                         uint32_t timeout_ms);

}  // namespace zarvo
