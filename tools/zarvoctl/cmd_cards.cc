// Card list commands: register, read back and delete single cards and
// double-card entries, and enrol many cards at once from a CSV file.
//
// The CSV file starts with a header line naming its columns, in any order:
//   number   the card number (required)
//   pin      six hex digits                    (default 000000)
//   value1   0 to 255                          (default 0)
//   value2   0 to 255                          (default 0)
//   date     YYYY-MM-DD, year 2000 to 2099     (default 2099-12-31)
//   flags    up to 32 characters 0/1, character i is flag i (default all 0)
//   flagged  1/yes/true registers with the flagged variant (default 0)
// then one card per line. Empty fields take the default; blank lines and
// lines starting with '#' are skipped. Fields are not quoted.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {
namespace {

constexpr int kFlagCount = 32;

// Everything an entry carries besides its card number(s), as the tool
// fills a record from it.
struct CardFields {
  std::string pin = "000000";
  std::string flags = std::string(kFlagCount, '0');
  int32_t value1 = 0;
  int32_t value2 = 0;
  int32_t year = 2099;
  int32_t month = 12;
  int32_t day = 31;
  bool flagged = false;
};

bool AllOf(const std::string& text, const char* allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

// A card number as the controller keeps it: decimal, 0 to 4294967295.
bool IsCardNumber(const std::string& text) {
  return AllOf(text, "0123456789") && text.size() <= 10 &&
         (text.size() < 10 || text <= "4294967295");
}

bool ParseByte(const std::string& text, int32_t& value) {
  return ParseInt(text, value) && value >= 0 && value <= 255;
}

bool ParseDate(const std::string& text, CardFields& f) {
  int year = 0, month = 0, day = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &extra) != 3) return false;
  if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  f.year = year;
  f.month = month;
  f.day = day;
  return true;
}

bool ParseFlagged(const std::string& text, bool& flagged) {
  const bool yes = text == "1" || text == "yes" || text == "true";
  const bool no = text == "0" || text == "no" || text == "false";
  flagged = yes;
  return yes || no;
}

// Sets the field `name` from `value`; returns why it could not, or "".
std::string SetField(CardFields& f, const std::string& name, const std::string& value) {
  if (name == "pin") {
    if (value.size() != 6 || !AllOf(value, "0123456789abcdefABCDEF")) {
      return "pin must be six hex digits";
    }
    f.pin = value;
  } else if (name == "flags") {
    if (value.size() > kFlagCount || !AllOf(value, "01")) return "flags must be up to 32 0/1";
    f.flags = value + std::string(kFlagCount - value.size(), '0');
  } else if (name == "value1" || name == "value2") {
    if (!ParseByte(value, name == "value1" ? f.value1 : f.value2)) {
      return name + " must be 0 to 255";
    }
  } else if (name == "date") {
    if (!ParseDate(value, f)) return "date must be YYYY-MM-DD in 2000..2099";
  } else if (name == "flagged") {
    if (!ParseFlagged(value, f.flagged)) return "flagged must be 0 or 1";
  } else {
    return "unknown field '" + name + "'";
  }
  return "";
}

// Reads "--name value" options (and the bare "--flagged" when allowed).
std::string ParseOptions(const Args& args, size_t first, bool single, CardFields& f) {
  for (size_t i = first; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) != 0) return "unexpected '" + args[i] + "'";
    const std::string name = args[i].substr(2);
    const bool single_only = name == "pin" || name == "value1" || name == "flagged";
    if (single_only && !single) return "a double card has no " + name;
    if (name == "flagged") {
      f.flagged = true;
      continue;
    }
    if (i + 1 >= args.size()) return args[i] + " needs a value";
    const std::string error = SetField(f, name, args[++i]);
    if (!error.empty()) return error;
  }
  return "";
}

template <size_t N>
void PutText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N - 1);
}

template <typename Record>
void PutCommonFields(Record& r, const CardFields& f) {
  std::memcpy(r.flags, f.flags.data(), kFlagCount);
  r.value2 = f.value2;
  r.year = f.year;
  r.month = f.month;
  r.day = f.day;
}

