// Facts about the site that readers of the journal need without the site
// file: the daemon writes them at start, and zarvod status reads them from
// the journal alone (the time zone the controllers' clocks keep, so that
// drift is measured in the right zone).
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>

namespace zarvod {

class Journal;

constexpr const char* kTimeZoneSetting = "time_zone";

// Writes `value` under `key`; "" or why it could not.
std::string SaveSiteSetting(Journal& journal, const std::string& key, const std::string& value);

// The value under `key`, or nullopt when none is kept (a journal from
// before settings were kept has no such table, and reads as none).
std::optional<std::string> ReadSiteSetting(sqlite3* db, const std::string& key);

}  // namespace zarvod
