#include "json_schema.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace zarvo::mqtt::testing {

using nlohmann::json;

namespace {

bool HasType(const json& value, const std::string& type) {
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "string") return value.is_string();
  if (type == "integer") return value.is_number_integer();
  if (type == "number") return value.is_number();
  if (type == "boolean") return value.is_boolean();
  if (type == "null") return value.is_null();
  return false;
}

std::string TypeProblem(const json& schema, const json& value, const std::string& where) {
  if (!schema.contains("type")) return "";
  const json types =
      schema.at("type").is_array() ? schema.at("type") : json::array({schema.at("type")});
  for (const json& type : types) {
    if (HasType(value, type.get<std::string>())) return "";
  }
  return where + ": " + value.dump() + " is not of type " + schema.at("type").dump();
}

}  // namespace

std::string SchemaProblem(const json& schema, const json& value, const std::string& where) {
  if (std::string problem = TypeProblem(schema, value, where); !problem.empty()) return problem;
  if (schema.contains("const") && schema.at("const") != value) {
    return where + ": must be " + schema.at("const").dump();
  }
  if (schema.contains("enum") && std::find(schema.at("enum").begin(), schema.at("enum").end(),
                                           value) == schema.at("enum").end()) {
    return where + ": " + value.dump() + " is not one of " + schema.at("enum").dump();
  }
  if (value.is_number()) {
    if (schema.contains("minimum") && value.get<double>() < schema.at("minimum").get<double>()) {
      return where + ": below minimum";
    }
    if (schema.contains("maximum") && value.get<double>() > schema.at("maximum").get<double>()) {
      return where + ": above maximum";
    }
  }
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    if (schema.contains("minLength") && text.size() < schema.at("minLength").get<size_t>()) {
      return where + ": shorter than minLength";
    }
    if (schema.contains("maxLength") && text.size() > schema.at("maxLength").get<size_t>()) {
      return where + ": longer than maxLength";
    }
    if (schema.contains("pattern") &&
        !std::regex_search(text, std::regex(schema.at("pattern").get<std::string>()))) {
      return where + ": \"" + text + "\" does not match " + schema.at("pattern").dump();
    }
  }
  if (value.is_array() && schema.contains("items")) {
    for (size_t i = 0; i < value.size(); ++i) {
      std::string problem =
          SchemaProblem(schema.at("items"), value[i], where + "[" + std::to_string(i) + "]");
      if (!problem.empty()) return problem;
    }
  }
  if (!value.is_object()) return "";
  for (const json& key : schema.value("required", json::array())) {
    if (!value.contains(key.get<std::string>())) return where + ": missing " + key.dump();
  }
  const json properties = schema.value("properties", json::object());
  for (const auto& item : value.items()) {
    if (properties.contains(item.key())) {
      std::string problem =
          SchemaProblem(properties.at(item.key()), item.value(), where + "." + item.key());
      if (!problem.empty()) return problem;
    } else if (schema.contains("additionalProperties") &&
               schema.at("additionalProperties") == json(false)) {
      return where + ": unexpected field \"" + item.key() + "\"";
    }
  }
  return "";
}

std::map<std::string, json> SchemasOfDoc(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  const std::string doc = text.str();
  std::map<std::string, json> schemas;
  const std::regex block(R"(Schema: ([a-z_.]+)\s*\n+```json\n([\s\S]*?)\n```)");
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), block); it != std::sregex_iterator();
       ++it) {
    schemas[(*it)[1]] = json::parse((*it)[2].str());
  }
  return schemas;
}

}  // namespace zarvo::mqtt::testing