CardRecord MakeCard(const std::string& number, const CardFields& f) {
  CardRecord r{};
  PutText(r.cardNumber, number);
  PutText(r.pin, f.pin);
  r.value1 = f.value1;
  PutCommonFields(r, f);
  return r;
}

DoubleCardRecord MakeDoubleCard(const std::string& number1, const std::string& number2,
                                const CardFields& f) {
  DoubleCardRecord r{};
  PutText(r.cardNumber1, number1);
  PutText(r.cardNumber2, number2);
  PutCommonFields(r, f);
  return r;
}

template <size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

std::string Number8(const std::string& number) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lu", std::stoul(number));
  return text;
}

template <typename Record>
std::string DateText(const Record& r) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", r.year, r.month, r.day);
  return text;
}

std::string SetFlagList(const char* flags) {
  std::string list;
  for (int i = 0; i < kFlagCount; ++i) {
    if (flags[i] == '1') list += (list.empty() ? "" : ", ") + std::to_string(i);
  }
  return list.empty() ? "none" : list;
}

std::string Ms(uint32_t ticks) { return std::to_string(ticks) + " ms"; }

// A failed call, with the exchange time it took.
int CardFailure(Tool& tool, const std::string& what, int32_t result, uint32_t ticks) {
  if (!tool.json()) return tool.Fail(what + " after " + Ms(ticks), result);
  Json json = Json::Object();
  json.Set("ok", false).Set("error", what).Set("result", ResultJson(result)).Set("ticks", ticks);
  tool.Emit(json, "");
  return 1;
}

std::string Controller(int32_t address) { return "controller " + std::to_string(address); }

// ---- card add | get | del ------------------------------------------------

constexpr int32_t kModeRead = 0;
constexpr int32_t kModeWrite = 1;
constexpr int32_t kModeDelete = 2;

// What a successful call did to the entry, by mode.
const char* const kDone[] = {"read from", "registered on", "deleted from"};

// A command line: ADDRESS, the card number(s), then options (writes only).
struct CardArgs {
  int32_t address = 0;
  std::vector<std::string> numbers;
  CardFields fields;
};

// Returns why the arguments are unusable, or "".
std::string ParseCardArgs(const Args& args, size_t numbers, int32_t mode, CardArgs& out) {
  const size_t positional = 1 + numbers;
  static const char* const kNames[] = {"ADDRESS", "NUMBER", "N1", "N2"};
  if (args.size() < positional) {
    return std::string("missing ") + kNames[args.empty() ? 0 : numbers == 1 ? 1 : 1 + args.size()];
  }
  if (!ParseAddress(args[0], out.address)) {
    return "bad ADDRESS '" + args[0] + "': a bus address is 0 to 255";
  }
  for (size_t i = 1; i < positional; ++i) {
    if (!IsCardNumber(args[i])) return "bad card number '" + args[i] + "'";
    out.numbers.push_back(args[i]);
  }
  if (mode != kModeWrite && args.size() > positional) {
    return "unexpected '" + args[positional] + "'";
  }
  return ParseOptions(args, positional, numbers == 1, out.fields);
}

// Reports a finished call: the entry read, or what was done to it, with the
// exchange time either way.
int Report(Tool& tool, const std::string& name, const CardArgs& a, int32_t mode, int32_t result,
           uint32_t ticks, Json json, const std::string& entry_text) {
  const std::string where = std::string(kDone[mode]) + " " + Controller(a.address);
  if (result != ZARVO_OK) return CardFailure(tool, name + " not " + where, result, ticks);
  if (mode == kModeRead) {
    tool.Emit(json, entry_text);
    return 0;
  }
  json.Set(mode == kModeWrite ? "registered" : "deleted", true);
  tool.Emit(json, name + " " + where + " (" + Ms(ticks) + ")");
  return 0;
}

