#include "card_list_csv.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace zarvod::cards {
namespace {

constexpr size_t kMaxErrors = 50;

struct Field {
  std::string text;
  int column = 1;  // 1-based byte column where the text starts
};

constexpr std::array<const char*, 9> kColumns = {
    "number", "number2", "pin", "value1", "value2", "date", "flags", "flagged", "controllers"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a line at `separators`, trimming blanks; empty pieces are kept
// when `keep_empty`.
std::vector<Field> Split(std::string_view line, int first_column, const char* separators,
                         bool keep_empty) {
  std::vector<Field> fields;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find_first_of(separators, start);
    if (end == std::string_view::npos) end = line.size();
    size_t a = start;
    size_t b = end;
    while (a < b && IsBlank(line[a])) ++a;
    while (b > a && IsBlank(line[b - 1])) --b;
    if (keep_empty || b > a) {
      const size_t at = b > a ? a : start;  // an empty field points at its start
      fields.push_back({std::string(line.substr(a, b - a)), first_column + static_cast<int>(at)});
    }
    start = end + 1;
  }
  return fields;
}

bool AllOf(const std::string& text, const char* allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

std::optional<uint32_t> ParseCardNumber(const std::string& text) {
  if (!AllOf(text, "0123456789")) return std::nullopt;
  const size_t digits = text.find_first_not_of('0');
  if (digits == std::string::npos) return std::nullopt;  // 0 names no card
  if (text.size() - digits > 10) return std::nullopt;
  const unsigned long long value = std::stoull(text.substr(digits));
  if (value == 0 || value > 0xFFFFFFFFULL) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<int> ParseByte(const std::string& text) {
  if (!AllOf(text, "0123456789") || text.size() > 3) return std::nullopt;
  const int value = std::stoi(text);
  if (value > 255) return std::nullopt;
  return value;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ParseDate(const std::string& text, CardEntry& e) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  const std::string digits = text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2);
  if (!AllOf(digits, "0123456789")) return false;
  const int y = std::stoi(text.substr(0, 4));
  const int m = std::stoi(text.substr(5, 2));
  const int d = std::stoi(text.substr(8, 2));
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 2000 || y > 2099 || m < 1 || m > 12) return false;
  if (d < 1 || d > kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0)) return false;
  e.year = y;
  e.month = m;
  e.day = d;
  return true;
}

class Parser {
 public:
  Parser(const std::string& file, const SiteLayout& site) : file_(file), site_(site) {
    for (const ControllerRef& c : site.controllers) result_.cards.by_controller[c.name];
  }

