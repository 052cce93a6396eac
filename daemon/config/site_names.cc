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
      Note(where, what + " name '" + name + "': " + fault);
      return;
    }
    const auto [it, added] = owners_.emplace(name, what);
    if (!added) {
      Note(where, what + " name '" + name + "' is already the name of a " + it->second);
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
    const toml::table* line_table = lines[i].as_table();
    if (line_table == nullptr) continue;  // refused when read
    const toml::table& line = *line_table;
    // A name left out is refused when read.
    if (line.get("name") != nullptr)
      names.Add(config.lines[i].name, "line", line.get("name")->source());
    if (line.get("controller") == nullptr || !line.get("controller")->is_array()) continue;
    const toml::array& controllers = ListAt(line, "controller");
    for (size_t j = 0; j < config.lines[i].controllers.size(); ++j) {
      const std::string& name = config.lines[i].controllers[j].name;
      const toml::table* table = controllers[j].as_table();
      if (table == nullptr || table->get("name") == nullptr) continue;  // refused when read
      const toml::node& where = *table->get("name");
      names.Add(name, "controller", where.source());
      if (kTopicsOfTheSite.count(name) != 0) {
        Note(where, "controller name '" + name + "' is a topic of the site on MQTT");
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

void CheckGroups(const toml::table& root, const SiteConfig& config, Namespace& names,
                 bool check_members) {
  const toml::node* groups = root.get("groups");
  if (groups == nullptr) return;
  const toml::table& table = RequireTable(*groups, "[groups]");
  for (const auto& [key, node] : table) {
    const std::string group(key.str());
    names.Add(group, "group", key.source());
    const toml::array* members = node.as_array();
    if (members == nullptr || !check_members) continue;  // refused when read
    for (const toml::node& member : *members) {
      const std::string m = member.value_or(std::string());
      if (!names.IsController(m) && !IsLineAndAddress(m, config)) {
        Note(member, "group '" + group + "' names no controller '" + m + "'");
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

void CheckSiteNames(const toml::table& root, const SiteConfig& config, bool lines_read_whole) {
  const toml::node* site = root.get("site");
  if (const std::string fault = SiteNameFault(config.site); site != nullptr && !fault.empty()) {
    Note(*site, "site name '" + config.site + "': " + fault);
  }
  Namespace names;
  CheckControllers(root, config, names);
  CheckGroups(root, config, names, lines_read_whole);
}

}  // namespace zarvod
