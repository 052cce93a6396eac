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
// script, run once by the journal; EnsureSchema may run them again.
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

  // Runs every step of CardListMigrations() that `db` lacks.
  static void EnsureSchema(sqlite3* db);

  // Also moves the controller's rows kept by name (before the record was
  // kept by line and address) to its line and address.
  StoredCards Written(const ControllerRef& controller) override;
  int64_t BeginRun(const std::string& source, int64_t planned) override;
  void Record(int64_t run, const ControllerRef& controller, const CardChange& change,
              ChangeOutcome outcome, int32_t result) override;
  void FinishRun(int64_t run, int64_t done, int64_t failed, bool interrupted) override;
  void Observed(const ControllerRef& controller, const CardKey& key,
                const CardEntry* found) override;

 private:
  static bool HasChangeLines(sqlite3* db);
  sqlite3_stmt* Prepare(const char* sql);
  void Step(sqlite3_stmt* statement);
  void Exec(const char* sql);
  void Put(const ControllerRef& controller, const CardEntry& entry, bool certain);
  void Remove(const ControllerRef& controller, const CardKey& key);
  bool HasNamedRows(const std::string& name);
  void AdoptNamedRows(const ControllerRef& controller);

  sqlite3* db_;
  std::mutex mutex_;  // one apply writes from one thread per line
  sqlite3_stmt* select_cards_;
  sqlite3_stmt* put_card_;
  sqlite3_stmt* delete_card_;
  sqlite3_stmt* find_named_;
  sqlite3_stmt* adopt_named_;
  sqlite3_stmt* drop_named_;
  sqlite3_stmt* insert_run_;
  sqlite3_stmt* finish_run_;
  sqlite3_stmt* insert_change_;
};

}  // namespace zarvod::cards
