// Names the argument of a command line that does not fit the command's
// usage, so a usage error says which one to correct.
#include <set>
#include <sstream>

#include "tool.h"

namespace zarvoctl {
namespace {

// Placeholders that stand for a number (decimal or 0x hexadecimal).
bool IsNumberPlaceholder(const std::string& name) {
  static const std::set<std::string> kNumbers = {
      "ADDRESS", "NEW",  "DOOR",  "TABLE", "DAY", "INDEX", "GROUP", "SLOT",
      "MASK",    "BAUD", "PARAM", "FROM",  "TO",  "VALUE", "V0",    "V1",
      "V2",      "V3",   "E0",    "E1",    "E2",  "E3",    "N"};
  return kNumbers.count(name) != 0;
}

std::string CheckOne(const std::string& name, const std::string& arg) {
  if (!IsNumberPlaceholder(name)) return "";
  int64_t value = 0;
  if (!ParseInt(arg, value)) {
    return "bad " + name + " '" + arg + "': not a number (decimal, or hexadecimal after 0x)";
  }
  if (name == "ADDRESS" && (value < 0 || value > 255)) {
    return "bad ADDRESS '" + arg + "': a bus address is 0 to 255";
  }
  return "";
}

}  // namespace

std::string WrongArgument(const std::string& usage, const Args& args) {
  std::istringstream words(usage);
  std::string word;
  size_t at = 0;
  bool optional = false;    // inside [...]: may be left out
  bool open_ended = false;  // options or repeated arguments may follow
  while (!open_ended && words >> word) {
    if (word.front() == '[') optional = true;
    const bool closes = word.back() == ']';
    std::string name = word.substr(word.front() == '[' ? 1 : 0);
    if (closes) name.pop_back();
    open_ended = name.rfind("--", 0) == 0 || name == "OPTIONS" ||
                 name.find("...") != std::string::npos || name.find('|') != std::string::npos;
    if (open_ended) break;
    if (at >= args.size()) return optional ? "" : "missing " + name;
    const std::string wrong = CheckOne(name, args[at]);
    if (!wrong.empty()) return wrong;
    ++at;
    if (closes) optional = false;
  }
  if (!open_ended && at < args.size()) return "unexpected argument '" + args[at] + "'";
  return "";
}

}  // namespace zarvoctl
