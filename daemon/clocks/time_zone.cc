#include "time_zone.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace zarvod::clocks {
namespace {

constexpr std::time_t kDay = 24 * 3600;

std::string ZoneFolder() {
  const char* dir = std::getenv("TZDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo";
}

// Zone files start with "TZif"; the folder also holds tables such as
// zone.tab, which TZ would take as an unknown zone and run in UTC.
bool IsZoneFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, sizeof magic) && std::string_view(magic, sizeof magic) == "TZif";
}

}  // namespace

std::string TimeZoneProblem(const std::string& zone) {
  const bool plain = !zone.empty() && zone[0] != '/' && zone.find("..") == std::string::npos;
  if (!plain) return "time zone '" + zone + "' is not a zone name such as Europe/Berlin";
  std::error_code error;
  const std::string file = ZoneFolder() + "/" + zone;
  if (!std::filesystem::is_regular_file(file, error) || !IsZoneFile(file)) {
    return "time zone '" + zone + "' is not in the tz database (" + ZoneFolder() + ")";
  }
  return "";
}

std::string UseTimeZone(const std::string& zone) {
  if (std::string problem = TimeZoneProblem(zone); !problem.empty()) return problem;
  setenv("TZ", zone.c_str(), 1);
  tzset();
  return "";
}

std::string LocalZoneName() {
  if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
    const std::string zone = tz[0] == ':' ? tz + 1 : tz;
    return zone.find('/') == 0 ? "" : zone;
  }
  std::error_code error;
  const std::string target = std::filesystem::read_symlink("/etc/localtime", error).string();
  const std::string marker = "zoneinfo/";
  if (const size_t at = target.find(marker); !error && at != std::string::npos) {
    return target.substr(at + marker.size());
  }
  std::ifstream named("/etc/timezone");
  std::string zone;
  std::getline(named, zone);
  return zone;
}

long UtcOffsetAt(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local.tm_gmtoff;
}

std::optional<std::time_t> NextOffsetChange(std::time_t after, std::time_t horizon) {
  const long offset = UtcOffsetAt(after);
  // Offsets hold for far longer than a day: find the day, then the second.
  std::time_t low = after;
  std::time_t high = after;
  do {
    low = high;
    high = std::min(high + kDay, horizon);
    if (UtcOffsetAt(high) != offset) {
      while (high - low > 1) {
        const std::time_t mid = low + (high - low) / 2;
        (UtcOffsetAt(mid) == offset ? low : high) = mid;
      }
      return high;
    }
  } while (high < horizon);
  return std::nullopt;
}

std::time_t LocalTimeOnDay(std::time_t when, int days, int hour, int minute) {
  std::tm local{};
  localtime_r(&when, &local);
  local.tm_mday += days;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace zarvod::clocks
