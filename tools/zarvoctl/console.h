// The few console calls zarvoctl makes, with the differences between POSIX
// terminals and the Windows console kept behind them.
#pragma once

#include <cstdio>

namespace zarvoctl {

bool StdinIsTerminal();
bool StderrIsTerminal();
// Clears the current line of `stream` (a progress bar) and returns to its
// start.
void ClearLine(std::FILE* stream);

}  // namespace zarvoctl
