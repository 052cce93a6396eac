// A prepared SQLite statement, reset after each use.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace zarvod {

class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, const std::string& value);
  Statement& Bind(int index, const void* bytes, int size);
  Statement& BindNull(int index);
  // SQLITE_ROW while rows come, SQLITE_DONE at the end, an error code else.
  int Step();
  // Runs to the end and resets; true on success.
  bool Run();
  void Reset();

  int64_t Int(int column) const;
  bool IsNull(int column) const;
  std::string Text(int column) const;
  std::string Blob(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Runs statements that return no rows; true on success.
bool Exec(sqlite3* db, const std::string& sql, std::string* error = nullptr);

}  // namespace zarvod
