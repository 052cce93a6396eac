// CardListStore in the daemon's SQLite journal. The tables come with their
// own migration step, which the journal runs with its others; EnsureSchema
// runs it directly where no journal manages the database.
#pragma once

#include <sqlite3.h>

#include <mutex>
#include <string>
#include <vector>

#include "card_list_store.h"

namespace zarvod::cards {

// The migration steps of the card tables, oldest first. Each is one SQL
// script; every statement is safe to run on a database that has it already.
const std::vector<std::string>& CardListMigrations();

class SqliteCardListStore : public CardListStore {
 public:
  // `db` stays owned by the caller and must outlive the store; its card
  // tables must exist (the journal ran CardListMigrations, or EnsureSchema). Throws
  // std::runtime_error when a statement cannot be prepared.
  explicit SqliteCardListStore(sqlite3* db);
  ~SqliteCardListStore() override;
  SqliteCardListStore(const SqliteCardListStore&) = delete;
  SqliteCardListStore& operator=(const SqliteCardListStore&) = delete;

  // Runs every step of CardListMigrations().
  static void EnsureSchema(sqlite3* db);

  StoredCards Written(const std::string& controller) override;
  int64_t BeginRun(const std::string& source, int64_t planned) override;
  void Record(int64_t run, const std::string& controller, const CardChange& change,
              ChangeOutcome outcome, int32_t result) override;
  void FinishRun(int64_t run, int64_t done, int64_t failed, bool interrupted) override;

 private:
  sqlite3_stmt* Prepare(const char* sql);
  void Step(sqlite3_stmt* statement);
  void Exec(const char* sql);
  void Put(const std::string& controller, const CardEntry& entry, bool certain);

  sqlite3* db_;
  std::mutex mutex_;  // one apply writes from one thread per line
  sqlite3_stmt* select_cards_;
  sqlite3_stmt* put_card_;
  sqlite3_stmt* delete_card_;
  sqlite3_stmt* insert_run_;
  sqlite3_stmt* finish_run_;
  sqlite3_stmt* insert_change_;
};

}  // namespace zarvod::cards
