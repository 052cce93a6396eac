// An event's kind, door and direction as fields of zarvod events' JSON and
// CSV output (the text output shows DescribeEvent).
#pragma once

#include <string>

#include "journal/event_kinds.h"

namespace zarvod {

// A CSV field quoted, for the free text in an event's row (names, words).
std::string CsvQuoted(const std::string& text);

// ,"kind":"...","door":N,"direction":"..." for what `kind` names; "" for
// an unnamed event (nullptr).
std::string KindJsonFields(const EventKind* kind);

// The CSV columns kind,door,direction, each after a comma; empty when the
// event's values are not named.
std::string KindCsvFields(const EventKind* kind);
inline constexpr const char* kKindCsvHeader = ",kind,door,direction";

}  // namespace zarvod
