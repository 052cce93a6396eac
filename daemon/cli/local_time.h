// A journal time (ms since the epoch) as the views print it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace zarvod {

// "2026-12-08 05:28:26" in the process's zone (the site's, once set).
inline std::string LocalTime(int64_t ms) {
  const time_t seconds = static_cast<time_t>(ms / 1000);
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace zarvod
