// Whether a file a reader opened is a journal whose schema this zarvod
// reads. Readers never change the file, so a journal still to be brought up
// to date is reported, not migrated.
#pragma once

#include <sqlite3.h>

#include <string>

namespace zarvod {

// "" or why the journal cannot be read.
std::string ReadableSchemaProblem(sqlite3* db);

}  // namespace zarvod
