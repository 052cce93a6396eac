#include "console.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zarvoctl {

#if defined(_WIN32)

bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

// Not every Windows console understands escape sequences: blank the line.
void ClearLine(std::FILE* stream) { std::fprintf(stream, "\r%79s\r", ""); }

#else

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void ClearLine(std::FILE* stream) { std::fprintf(stream, "\r\033[K"); }

#endif

namespace {
bool progress_shown = false;
}

void ShowProgress(const char* text) {
  std::fprintf(stderr, "\r%s", text);
  std::fflush(stderr);
  progress_shown = true;
}

void HideProgress() {
  if (!progress_shown) return;
  ClearLine(stderr);
  std::fflush(stderr);
  progress_shown = false;
}

}  // namespace zarvoctl