Json CardJson(int32_t address, const CardRecord& r, int32_t mode, uint32_t ticks) {
  Json json = Json::Object();
  json.Set("address", address).Set("card", Number8(Text(r.cardNumber)));
  if (mode != kModeDelete) {
    json.Set("pin", Text(r.pin)).Set("value1", r.value1).Set("value2", r.value2);
    json.Set("date", DateText(r)).Set("flags", std::string(r.flags, kFlagCount));
  }
  return json.Set("ticks", ticks);
}

std::string CardText(int32_t address, const CardRecord& r, uint32_t ticks) {
  return "card " + Text(r.cardNumber) + " on " + Controller(address) + " (" + Ms(ticks) +
         ")\n  date    " + DateText(r) + "\n  pin     " + Text(r.pin) + "\n  value1  " +
         std::to_string(r.value1) + "\n  value2  " + std::to_string(r.value2) + "\n  flags   " +
         std::string(r.flags, kFlagCount) + " (set: " + SetFlagList(r.flags) + ")";
}

int RunSingle(Tool& tool, const Args& args, int32_t mode, const std::string& usage) {
  CardArgs a;
  const std::string error = ParseCardArgs(args, 1, mode, a);
  if (!error.empty()) return tool.Usage(usage + "\n  " + error);
  CardRecord r = MakeCard(a.numbers[0], a.fields);
  uint32_t ticks = 0;
  const int32_t result = Zarvo_Registry(a.address, &r, &ticks, mode, a.fields.flagged ? 1 : 0);
  return Report(tool, "card " + Number8(a.numbers[0]), a, mode, result, ticks,
                CardJson(a.address, r, mode, ticks), CardText(a.address, r, ticks));
}

int CardAdd(Tool& tool, const Args& args) {
  return RunSingle(tool, args, kModeWrite,
                   "card add ADDRESS NUMBER [--pin HEX6] [--flags 0/1 x32] [--value1 N] "
                   "[--value2 N] [--date YYYY-MM-DD] [--flagged]");
}

int CardGet(Tool& tool, const Args& args) {
  return RunSingle(tool, args, kModeRead, "card get ADDRESS NUMBER");
}

int CardDel(Tool& tool, const Args& args) {
  return RunSingle(tool, args, kModeDelete, "card del ADDRESS NUMBER");
}

// ---- double-card add | get | del -----------------------------------------

Json DoubleJson(int32_t address, const DoubleCardRecord& r, int32_t mode, uint32_t ticks) {
  Json json = Json::Object();
  json.Set("address", address).Set("card1", Number8(Text(r.cardNumber1)));
  json.Set("card2", Number8(Text(r.cardNumber2)));
  if (mode != kModeDelete) {
    json.Set("value2", r.value2).Set("date", DateText(r));
    json.Set("flags", std::string(r.flags, kFlagCount));
  }
  return json.Set("ticks", ticks);
}

std::string DoubleText(int32_t address, const DoubleCardRecord& r, uint32_t ticks) {
  return "double card " + Text(r.cardNumber1) + "+" + Text(r.cardNumber2) + " on " +
         Controller(address) + " (" + Ms(ticks) + ")\n  date    " + DateText(r) + "\n  value2  " +
         std::to_string(r.value2) + "\n  flags   " + std::string(r.flags, kFlagCount) +
         " (set: " + SetFlagList(r.flags) + ")";
}

int RunDouble(Tool& tool, const Args& args, int32_t mode, const std::string& usage) {
  CardArgs a;
  const std::string error = ParseCardArgs(args, 2, mode, a);
  if (!error.empty()) return tool.Usage(usage + "\n  " + error);
  DoubleCardRecord r = MakeDoubleCard(a.numbers[0], a.numbers[1], a.fields);
  uint32_t ticks = 0;
  const int32_t result = Zarvo_RegistryDouble(a.address, &r, &ticks, mode);
  const std::string name = "double card " + Number8(a.numbers[0]) + "+" + Number8(a.numbers[1]);
  return Report(tool, name, a, mode, result, ticks, DoubleJson(a.address, r, mode, ticks),
                DoubleText(a.address, r, ticks));
}

