// Checks a JSON value against a schema written with the part of JSON Schema
// docs/mqtt.md uses: type (one or a list), const, enum, required,
// properties, additionalProperties (false), items, minimum, maximum,
// minLength, maxLength and pattern.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace zarvo::mqtt::testing {

// An empty string when `value` conforms, else where and why it does not.
std::string SchemaProblem(const nlohmann::json& schema, const nlohmann::json& value,
                          const std::string& where = "$");

// The schemas of docs/mqtt.md: each fenced ```json block that follows a
// "Schema: NAME" line, by NAME.
std::map<std::string, nlohmann::json> SchemasOfDoc(const std::string& path);

}  // namespace zarvo::mqtt::testing
