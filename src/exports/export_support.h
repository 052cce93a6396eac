// Support for the thin C layer: each export checks its pointers, locks its
// line and runs the C++ command on it, so calls from several threads never
// interleave frames or corrupt the caches.
#pragma once

#include <cstdint>

#include "line/line.h"
#include "result_codes.h"

// The handle behind ZarvoLine*: a line with its own transports and clock.
struct ZarvoLine;

namespace zarvo {

// True when every pointer argument is non-null.
template <typename... Pointers>
bool AllPresent(const Pointers*... pointers) {
  return ((pointers != nullptr) && ...);
}

Line& LineOf(ZarvoLine& handle);

// The port operations as the C interface defines them.
int32_t OpenComOn(Line& line, const char* port_name, int32_t baud);
int32_t CloseComOn(Line& line);
int32_t RestoreMaxRecordOn(Line& line, int32_t unused);

}  // namespace zarvo
