#include "request_json.h"

namespace zarvo::mqtt {

using nlohmann::json;

std::string JsonShapeFault(std::string_view text, size_t max_bytes, int max_depth) {
  if (text.size() > max_bytes) {
    return "the request is larger than " + std::to_string(max_bytes) + " bytes";
  }
  int depth = 0;
  bool in_string = false;
  bool escaped = false;
  for (const char c : text) {
    if (c == '\0') return "the request holds a NUL byte";
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > max_depth) {
        return "the request nests deeper than " + std::to_string(max_depth) + " levels";
      }
    } else if ((c == '}' || c == ']') && --depth < 0) {
      return "the request is not JSON: a bracket closes that was not opened";
    }
  }
  return "";
}

RequestJson ParseRequestJson(std::string_view payload) {
  RequestJson out;
  out.error = JsonShapeFault(payload, kMaxRequestBytes, kMaxRequestDepth);
  if (!out.error.empty()) return out;
  out.body = json::parse(payload.begin(), payload.end(), nullptr, false);
  if (!out.body.is_object()) {
    out.body = nullptr;
    out.error = "the request must be a JSON object";
  }
  return out;
}

json Redacted(const json& document) {
  static constexpr const char* kSecret[] = {"password", "code", "pin"};
  if (document.is_array()) {
    json out = json::array();
    for (const json& item : document) out.push_back(Redacted(item));
    return out;
  }
  if (!document.is_object()) return document;
  json out = json::object();
  for (const auto& [key, value] : document.items()) {
    bool secret = false;
    for (const char* name : kSecret) secret = secret || key == name;
    out[key] = secret ? json("***") : Redacted(value);
  }
  return out;
}

std::string CommandRecordText(const std::string& command, const json& request) {
  std::string text = json{{"command", command}, {"request", Redacted(request)}}.dump();
  if (text.size() <= kMaxRecordBytes) return text;
  json envelope = json::object();
  for (const char* key : {"id", "controller", "by"}) {
    const auto it = request.find(key);
    if (it != request.end() && it->is_string() && it->get_ref<const std::string&>().size() <= 64) {
      envelope[key] = *it;
    }
  }
  return json{
      {"command", command.substr(0, 128)}, {"request", envelope}, {"record_bytes", text.size()}}
      .dump();
}

}  // namespace zarvo::mqtt
