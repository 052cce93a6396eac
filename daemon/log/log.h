// Plain log lines on stderr, one per message, with a level. Where stderr is
// the journal's stream (JOURNAL_STREAM names it) each line starts with the
// syslog priority "<N>" so journald files it at that level; on a terminal
// or in a file the line reads "zarvod LEVEL: ...".
#pragma once

#include <string>

namespace zarvod {

enum class LogLevel { kError = 3, kWarning = 4, kInfo = 6, kDebug = 7 };

void Log(LogLevel level, const std::string& message);
void SetLogThreshold(LogLevel most_verbose);

// Whether stderr is the stream that JOURNAL_STREAM ("DEVICE:INODE") names.
bool StderrIsJournalStream(const char* journal_stream);

inline void LogError(const std::string& m) { Log(LogLevel::kError, m); }
inline void LogWarning(const std::string& m) { Log(LogLevel::kWarning, m); }
inline void LogInfo(const std::string& m) { Log(LogLevel::kInfo, m); }
inline void LogDebug(const std::string& m) { Log(LogLevel::kDebug, m); }

}  // namespace zarvod
