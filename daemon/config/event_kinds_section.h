// The [event_kinds] table of the site file: words for the event values of
// this installation's controllers.
#pragma once

#include <toml++/toml.h>

#include "journal/event_kinds.h"

namespace zarvod {

// Throws toml_fields::Fault, with the place, for a wrong key or value.
EventKinds ReadEventKindsSection(const toml::node& node);

}  // namespace zarvod
