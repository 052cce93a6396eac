#include "card_entry.h"

#include <cstdio>
#include <vector>

namespace zarvod::cards {
namespace {

std::string Number8(uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lu", static_cast<unsigned long>(number));
  return text;
}

std::string DateText(const CardEntry& e) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", e.year, e.month, e.day);
  return text;
}

std::string FlagList(uint32_t flags) {
  std::string list;
  for (int i = 0; i < 32; ++i) {
    if ((flags >> i) & 1U) list += (list.empty() ? "" : ",") + std::to_string(i);
  }
  return list.empty() ? "none" : list;
}

// Name and text of every field an entry of this kind carries.
std::vector<std::pair<std::string, std::string>> Fields(const CardEntry& e) {
  std::vector<std::pair<std::string, std::string>> fields;
  if (!e.key.is_double()) {
    fields.emplace_back("pin", e.pin);
    fields.emplace_back("value1", std::to_string(e.value1));
  }
  fields.emplace_back("value2", std::to_string(e.value2));
  fields.emplace_back("date", DateText(e));
  fields.emplace_back("flags", FlagList(e.flags));
  if (!e.key.is_double()) fields.emplace_back("flagged", e.flagged ? "yes" : "no");
  return fields;
}

}  // namespace

std::string KeyText(const CardKey& key) {
  return key.is_double() ? Number8(key.number) + "+" + Number8(key.number2) : Number8(key.number);
}

std::string FieldsText(const CardEntry& entry) {
  std::string text;
  for (const auto& [name, value] : Fields(entry)) {
    text += (text.empty() ? "" : " ") + name + " " + value;
  }
  return text;
}

std::string ChangesText(const CardEntry& before, const CardEntry& after) {
  const auto old_fields = Fields(before);
  const auto new_fields = Fields(after);
  std::string text;
  for (size_t i = 0; i < new_fields.size() && i < old_fields.size(); ++i) {
    if (old_fields[i].second == new_fields[i].second) continue;
    text += (text.empty() ? "" : ", ") + new_fields[i].first + " " + old_fields[i].second + " -> " +
            new_fields[i].second;
  }
  return text;
}

}  // namespace zarvod::cards
