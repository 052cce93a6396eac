#include "config/site_names.h"

#include <map>
#include <set>

#include "config/toml_fields.h"

namespace zarvod {
namespace {

using namespace toml_fields;

constexpr size_t kLongestName = 64;

bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Topic levels under the site's prefix that the site itself uses: a
// controller of that name would publish its events among the commands.
const std::set<std::string> kTopicsOfTheSite = {"cmd", "reply"};

const toml::node& At(const toml::node* node, const toml::node& fallback) {
  return node != nullptr ? *node : fallback;
}

// The list at `key` of a table already read (so known to be one).
const toml::array& ListAt(const toml::table& table, std::string_view key) {
  const toml::node* node = table.get(key);
  const toml::array* list = node != nullptr ? node->as_array() : nullptr;
  if (list == nullptr) throw Fault{table.source(), "'" + std::string(key) + "' must be a list"};
  return *list;
}

// Every name that the card list can name, and where it is written.
class Namespace {
 public:
  void Add(const std::string& name, const std::string& what, const toml::source_region& where) {
    if (const std::string fault = NameFault(name); !fault.empty()) {
      throw Fault{where, what + " name '" + name + "': " + fault};
    }
    const auto [it, added] = owners_.emplace(name, what);
    if (!added) {
      throw Fault{where, what + " name '" + name + "' is already the name of a " + it->second};
    }
  }
  bool IsController(const std::string& name) const {
    const auto it = owners_.find(name);
    return it != owners_.end() && it->second == "controller";
  }

 private:
  std::map<std::string, std::string> owners_;  // name -> "controller", "line" or "group"
};

void CheckControllers(const toml::table& root, const SiteConfig& config, Namespace& names) {
  const toml::array& lines = ListAt(root, "line");
  for (size_t i = 0; i < config.lines.size(); ++i) {
    const toml::table& line = RequireTable(lines[i], "a line");
    names.Add(config.lines[i].name, "line", At(line.get("name"), line).source());
    const toml::array& controllers = ListAt(line, "controller");
    for (size_t j = 0; j < config.lines[i].controllers.size(); ++j) {
      const std::string& name = config.lines[i].controllers[j].name;
      const toml::table& table = RequireTable(controllers[j], "a controller");
      const toml::node& where = At(table.get("name"), table);
      names.Add(name, "controller", where.source());
      if (kTopicsOfTheSite.count(name) != 0) {
        Fail(where, "controller name '" + name + "' is a topic of the site on MQTT");
      }
    }
  }
}

// "line/address" of a controller of the site.
bool IsLineAndAddress(const std::string& member, const SiteConfig& config) {
  const size_t slash = member.find('/');
  if (slash == std::string::npos) return false;
  const std::string line = member.substr(0, slash);
  const std::string address = member.substr(slash + 1);
  for (const LineConfig& l : config.lines) {
    if (l.name != line) continue;
    for (const ControllerConfig& c : l.controllers) {
      if (std::to_string(c.address) == address) return true;
    }
  }
  return false;
}

void CheckGroups(const toml::table& root, const SiteConfig& config, Namespace& names) {
  const toml::node* groups = root.get("groups");
  if (groups == nullptr) return;
  const toml::table& table = RequireTable(*groups, "[groups]");
  for (const auto& [key, node] : table) {
    const std::string group(key.str());
    names.Add(group, "group", key.source());
    const toml::array* members = node.as_array();
    if (members == nullptr) continue;  // refused when read
    for (const toml::node& member : *members) {
      const std::string m = member.value_or(std::string());
      if (!names.IsController(m) && !IsLineAndAddress(m, config)) {
        Fail(member, "group '" + group + "' names no controller '" + m + "'");
      }
    }
  }
}

}  // namespace

std::string NameFault(const std::string& name) {
  if (name.empty()) return "a name cannot be empty";
  if (name.size() > kLongestName) {
    return "a name holds at most " + std::to_string(kLongestName) + " characters";
  }
  if (!IsLetterOrDigit(name[0])) return "a name starts with a letter or a digit";
  for (char c : name) {
    if (!IsLetterOrDigit(c) && c != '_' && c != '-' && c != '.') {
      return "a name holds only letters, digits, '_', '-' and '.' (it goes into card lists, "
             "MQTT topics and command lines)";
    }
  }
  return "";
}

std::string SiteNameFault(const std::string& name) {
  if (const std::string fault = NameFault(name); !fault.empty()) return fault;
  for (char c : name) {
    if (!IsLetterOrDigit(c) && c != '-') {
      return "a site's name holds only letters, digits and '-' (it begins the Home Assistant "
             "ids of its controllers, which '_' ends)";
    }
  }
  return "";
}

void CheckSiteNames(const toml::table& root, const SiteConfig& config) {
  if (const std::string fault = SiteNameFault(config.site); !fault.empty()) {
    Fail(*root.get("site"), "site name '" + config.site + "': " + fault);
  }
  Namespace names;
  CheckControllers(root, config, names);
  CheckGroups(root, config, names);
}

}  // namespace zarvod
