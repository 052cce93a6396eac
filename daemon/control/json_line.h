// The control socket's messages: one JSON object per line. Requests and
// replies are flat objects whose values are strings, numbers, booleans or null; a fault
// is reported with the column where it is, e.g.
//   request:1:14: expected ':' after the key
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zarvod::control {

using JsonValue = std::variant<std::nullptr_t, bool, double, std::string>;

struct JsonField {
  JsonValue value;
  int column = 1;  // where the value starts, for messages about it
};

struct ParsedRequest {
  std::map<std::string, JsonField> fields;
  std::string error;  // "" when the line was a valid flat object

  // The string field `key`, or nullopt when it is missing or no string.
  std::optional<std::string> Text(const std::string& key) const;
};

ParsedRequest ParseRequestLine(std::string_view line);

// Builds one reply line.
class JsonObject {
 public:
  JsonObject& Set(const std::string& key, const std::string& text);
  JsonObject& Set(const std::string& key, const char* text) { return Set(key, std::string(text)); }
  JsonObject& Set(const std::string& key, bool value);
  JsonObject& Set(const std::string& key, long long value);
  JsonObject& Set(const std::string& key, int value) {
    return Set(key, static_cast<long long>(value));
  }
  JsonObject& Set(const std::string& key, size_t value) {
    return Set(key, static_cast<long long>(value));
  }
  // The object as one line, without the newline.
  std::string Line() const { return "{" + body_ + "}"; }

 private:
  void Key(const std::string& key);
  std::string body_;
};

std::string JsonQuoted(std::string_view text);

}  // namespace zarvod::control
