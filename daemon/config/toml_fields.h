// Reading typed fields of the site file. A wrong field throws a Fault that
// carries its place in the file; ParseConfig turns it into a ConfigError.
#pragma once

#include <toml++/toml.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zarvod::toml_fields {

struct Fault {
  toml::source_region where;
  std::string message;
};

[[noreturn]] void Fail(const toml::node& node, std::string message);

// Every key of `table` must be one of `known`.
void RejectUnknownKeys(const toml::table& table, std::initializer_list<std::string_view> known);

const toml::table& RequireTable(const toml::node& node, std::string_view what);

std::string GetString(const toml::table& table, std::string_view key, std::string fallback,
                      bool required = false);
int64_t GetInt(const toml::table& table, std::string_view key, int64_t fallback, int64_t low,
               int64_t high, bool required = false);
bool GetBool(const toml::table& table, std::string_view key, bool fallback);
std::vector<std::string> GetStrings(const toml::table& table, std::string_view key,
                                    size_t max_count);

}  // namespace zarvod::toml_fields
