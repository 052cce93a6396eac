#include "json_line.h"

#include <cstdio>
#include <cstdlib>

namespace zarvod::control {
namespace {

class RequestParser {
 public:
  explicit RequestParser(std::string_view text) : text_(text) {}

  ParsedRequest Run() {
    Blank();
    if (!Expect('{', "a request must be a JSON object starting with '{'")) return Done();
    Blank();
    if (Peek() == '}') {
      ++pos_;
    } else {
      while (Member()) {
        Blank();
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect('}', "expected ',' or '}' after a value");
        break;
      }
    }
    if (result_.error.empty()) {
      Blank();
      if (pos_ < text_.size()) Fail("unexpected text after the object");
    }
    return Done();
  }

 private:
  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void Blank() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool Fail(const std::string& message) {
    if (result_.error.empty()) {
      result_.error = "request:1:" + std::to_string(pos_ + 1) + ": " + message;
    }
    return false;
  }
  bool Expect(char c, const char* message) {
    if (Peek() != c) return Fail(message);
    ++pos_;
    return true;
  }
  ParsedRequest Done() {
    if (!result_.error.empty()) result_.fields.clear();
    return std::move(result_);
  }

  bool Member() {
    Blank();
    std::string key;
    if (Peek() != '"') return Fail("expected a key in double quotes");
    const size_t key_at = pos_;
    if (!String(key)) return false;
    if (result_.fields.contains(key)) {
      pos_ = key_at;
      return Fail("key '" + key + "' given twice");
    }
    Blank();
    if (!Expect(':', "expected ':' after the key")) return false;
    Blank();
    JsonField field;
    field.column = static_cast<int>(pos_) + 1;
    if (!Value(field.value)) return false;
    result_.fields[key] = std::move(field);
    return true;
  }

  bool Value(JsonValue& value) {
    const char c = Peek();
    if (c == '"') {
      std::string text;
      if (!String(text)) return false;
      value = std::move(text);
      return true;
    }
    if (c == '{' || c == '[') return Fail("nested objects and arrays are not taken");
    for (const auto& [word, literal] :
         {std::pair<const char*, JsonValue>{"true", true}, {"false", false}, {"null", nullptr}}) {
      const std::string_view w(word);
      if (text_.substr(pos_, w.size()) == w) {
        pos_ += w.size();
        value = literal;
        return true;
      }
    }
    return Number(value);
  }

  bool Number(JsonValue& value) {
    const std::string rest(text_.substr(pos_, 64));
    char* end = nullptr;
    const double number = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str() || !(Peek() == '-' || (Peek() >= '0' && Peek() <= '9'))) {
      return Fail("expected a value: a string, a number, true, false or null");
    }
    pos_ += static_cast<size_t>(end - rest.c_str());
    value = number;
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        out += c;
        ++pos_;
        continue;
      }
      if (!Escape(out)) return false;
    }
    return Fail("unterminated string");
  }

  bool Escape(std::string& out) {
    const char e = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
    static constexpr std::string_view kFrom = "\"\\/bfnrt";
    static constexpr std::string_view kTo = "\"\\/\b\f\n\r\t";
    if (const size_t i = kFrom.find(e); i != std::string_view::npos && e != '\0') {
      out += kTo[i];
      pos_ += 2;
      return true;
    }
    if (e != 'u') return Fail("unknown escape in a string");
    unsigned code = 0;
    if (pos_ + 6 > text_.size() ||
        std::sscanf(std::string(text_.substr(pos_ + 2, 4)).c_str(), "%4x", &code) != 1) {
      return Fail("\\u needs four hex digits");
    }
    // UTF-8 of a code point of the basic plane (file names, card texts).
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
    pos_ += 6;
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  ParsedRequest result_;
};

}  // namespace

std::optional<std::string> ParsedRequest::Text(const std::string& key) const {
  const auto it = fields.find(key);
  if (it == fields.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&it->second.value)) return *text;
  return std::nullopt;
}

ParsedRequest ParseRequestLine(std::string_view line) { return RequestParser(line).Run(); }

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonObject::Key(const std::string& key) {
  if (!body_.empty()) body_ += ",";
  body_ += JsonQuoted(key) + ":";
}

JsonObject& JsonObject::Set(const std::string& key, const std::string& text) {
  Key(key);
  body_ += JsonQuoted(text);
  return *this;
}

JsonObject& JsonObject::Set(const std::string& key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Set(const std::string& key, long long value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

}  // namespace zarvod::control
