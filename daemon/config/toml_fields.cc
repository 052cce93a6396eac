#include "config/toml_fields.h"

#include <algorithm>
#include <tuple>

namespace zarvod::toml_fields {
namespace {

thread_local FaultList* active_list = nullptr;

}  // namespace

FaultList::FaultList() : outer_(active_list) { active_list = this; }
FaultList::~FaultList() { active_list = outer_; }

std::vector<Fault> FaultList::Sorted() const {
  const auto key = [](const Fault& f) {
    return std::make_tuple(f.where.begin.line, f.where.begin.column, f.message);
  };
  std::vector<Fault> sorted = faults_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [&](const Fault& a, const Fault& b) { return key(a) < key(b); });
  sorted.erase(std::unique(sorted.begin(), sorted.end(),
                           [&](const Fault& a, const Fault& b) { return key(a) == key(b); }),
               sorted.end());
  return sorted;
}

FaultList* ActiveFaultList() { return active_list; }

void Note(const toml::source_region& where, std::string message) {
  if (active_list == nullptr) throw Fault{where, std::move(message)};
  active_list->Add(Fault{where, std::move(message)});
}

[[noreturn]] void Fail(const toml::node& node, std::string message) {
  throw Fault{node.source(), std::move(message)};
}

void RejectUnknownKeys(const toml::table& table, std::initializer_list<std::string_view> known) {
  for (const auto& [key, node] : table) {
    bool found = false;
    for (std::string_view k : known) found = found || key.str() == k;
    if (!found) Note(key.source(), "unknown key '" + std::string(key.str()) + "'");
    (void)node;
  }
}

const toml::table& RequireTable(const toml::node& node, std::string_view what) {
  if (const toml::table* t = node.as_table()) return *t;
  Fail(node, std::string(what) + " must be a table");
}

std::string GetString(const toml::table& table, std::string_view key, std::string fallback,
                      bool required) {
  const toml::node* node = table.get(key);
  if (!node) {
    if (required) throw Fault{table.source(), "missing key '" + std::string(key) + "'"};
    return fallback;
  }
  if (!node->is_string()) Fail(*node, "'" + std::string(key) + "' must be a string");
  return node->as_string()->get();
}

int64_t GetInt(const toml::table& table, std::string_view key, int64_t fallback, int64_t low,
               int64_t high, bool required) {
  const toml::node* node = table.get(key);
  if (!node) {
    if (required) throw Fault{table.source(), "missing key '" + std::string(key) + "'"};
    return fallback;
  }
  if (!node->is_integer()) Fail(*node, "'" + std::string(key) + "' must be an integer");
  const int64_t value = node->as_integer()->get();
  if (value < low || value > high) {
    Fail(*node, "'" + std::string(key) + "' must be " + std::to_string(low) + " to " +
                    std::to_string(high));
  }
  return value;
}

bool GetBool(const toml::table& table, std::string_view key, bool fallback) {
  const toml::node* node = table.get(key);
  if (!node) return fallback;
  if (!node->is_boolean()) Fail(*node, "'" + std::string(key) + "' must be true or false");
  return node->as_boolean()->get();
}

std::vector<std::string> GetStrings(const toml::table& table, std::string_view key,
                                    size_t max_count) {
  std::vector<std::string> out;
  const toml::node* node = table.get(key);
  if (!node) return out;
  const toml::array* array = node->as_array();
  if (!array) Fail(*node, "'" + std::string(key) + "' must be a list of strings");
  if (array->size() > max_count) {
    Fail(*node, "'" + std::string(key) + "' holds at most " + std::to_string(max_count));
  }
  for (const toml::node& item : *array) {
    if (!item.is_string()) Fail(item, "'" + std::string(key) + "' must hold strings only");
    out.push_back(item.as_string()->get());
  }
  return out;
}

}  // namespace zarvod::toml_fields
