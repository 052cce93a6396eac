// Reads a request's JSON object field by field, checking each type and
// range; the first problem is kept as a message naming the field. A field
// the command does not know makes the request malformed too.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace zarvo::mqtt {

class RequestArgs {
 public:
  explicit RequestArgs(const nlohmann::json& object, std::string where = "")
      : object_(object), where_(std::move(where)) {}

  int32_t Int(const char* key, int32_t lo, int32_t hi);
  int32_t Int(const char* key, int32_t lo, int32_t hi, int32_t fallback);
  bool Bool(const char* key, bool fallback);
  // Text of [min, max] characters, each one of `allowed`.
  std::string Text(const char* key, size_t min, size_t max, const char* allowed);
  std::string Text(const char* key, size_t min, size_t max, const char* allowed,
                   const std::string& fallback);
  std::vector<int32_t> IntList(const char* key, size_t count, int32_t lo, int32_t hi);
  // The array under `key` (at most `max` items), or nullptr after a failure.
  const nlohmann::json* Array(const char* key, size_t max);
  // The object under `key`, or nullptr after a failure.
  const nlohmann::json* Object(const char* key);
  // Marks a field as read elsewhere (the request's envelope).
  void Accept(const char* key) { used_.insert(key); }

  void Fail(const std::string& message);
  // False, with the first unknown field named, when a field was never read.
  bool Finish();
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // The field as messages name it: "cards[2].pin".
  std::string Name(const char* key) const { return where_ + key; }

 private:
  const nlohmann::json* Field(const char* key);

  const nlohmann::json& object_;
  std::string where_;
  std::set<std::string> used_;
  std::string error_;
};

inline constexpr const char* kDigits = "0123456789";
inline constexpr const char* kHexDigits = "0123456789abcdefABCDEF";

}  // namespace zarvo::mqtt
