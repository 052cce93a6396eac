// A small JSON value for zarvoctl's --json output.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zarvoctl {

class Json {
 public:
  Json() : kind_(Kind::kNull) {}
  Json(bool b) : kind_(Kind::kBool), number_(b ? 1 : 0) {}            // NOLINT
  Json(int v) : kind_(Kind::kNumber), number_(v) {}                   // NOLINT
  Json(int64_t v) : kind_(Kind::kNumber), number_(v) {}               // NOLINT
  Json(uint32_t v) : kind_(Kind::kNumber), number_(v) {}              // NOLINT
  Json(const char* s) : kind_(Kind::kString), text_(s) {}             // NOLINT
  Json(std::string s) : kind_(Kind::kString), text_(std::move(s)) {}  // NOLINT

  static Json Object() { return Json(Kind::kObject); }
  static Json Array() { return Json(Kind::kArray); }

  // Object member (keeps insertion order).
  Json& Set(const std::string& key, Json value);
  // Array element.
  Json& Push(Json value);

  std::string Dump() const;

 private:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  explicit Json(Kind kind) : kind_(kind) {}
  void DumpTo(std::string& out) const;

  Kind kind_;
  int64_t number_ = 0;
  std::string text_;
  std::vector<std::pair<std::string, Json>> members_;
  std::vector<Json> elements_;
};

}  // namespace zarvoctl
