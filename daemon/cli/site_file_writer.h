// Writes a new site file whole or not at all.
#pragma once

#include <string>

namespace zarvod {

// Writes `text` to `path`: a file already there is refused unless
// `replace`, and then swapped for the new one in one step, so that a
// running site never reads half a file. Returns "" or why not.
std::string WriteSiteFile(const std::string& path, const std::string& text, bool replace);

}  // namespace zarvod