  CardListParse Run(std::string_view text) {
    // Spreadsheets often save CSV with a byte-order mark.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int line_no = 0;
    size_t start = 0;
    while (start < text.size() && result_.errors.size() < kMaxErrors) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++line_no;
      start = end + 1;
      Line(line, line_no);
    }
    if (!have_header_ && result_.errors.empty()) Error(line_no + 1, 1, "no header line");
    if (!result_.ok()) result_.cards.by_controller.clear();
    return std::move(result_);
  }

 private:
  void Error(int line, int column, const std::string& message) {
    if (result_.errors.size() >= kMaxErrors) return;
    result_.errors.push_back(file_ + ":" + std::to_string(line) + ":" + std::to_string(column) +
                             ": " + message);
  }

  void Line(std::string_view line, int line_no) {
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') return;
    const std::vector<Field> fields = Split(line, 1, ",", true);
    if (!have_header_) return Header(fields, line_no);
    if (header_ok_) Row(fields, line_no, static_cast<int>(line.size()) + 1);
  }

  void Header(const std::vector<Field>& fields, int line_no) {
    have_header_ = true;
    const size_t errors_before = result_.errors.size();
    for (size_t i = 0; i < fields.size(); ++i) {
      const Field& f = fields[i];
      int known = -1;
      for (size_t k = 0; k < kColumns.size(); ++k) {
        if (f.text == kColumns[k]) known = static_cast<int>(k);
      }
      if (known < 0 && fields.size() == 1 && f.text.find(';') != std::string::npos) {
        Error(line_no, f.column, "fields are separated by commas, not ';'");
      } else if (known < 0) {
        Error(line_no, f.column, "unknown column '" + f.text + "'");
      } else if (index_[known] >= 0) {
        Error(line_no, f.column, "column '" + f.text + "' named twice");
      } else {
        index_[known] = static_cast<int>(i);
      }
    }
    for (const char* required : {"number", "controllers"}) {
      if (index_[ColumnOf(required)] < 0) {
        Error(line_no, 1, std::string("the header has no '") + required + "' column");
      }
    }
    header_columns_ = fields.size();
    header_ok_ = result_.errors.size() == errors_before;
  }

  static size_t ColumnOf(std::string_view name) {
    for (size_t k = 0; k < kColumns.size(); ++k) {
      if (name == kColumns[k]) return k;
    }
    return 0;
  }

  // The row's field for a column, or nullptr when the header lacks it.
  const Field* Get(const std::vector<Field>& fields, std::string_view name) const {
    const int i = index_[ColumnOf(name)];
    return i < 0 ? nullptr : &fields[static_cast<size_t>(i)];
  }

  void Row(const std::vector<Field>& fields, int line_no, int end_column) {
    if (fields.size() != header_columns_) {
      Error(line_no, fields.size() < header_columns_ ? end_column : fields[header_columns_].column,
            "expected " + std::to_string(header_columns_) + " fields, found " +
                std::to_string(fields.size()));
      return;
    }
    const size_t errors_before = result_.errors.size();
    CardEntry entry;
    Numbers(fields, line_no, entry);
    Values(fields, line_no, entry);
    std::vector<const ControllerRef*> targets = Targets(fields, line_no);
    if (result_.errors.size() != errors_before) return;
    for (const ControllerRef* c : targets) Place(*c, entry, line_no);
  }

  void Numbers(const std::vector<Field>& fields, int line_no, CardEntry& e) {
    const Field& number = *Get(fields, "number");
    if (auto n = ParseCardNumber(number.text)) {
      e.key.number = *n;
    } else {
      Error(line_no, number.column, "card number must be 1 to 4294967295");
    }
    const Field* number2 = Get(fields, "number2");
    if (number2 == nullptr || number2->text.empty()) return;
    if (auto n = ParseCardNumber(number2->text)) {
      e.key.number2 = *n;
      if (*n == e.key.number) Error(line_no, number2->column, "a double card needs two cards");
    } else {
      Error(line_no, number2->column, "second card number must be 1 to 4294967295");
    }
  }

  void Values(const std::vector<Field>& fields, int line_no, CardEntry& e) {
    const bool is_double = e.key.number2 != 0;
    for (const char* name : {"pin", "value1", "value2", "date", "flags", "flagged"}) {
      const Field* f = Get(fields, name);
      if (f == nullptr || f->text.empty()) continue;
      const std::string field_name = name;
      if (is_double && (field_name == "pin" || field_name == "value1" || field_name == "flagged")) {
        Error(line_no, f->column, "a double card has no " + field_name);
        continue;
      }
      const std::string why = SetValue(field_name, f->text, e);
      if (!why.empty()) Error(line_no, f->column, why);
    }
  }

  static std::string SetValue(const std::string& name, const std::string& text, CardEntry& e) {
    if (name == "pin") {
      if (text.size() != 6 || !AllOf(text, "0123456789abcdefABCDEF")) {
        return "pin must be six hex digits";
      }
      e.pin = text;
      for (char& c : e.pin) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (name == "value1" || name == "value2") {
      const auto value = ParseByte(text);
      if (!value) return name + " must be 0 to 255";
      (name == "value1" ? e.value1 : e.value2) = *value;
    } else if (name == "date") {
      if (!ParseDate(text, e)) return "date must be a real date YYYY-MM-DD in 2000 to 2099";
    } else if (name == "flags") {
      if (text.size() > 32 || !AllOf(text, "01")) return "flags must be up to 32 characters 0/1";
      e.flags = 0;
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '1') e.flags |= 1U << i;
      }
    } else if (name == "flagged") {
      const bool yes = text == "yes" || text == "1" || text == "true";
      if (!yes && text != "no" && text != "0" && text != "false")
        return "flagged must be yes or no";
      e.flagged = yes;
    }
    return "";
  }

  std::vector<const ControllerRef*> Targets(const std::vector<Field>& fields, int line_no) {
    const Field& list = *Get(fields, "controllers");
    std::vector<const ControllerRef*> targets;
    const std::vector<Field> names = Split(list.text, list.column, " \t;", false);
    if (names.empty()) Error(line_no, list.column, "no controllers named");
    for (const Field& name : names) {
      if (!site_.Resolve(name.text, targets)) {
        Error(line_no, name.column, "no controller, group or line is named '" + name.text + "'");
      }
    }
    return targets;
  }

  void Place(const ControllerRef& c, const CardEntry& entry, int line_no) {
    const auto [it, inserted] = placed_.emplace(std::make_pair(c.name, entry.key), line_no);
    if (!inserted) {
      if (it->second != line_no) {
        Error(line_no, 1,
              "card " + KeyText(entry.key) + " is already given to " + c.name + " on line " +
                  std::to_string(it->second));
      }
      return;  // named twice on one row (a controller and its group): one entry
    }
    result_.cards.by_controller[c.name][entry.key] = entry;
  }

  const std::string& file_;
  const SiteLayout& site_;
  CardListParse result_;
  bool have_header_ = false;
  bool header_ok_ = false;
  size_t header_columns_ = 0;
  std::array<int, kColumns.size()> index_ = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::map<std::pair<std::string, CardKey>, int> placed_;
};

}  // namespace

CardListParse ParseCardList(std::string_view text, const std::string& file_name,
                            const SiteLayout& site) {
  return Parser(file_name, site).Run(text);
}

CardListParse ReadCardListFile(const std::string& path, const SiteLayout& site) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    CardListParse result;
    result.errors.push_back(path + ": is a directory, not a card list");
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    CardListParse result;
    result.errors.push_back(path + ": cannot be read: " + std::strerror(errno));
    return result;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseCardList(text.str(), path, site);
}

}  // namespace zarvod::cards
