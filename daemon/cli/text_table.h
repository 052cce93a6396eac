// Columns of text for a terminal: each column as wide as its widest cell,
// numbers right-aligned, two blanks between columns and nothing after the
// last, so that output stays narrow and a column is easy to add.
#pragma once

#include <string>
#include <vector>

namespace zarvod {

struct TextColumn {
  std::string header;
  bool numeric = false;  // right-aligned
};

class TextTable {
 public:
  explicit TextTable(std::vector<TextColumn> columns) : columns_(std::move(columns)) {}
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  std::string Render() const;

 private:
  std::vector<TextColumn> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace zarvod
