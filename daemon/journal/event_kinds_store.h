// The site's event kinds, kept in the journal so that a view reading the
// journal alone (zarvod events --journal FILE) names the events as the
// site file does. The daemon writes them each time it starts.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "journal/event_kinds.h"
#include "journal/journal.h"
#include "journal/migrations.h"

namespace zarvod {

// The table's schema steps (module "event_kinds"); register before the
// journal opens.
std::vector<Migration> EventKindsMigrations();

// Replaces the kinds kept with `kinds`, in one transaction; false, with
// `error`, when the journal failed.
bool SaveEventKinds(Journal& journal, const EventKinds& kinds, std::string& error);

// The kinds kept in the journal at `db`: none when it keeps none (a journal
// no daemon of this version has opened yet).
EventKinds LoadEventKinds(sqlite3* db);

}  // namespace zarvod
