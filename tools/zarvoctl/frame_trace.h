// zarvoctl --trace: prints every frame the library reports through its
// trace hook, as hex and as decoded fields, to a stream of the tool's (the
// library never prints).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "zarvoac.h"

namespace zarvoctl {

// Installs the printer on `line`; frames go to `out`.
void TraceFrames(ZarvoLine* line, std::FILE* out);

// One line describing a request as written on the wire, and one describing
// a reply as received.
std::string DescribeRequest(const uint8_t* wire, size_t count);
std::string DescribeReply(const uint8_t* wire, size_t count);

}  // namespace zarvoctl
