// Schema steps. Each module owns a numbered sequence of steps of its own
// ("journal" 1, 2, ...; "cards" 1, 2, ...); the journal applies, in order,
// every step not yet recorded in the database's schema_migrations table, each
// in a transaction of its own, when it opens the file.
#pragma once

#include <string>
#include <vector>

namespace zarvod {

struct Migration {
  std::string module;
  int step = 0;     // 1, 2, ... within the module
  std::string sql;  // one or more statements
  // The step rebuilds tables: triggers and indexes other modules had put on
  // them are made again after it.
  bool keeps_triggers_and_indexes = false;
};

// The journal's own steps.
const std::vector<Migration>& JournalMigrations();

// Adds another module's steps; call before Journal::Open. A module's steps
// are applied in step order, after the journal's own.
void AddMigrations(std::vector<Migration> steps);
std::vector<Migration> RegisteredMigrations();
// Forgets every registered step (for a process that opens several journals).
void ClearRegisteredMigrations();

}  // namespace zarvod