int DoubleAdd(Tool& tool, const Args& args) {
  return RunDouble(tool, args, kModeWrite,
                   "double-card add ADDRESS NUMBER1 NUMBER2 [--flags 0/1 x32] [--value2 N] "
                   "[--date YYYY-MM-DD]");
}

int DoubleGet(Tool& tool, const Args& args) {
  return RunDouble(tool, args, kModeRead, "double-card get ADDRESS NUMBER1 NUMBER2");
}

int DoubleDel(Tool& tool, const Args& args) {
  return RunDouble(tool, args, kModeDelete, "double-card del ADDRESS NUMBER1 NUMBER2");
}

// ---- cards import ----------------------------------------------------------

// One data line of the file, parsed.
struct ImportLine {
  int line = 0;
  std::string number;
  CardFields fields;
  std::string error;  // why the line cannot be sent, or ""
};

// What became of one line that did not register.
struct ImportFailure {
  int line;
  std::string card;
  std::string error;  // a parse error, or empty when `result` says why
  int32_t result;
};

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, ',')) fields.push_back(Trim(field));
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  return fields;
}

// Checks the header's column names; returns why it is unusable, or "".
std::string CheckHeader(const std::vector<std::string>& columns) {
  static const std::string kKnown[] = {"number", "pin",   "value1", "value2",
                                       "date",   "flags", "flagged"};
  bool has_number = false;
  for (const std::string& c : columns) {
    if (std::find(std::begin(kKnown), std::end(kKnown), c) == std::end(kKnown)) {
      return "unknown column '" + c + "'";
    }
    has_number = has_number || c == "number";
  }
  return has_number ? "" : "the header names no 'number' column";
}

ImportLine ParseLine(int line_no, const std::vector<std::string>& columns,
                     const std::vector<std::string>& values) {
  ImportLine line;
  line.line = line_no;
  if (values.size() > columns.size()) line.error = "more fields than columns";
  for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
    if (columns[i] == "number") {
      line.number = values[i];
    } else if (!values[i].empty() && line.error.empty()) {
      line.error = SetField(line.fields, columns[i], values[i]);
    }
  }
  if (line.error.empty() && !IsCardNumber(line.number)) {
    line.error = "bad card number '" + line.number + "'";
  }
  return line;
}

// Reads the file into parsed lines; returns why it could not, or "".
std::string ReadCsv(const std::string& path, std::vector<ImportLine>& lines) {
  std::ifstream file(path);
  if (!file) return "cannot read " + path;
  std::string text;
  std::vector<std::string> columns;
  for (int line_no = 1; std::getline(file, text); ++line_no) {
    text = Trim(text);
    if (text.empty() || text[0] == '#') continue;
    if (columns.empty()) {
      columns = SplitCsv(text);
      const std::string error = CheckHeader(columns);
      if (!error.empty()) return path + " line " + std::to_string(line_no) + ": " + error;
      continue;
    }
    lines.push_back(ParseLine(line_no, columns, SplitCsv(text)));
  }
  return columns.empty() ? path + " has no header line" : "";
}

// The controller is out of reach: every later card would wait out the
// silence limit in vain.
bool LineIsDown(int32_t result) { return result == ZARVO_E_NO_REPLY || result == ZARVO_E_NOT_OPEN; }

struct ImportSummary {
  int succeeded = 0;
  int not_attempted = 0;
  uint64_t ticks = 0;
  std::vector<ImportFailure> failures;
};

ImportSummary Enrol(Tool& tool, int32_t address, const std::vector<ImportLine>& lines) {
  ImportSummary s;
  for (size_t i = 0; i < lines.size(); ++i) {
    tool.Progress("enrolling cards", static_cast<long>(i), static_cast<long>(lines.size()));
    const ImportLine& l = lines[i];
    if (!l.error.empty()) {
      s.failures.push_back({l.line, l.number, l.error, ZARVO_OK});
      continue;
    }
    CardRecord r = MakeCard(l.number, l.fields);
    uint32_t ticks = 0;
    const int32_t result =
        Zarvo_Registry(address, &r, &ticks, kModeWrite, l.fields.flagged ? 1 : 0);
    s.ticks += ticks;
    if (result == ZARVO_OK) {
      ++s.succeeded;
      continue;
    }
    s.failures.push_back({l.line, l.number, "", result});
    if (LineIsDown(result)) {
      s.not_attempted = static_cast<int>(lines.size() - i - 1);
      break;
    }
  }
  tool.EndProgress();
  return s;
}

