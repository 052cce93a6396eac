#include "log/log.h"

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

bool UnderJournald() {
  static const bool under = std::getenv("JOURNAL_STREAM") != nullptr;
  return under;
}

}  // namespace

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
