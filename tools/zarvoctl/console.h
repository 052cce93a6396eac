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

// The progress bar on standard error. Whatever else prints to standard error
// while it shows (--trace lines) hides it first, so the two never share a
// line; the next update draws it again.
void ShowProgress(const char* text);
void HideProgress();

}  // namespace zarvoctl
