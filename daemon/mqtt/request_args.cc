#include "request_args.h"

namespace zarvo::mqtt {

using nlohmann::json;

const json* RequestArgs::Field(const char* key) {
  used_.insert(key);
  if (!ok() || !object_.is_object()) return nullptr;
  auto it = object_.find(key);
  return it == object_.end() ? nullptr : &*it;
}

void RequestArgs::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
}

int32_t RequestArgs::Int(const char* key, int32_t lo, int32_t hi) {
  const json* field = Field(key);
  if (!ok()) return lo;
  if (field == nullptr) {
    Fail(Name(key) + " is missing");
    return lo;
  }
  return Int(key, lo, hi, lo);
}

int32_t RequestArgs::Int(const char* key, int32_t lo, int32_t hi, int32_t fallback) {
  const json* field = Field(key);
  if (field == nullptr) return fallback;
  if (!field->is_number_integer()) {
    Fail(Name(key) + " must be an integer");
    return fallback;
  }
  const int64_t value = field->get<int64_t>();
  if (value < lo || value > hi) {
    Fail(Name(key) + " must be " + std::to_string(lo) + " to " + std::to_string(hi));
    return fallback;
  }
  return static_cast<int32_t>(value);
}

bool RequestArgs::Bool(const char* key, bool fallback) {
  const json* field = Field(key);
  if (field == nullptr) return fallback;
  if (!field->is_boolean()) {
    Fail(Name(key) + " must be true or false");
    return fallback;
  }
  return field->get<bool>();
}

std::string RequestArgs::Text(const char* key, size_t min, size_t max, const char* allowed) {
  const json* field = Field(key);
  if (ok() && field == nullptr) Fail(Name(key) + " is missing");
  return ok() ? Text(key, min, max, allowed, "") : "";
}

std::string RequestArgs::Text(const char* key, size_t min, size_t max, const char* allowed,
                              const std::string& fallback) {
  const json* field = Field(key);
  if (field == nullptr) return fallback;
  if (!field->is_string()) {
    Fail(Name(key) + " must be a string");
    return fallback;
  }
  const std::string text = field->get<std::string>();
  if (text.size() < min || text.size() > max) {
    Fail(Name(key) + " must have " + std::to_string(min) + " to " + std::to_string(max) +
         " characters");
    return fallback;
  }
  if (allowed != nullptr && text.find_first_not_of(allowed) != std::string::npos) {
    Fail(Name(key) + " may hold only \"" + allowed + "\"");
    return fallback;
  }
  return text;
}

std::vector<int32_t> RequestArgs::IntList(const char* key, size_t count, int32_t lo, int32_t hi) {
  const json* field = Field(key);
  std::vector<int32_t> values(count, lo);
  if (!ok()) return values;
  if (field == nullptr || !field->is_array() || field->size() != count) {
    Fail(Name(key) + " must be an array of " + std::to_string(count) + " integers");
    return values;
  }
  for (size_t i = 0; i < count; ++i) {
    const json& item = (*field)[i];
    if (!item.is_number_integer() || item.get<int64_t>() < lo || item.get<int64_t>() > hi) {
      Fail(Name(key) + "[" + std::to_string(i) + "] must be an integer " + std::to_string(lo) +
           " to " + std::to_string(hi));
      return values;
    }
    values[i] = static_cast<int32_t>(item.get<int64_t>());
  }
  return values;
}

const json* RequestArgs::Array(const char* key, size_t max) {
  const json* field = Field(key);
  if (!ok()) return nullptr;
  if (field == nullptr || !field->is_array() || field->empty() || field->size() > max) {
    Fail(Name(key) + " must be an array of 1 to " + std::to_string(max) + " items");
    return nullptr;
  }
  return field;
}

const json* RequestArgs::Object(const char* key) {
  const json* field = Field(key);
  if (!ok()) return nullptr;
  if (field == nullptr || !field->is_object()) {
    Fail(Name(key) + " must be an object");
    return nullptr;
  }
  return field;
}

bool RequestArgs::Finish() {
  if (!ok()) return false;
  if (!object_.is_object()) {
    Fail((where_.empty() ? std::string("the request") : where_) + " must be a JSON object");
    return false;
  }
  for (const auto& item : object_.items()) {
    if (used_.count(item.key()) == 0) {
      Fail("unknown field " + Name(item.key().c_str()));
      return false;
    }
  }
  return true;
}

}  // namespace zarvo::mqtt
