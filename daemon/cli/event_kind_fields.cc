#include "cli/event_kind_fields.h"

#include "json_line.h"

namespace zarvod {

std::string CsvQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string KindJsonFields(const EventKind* kind) {
  if (kind == nullptr) return "";
  std::string out = ",\"kind\":" + control::JsonQuoted(kind->words);
  if (kind->door > 0) out += ",\"door\":" + std::to_string(kind->door);
  if (!kind->direction.empty()) out += ",\"direction\":" + control::JsonQuoted(kind->direction);
  return out;
}

std::string KindCsvFields(const EventKind* kind) {
  if (kind == nullptr) return ",,,";
  return "," + CsvQuoted(kind->words) + "," + (kind->door > 0 ? std::to_string(kind->door) : "") +
         "," + kind->direction;
}

}  // namespace zarvod
