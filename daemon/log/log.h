// Plain log lines on stderr, one per message, with a level. Under systemd
// (JOURNAL_STREAM set) each line starts with the syslog priority "<N>" so
// journald files it at that level.
#pragma once

#include <string>

namespace zarvod {

enum class LogLevel { kError = 3, kWarning = 4, kInfo = 6, kDebug = 7 };

void Log(LogLevel level, const std::string& message);
void SetLogThreshold(LogLevel most_verbose);

inline void LogError(const std::string& m) { Log(LogLevel::kError, m); }
inline void LogWarning(const std::string& m) { Log(LogLevel::kWarning, m); }
inline void LogInfo(const std::string& m) { Log(LogLevel::kInfo, m); }
inline void LogDebug(const std::string& m) { Log(LogLevel::kDebug, m); }

}  // namespace zarvod
