#include "json.h"

#include <cstdio>

namespace zarvoctl {
namespace {

void Quote(const std::string& s, std::string& out) {
  out += '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace

Json& Json::Set(const std::string& key, Json value) {
  members_.emplace_back(key, std::move(value));
  return *this;
}

Json& Json::Push(Json value) {
  elements_.push_back(std::move(value));
  return *this;
}

std::string Json::Dump() const {
  std::string out;
  DumpTo(out);
  return out;
}

void Json::DumpTo(std::string& out) const {
  switch (kind_) {
    case Kind::kNull: out += "null"; break;
    case Kind::kBool: out += number_ ? "true" : "false"; break;
    case Kind::kNumber: out += std::to_string(number_); break;
    case Kind::kString: Quote(text_, out); break;
    case Kind::kArray:
      out += '[';
      for (size_t i = 0; i < elements_.size(); ++i) {
        if (i) out += ',';
        elements_[i].DumpTo(out);
      }
      out += ']';
      break;
    case Kind::kObject:
      out += '{';
      for (size_t i = 0; i < members_.size(); ++i) {
        if (i) out += ',';
        Quote(members_[i].first, out);
        out += ':';
        members_[i].second.DumpTo(out);
      }
      out += '}';
      break;
  }
}

}  // namespace zarvoctl
