#include "cli/text_table.h"

#include <algorithm>

namespace zarvod {
namespace {

void AppendRow(std::string& out, const std::vector<TextColumn>& columns,
               const std::vector<size_t>& widths, const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string cell = i < cells.size() ? cells[i] : "";
    const std::string pad(widths[i] - std::min(widths[i], cell.size()), ' ');
    if (i > 0) line += "  ";
    line += columns[i].numeric ? pad + cell : cell + pad;
  }
  line.erase(line.find_last_not_of(' ') + 1);
  out += line + "\n";
}

}  // namespace

std::string TextTable::Render() const {
  std::vector<size_t> widths;
  for (const TextColumn& c : columns_) widths.push_back(c.header.size());
  for (const auto& row : rows_) {
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], row[i].size());
    }
  }
  std::vector<std::string> header;
  for (const TextColumn& c : columns_) header.push_back(c.header);
  std::string out;
  AppendRow(out, columns_, widths, header);
  for (const auto& row : rows_) AppendRow(out, columns_, widths, row);
  return out;
}

}  // namespace zarvod