void EmitSummary(Tool& tool, int32_t address, size_t total, const ImportSummary& s) {
  Json failures = Json::Array();
  std::string text = "registered " + std::to_string(s.succeeded) + " of " + std::to_string(total) +
                     " card(s) on " + Controller(address) + " (exchange time " +
                     std::to_string(s.ticks) + " ms)";
  if (!s.failures.empty()) text += "\n" + std::to_string(s.failures.size()) + " failed:";
  for (const ImportFailure& f : s.failures) {
    Json item = Json::Object();
    item.Set("line", f.line).Set("card", f.card);
    const std::string why = f.error.empty() ? ResultText(f.result) : f.error;
    if (f.error.empty())
      item.Set("result", ResultJson(f.result));
    else
      item.Set("error", f.error);
    failures.Push(item);
    text += "\n  line " + std::to_string(f.line) + ", card " + f.card + ": " + why;
  }
  if (s.not_attempted > 0) {
    text += "\n" + std::to_string(s.not_attempted) + " later card(s) not attempted: the " +
            "controller is out of reach";
  }
  Json json = Json::Object();
  json.Set("address", address).Set("total", static_cast<int64_t>(total));
  json.Set("succeeded", s.succeeded).Set("failed", static_cast<int64_t>(s.failures.size()));
  json.Set("notAttempted", s.not_attempted).Set("ticks", static_cast<int64_t>(s.ticks));
  json.Set("failures", failures);
  tool.Emit(json, text);
}

int CardsImport(Tool& tool, const Args& args) {
  const std::string usage =
      "cards import ADDRESS FILE.csv\n  header columns: number,pin,value1,value2,date,flags,"
      "flagged (only number required)";
  int32_t address = 0;
  if (args.size() != 2 || !ParseAddress(args[0], address)) return tool.Usage(usage);
  std::vector<ImportLine> lines;
  const std::string error = ReadCsv(args[1], lines);
  if (!error.empty()) return tool.Usage(usage + "\n  " + error);
  const ImportSummary summary = Enrol(tool, address, lines);
  EmitSummary(tool, address, lines.size(), summary);
  return summary.failures.empty() ? 0 : 1;
}

}  // namespace

void RegisterCardCommands(Registry& r) {
  r.Add({"card add", "ADDRESS NUMBER [OPTIONS]",
         "register a card (--pin, --flags, --value1, --value2, --date, --flagged)", CardAdd});
  r.Add({"card get", "ADDRESS NUMBER", "read a card's entry back", CardGet});
  r.Add({"card del", "ADDRESS NUMBER", "delete a card", CardDel});
  r.Add({"double-card add", "ADDRESS N1 N2 [OPTIONS]",
         "register a double card (--flags, --value2, --date)", DoubleAdd});
  r.Add({"double-card get", "ADDRESS N1 N2", "read a double card's entry back", DoubleGet});
  r.Add({"double-card del", "ADDRESS N1 N2", "delete a double card", DoubleDel});
  r.Add({"cards import", "ADDRESS FILE.csv",
         "register the cards listed in a CSV file (columns named in its header)", CardsImport});
  r.AddDemoStep({"card", "add", "1", "12345678", "--pin", "12ab56", "--flags", "1010", "--value1",
                 "1", "--value2", "2", "--date", "2030-12-31"});
  r.AddDemoStep({"card", "get", "1", "12345678"});
  r.AddDemoStep({"double-card", "add", "1", "12345678", "87654321", "--date", "2030-12-31"});
}

}  // namespace zarvoctl
