#include "log/log.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace zarvod {
namespace {

std::atomic<int> threshold{static_cast<int>(LogLevel::kInfo)};

const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::kError: return "error";
    case LogLevel::kWarning: return "warning";
    case LogLevel::kInfo: return "info";
    case LogLevel::kDebug: return "debug";
  }
  return "info";
}

// systemd sets JOURNAL_STREAM to "DEVICE:INODE" of the stream it connected
// stderr to. A child that inherits the variable but writes elsewhere (a
// terminal, a file) must not get the priority prefixes.
bool UnderJournald() {
  static const bool under = StderrIsJournalStream(std::getenv("JOURNAL_STREAM"));
  return under;
}

}  // namespace

bool StderrIsJournalStream(const char* journal_stream) {
  if (journal_stream == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  if (std::sscanf(journal_stream, "%llu:%llu", &device, &inode) != 2) return false;
  struct stat info {};
  if (fstat(2, &info) != 0) return false;
  return static_cast<unsigned long long>(info.st_dev) == device &&
         static_cast<unsigned long long>(info.st_ino) == inode;
}

void SetLogThreshold(LogLevel most_verbose) { threshold = static_cast<int>(most_verbose); }

void Log(LogLevel level, const std::string& message) {
  if (static_cast<int>(level) > threshold) return;
  // One fprintf per line: stdio locks the stream, so lines of different
  // threads never interleave.
  if (UnderJournald()) {
    std::fprintf(stderr, "<%d>%s: %s\n", static_cast<int>(level), LevelName(level),
                 message.c_str());
  } else {
    std::fprintf(stderr, "zarvod %s: %s\n", LevelName(level), message.c_str());
  }
}

}  // namespace zarvod
