// The library's result codes by name, as log lines and reports show them.
#pragma once

#include <cstdint>
#include <string>

namespace zarvod {

// The header's name without its prefix ("NO_REPLY"), or "UNKNOWN".
const char* ResultName(int32_t result);

// "NO_REPLY (-10)".
std::string ResultText(int32_t result);

}  // namespace zarvod
