// [event_kinds]
// "3" = "clock set"                                  # every event of value1 3
// "8/0" = { words = "card accepted", door = 1, direction = "in" }
//
// One row per event, keyed as the events read ("VALUE1/VALUE2"), so the
// table reads like the event list it explains; a key of value1 alone names
// every event of that first value not named with its second.
#include "config/event_kinds_section.h"

#include <string_view>

#include "config/toml_fields.h"

namespace zarvod {
namespace {

using namespace toml_fields;

constexpr int kMaxDoor = 4;

// A value byte written as plain decimal, so "08" and "8" cannot name one
// event twice.
bool ParseValueByte(std::string_view text, int& value) {
  if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 255;
}

bool ParseKey(std::string_view key, int& value1, int& value2) {
  const size_t slash = key.find('/');
  value2 = EventKinds::kAnyValue2;
  if (slash == std::string_view::npos) return ParseValueByte(key, value1);
  return ParseValueByte(key.substr(0, slash), value1) &&
         ParseValueByte(key.substr(slash + 1), value2);
}

EventKind ReadKind(const toml::node& node) {
  if (const toml::value<std::string>* words = node.as_string()) {
    if (words->get().empty()) Fail(node, "an event kind's words must not be empty");
    return {words->get(), 0, ""};
  }
  if (!node.is_table()) {
    Fail(node, "an event kind is \"words\" or { words = \"...\", door = N, direction = \"in\" }");
  }
  const toml::table& t = *node.as_table();
  RejectUnknownKeys(t, {"words", "door", "direction"});
  EventKind kind;
  kind.words = GetString(t, "words", "", true);
  if (kind.words.empty()) Fail(*t.get("words"), "'words' must not be empty");
  kind.door = static_cast<int>(GetInt(t, "door", 0, 1, kMaxDoor));
  kind.direction = GetString(t, "direction", "");
  if (!kind.direction.empty() && kind.direction != "in" && kind.direction != "out") {
    Fail(*t.get("direction"), "'direction' must be \"in\" or \"out\"");
  }
  return kind;
}

}  // namespace

EventKinds ReadEventKindsSection(const toml::node& node) {
  const toml::table& t = RequireTable(node, "[event_kinds]");
  EventKinds kinds;
  for (const auto& [key, value] : t) {
    int value1 = 0;
    int value2 = 0;
    if (!ParseKey(key.str(), value1, value2)) {
      throw Fault{key.source(), "event kind '" + std::string(key.str()) +
                                    "': write VALUE1 or VALUE1/VALUE2, each 0 to 255"};
    }
    kinds.Name(value1, value2, ReadKind(value));
  }
  return kinds;
}

}  // namespace zarvod
