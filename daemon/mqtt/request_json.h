// Reading a request's JSON safely. Limits on size and nesting are checked
// on the raw text before the parser builds anything, because every later
// step that walks the document (copying, redacting, printing) recurses once
// per level: a few thousand nested brackets would overflow the stack of the
// thread that handles commands.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace zarvo::mqtt {

// Room for a list of 1000 cards with every field given.
inline constexpr size_t kMaxRequestBytes = 256 * 1024;
inline constexpr int kMaxRequestDepth = 32;
// What the journal keeps of one request: longer records keep only the
// request's envelope and its size.
inline constexpr size_t kMaxRecordBytes = 4096;

struct RequestJson {
  nlohmann::json body;  // an object when `error` is empty
  std::string error;
};

// Why `text` is no acceptable JSON document ("" when it is): too large,
// nested too deep, or holding a NUL byte (JSON never has one unescaped,
// and a reader that stops at it would act on a prefix).
std::string JsonShapeFault(std::string_view text, size_t max_bytes, int max_depth);

// The request's object, or the reason it cannot be read.
RequestJson ParseRequestJson(std::string_view payload);

// A copy with door passwords, duress codes and PINs replaced by "***" at
// any level. Only for documents read through ParseRequestJson or built
// here: it recurses once per level.
nlohmann::json Redacted(const nlohmann::json& document);

// What the journal stores for a command: its name and the redacted
// request, cut to the envelope when longer than kMaxRecordBytes.
std::string CommandRecordText(const std::string& command, const nlohmann::json& request);

}  // namespace zarvo::mqtt
