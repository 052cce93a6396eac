#include "journal/site_settings.h"

#include "journal/journal.h"
#include "journal/statement.h"

namespace zarvod {
namespace {

constexpr const char* kSaveSetting =
    "INSERT INTO site_settings(key, value) VALUES(?, ?) "
    "ON CONFLICT(key) DO UPDATE SET value=excluded.value";
constexpr const char* kReadSetting = "SELECT value FROM site_settings WHERE key=?";

}  // namespace

std::string SaveSiteSetting(Journal& journal, const std::string& key, const std::string& value) {
  const auto lock = journal.Lock();
  Statement save(journal.db(), kSaveSetting);
  if (!save.ok() || !save.Bind(1, key).Bind(2, value).Run()) return sqlite3_errmsg(journal.db());
  return "";
}

std::optional<std::string> ReadSiteSetting(sqlite3* db, const std::string& key) {
  Statement read(db, kReadSetting);
  if (!read.ok()) return std::nullopt;
  read.Bind(1, key);
  if (read.Step() != SQLITE_ROW) return std::nullopt;
  return read.Text(0);
}

}  // namespace zarvod
