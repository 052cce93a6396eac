// Command-line options as zarvoctl, zarvo-sim and zarvod take them: each
// program lists its options once, and every one of them refuses an unknown
// or misspelt option (naming the nearest it knows) and an option whose value
// is missing, instead of quietly running without what the user asked for.
// Header-only, with nothing from the library, so the daemon can use it too.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zarvo::tools {

// The exit status of every usage error, in every program.
constexpr int kUsageExit = 2;

struct OptionSpec {
  std::string name;   // "--journal", or "-v"
  std::string value;  // what must follow it ("FILE"); empty for a flag
  std::string help;   // its line in --help
};

// What a command line gave: each option's values in the order given (a flag
// has one empty value per time it was given), and the other words.
struct ParsedOptions {
  std::map<std::string, std::vector<std::string>> given;
  // Every option as given, in order: where one option qualifies the one
  // before it (a speed after its port).
  std::vector<std::pair<std::string, std::string>> in_order;
  std::vector<std::string> words;

  bool Has(const std::string& name) const { return given.count(name) != 0; }
  // The last value given for `name`, or `fallback`.
  std::string Value(const std::string& name, const std::string& fallback = "") const {
    const auto found = given.find(name);
    return found == given.end() ? fallback : found->second.back();
  }
  std::vector<std::string> Values(const std::string& name) const {
    const auto found = given.find(name);
    return found == given.end() ? std::vector<std::string>{} : found->second;
  }
};

inline size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The one of `names` that `typed` most likely meant: a name it begins, or
// one a typo or two away; "" when none is close.
inline std::string NearestName(const std::string& typed, const std::vector<std::string>& names) {
  std::string best;
  size_t best_distance = std::max<size_t>(2, typed.size() / 4) + 1;
  for (const std::string& name : names) {
    const size_t distance =
        name.rfind(typed, 0) == 0 && typed.size() > 2 ? 1 : EditDistance(typed, name);
    if (distance < best_distance) {
      best = name;
      best_distance = distance;
    }
  }
  return best;
}

inline std::string UnknownOption(const std::string& typed, const std::vector<std::string>& names) {
  const std::string nearest = NearestName(typed, names);
  return "unknown option '" + typed + "'" +
         (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)");
}

// "bad value 'x' for --rate: expected events per second".
inline std::string BadValue(const std::string& option, const std::string& value,
                            const std::string& expected) {
  return "bad value '" + value + "' for " + option + ": expected " + expected;
}

inline std::vector<std::string> OptionNames(const std::vector<OptionSpec>& specs) {
  std::vector<std::string> names;
  for (const OptionSpec& s : specs) names.push_back(s.name);
  return names;
}

// Takes the options of `specs` out of `args` into `out`; the other words go
// to out.words in their order. "--name=value" is "--name value", and after
// "--" every word is a word. With `keep_unknown`, a word that looks like an
// option but is none of `specs` is kept as a word for the caller to judge;
// without it, it is an error. Returns "" or the error.
inline std::string ParseOptions(const std::vector<std::string>& args,
                                const std::vector<OptionSpec>& specs, ParsedOptions& out,
                                bool keep_unknown = false) {
  const auto find = [&specs](const std::string& name) -> const OptionSpec* {
    for (const OptionSpec& s : specs) {
      if (s.name == name) return &s;
    }
    return nullptr;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      out.words.insert(out.words.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    }
    const bool looks_like_option =
        arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
    if (!looks_like_option) {
      out.words.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* known = find(name);
    if (known == nullptr) {
      if (keep_unknown) {
        out.words.push_back(arg);
        continue;
      }
      return UnknownOption(name, OptionNames(specs));
    }
    if (known->value.empty()) {
      if (equals != std::string::npos) return "option '" + name + "' takes no value";
      out.given[name].push_back("");
      out.in_order.emplace_back(name, "");
      continue;
    }
    if (equals != std::string::npos) {
      out.given[name].push_back(arg.substr(equals + 1));
      out.in_order.emplace_back(name, arg.substr(equals + 1));
      continue;
    }
    // An option in the value's place means the value was left out.
    if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
      return "option '" + name + "' needs a value (" + known->value + ")";
    }
    out.given[name].push_back(args[++i]);
    out.in_order.emplace_back(name, args[i]);
  }
  return "";
}

// The options' lines for --help, their descriptions lined up.
inline std::string OptionsHelp(const std::vector<OptionSpec>& specs) {
  std::string text;
  for (const OptionSpec& s : specs) {
    std::string head = "  " + s.name + (s.value.empty() ? "" : " " + s.value);
    head += std::string(head.size() < 24 ? 24 - head.size() : 2, ' ');
    text += head + s.help + "\n";
  }
  return text;
}

}  // namespace zarvo::tools
