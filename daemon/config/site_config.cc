// Reads the site file with toml++. TOML was chosen over YAML for its small,
// unambiguous grammar (no implicit types, no indentation rules), and because
// its parser reports the line and column of every node.
#include "config/site_config.h"

#include <toml++/toml.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

#include "config/event_kinds_section.h"
#include "config/mqtt_section.h"
#include "config/site_names.h"
#include "config/toml_fields.h"
#include "journal/journal_file.h"

namespace zarvod {
namespace {

using namespace toml_fields;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "HH:MM", two digits each: sscanf alone would take "+3:00" or " 3:00".
bool IsDailyTime(const std::string& text) {
  if (text.size() != 5 || text[2] != ':') return false;
  for (size_t i : {0, 1, 3, 4}) {
    if (!IsDigit(text[i])) return false;
  }
  const int hour = (text[0] - '0') * 10 + (text[1] - '0');
  const int minute = (text[3] - '0') * 10 + (text[4] - '0');
  return hour < 24 && minute < 60;
}

ControllerConfig ReadController(const toml::node& node) {
  const toml::table& t = RequireTable(node, "a controller");
  RejectUnknownKeys(t, {"address", "name", "doors"});
  ControllerConfig c;
  Collect([&] { c.address = static_cast<int>(GetInt(t, "address", 0, 1, 255, true)); });
  Collect([&] { c.name = GetString(t, "name", "", true); });
  Collect([&] { c.doors = GetStrings(t, "doors", 4); });
  return c;
}

constexpr int64_t kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

LineConfig ReadLine(const toml::node& node) {
  const toml::table& t = RequireTable(node, "a line");
  RejectUnknownKeys(t, {"name", "port", "baud", "controller"});
  LineConfig line;
  Collect([&] { line.name = GetString(t, "name", "", true); });
  Collect([&] { line.port = GetString(t, "port", "", true); });
  Collect([&] {
    line.baud = static_cast<int>(GetInt(t, "baud", 9600, 1, 4000000));
    bool known_speed = false;
    for (int64_t b : kBauds) known_speed = known_speed || b == line.baud;
    if (!known_speed) Fail(*t.get("baud"), "'baud' is not a line speed (1200 to 115200 bit/s)");
  });
  const toml::node* controllers = t.get("controller");
  if (!controllers) throw Fault{t.source(), "line '" + line.name + "' has no [[line.controller]]"};
  const toml::array* list = controllers->as_array();
  if (!list) Fail(*controllers, "'controller' must be a list of tables ([[line.controller]])");
  std::set<int> addresses;
  for (const toml::node& item : *list) {
    // A controller that cannot be read keeps its place, so that the
    // controllers and their tables stay side by side for the name checks.
    line.controllers.emplace_back();
    Collect([&] { line.controllers.back() = ReadController(item); });
    const int address = line.controllers.back().address;
    if (address != 0 && !addresses.insert(address).second) {
      Note(item,
           "address " + std::to_string(address) + " appears twice on line '" + line.name + "'");
    }
  }
  return line;
}

void ReadSections(const toml::table& root, SiteConfig& config) {
  if (const toml::node* n = root.get("journal"))
    Collect([&] {
      const toml::table& t = RequireTable(*n, "[journal]");
      RejectUnknownKeys(t, {"path", "retention_days", "retention_events"});
      config.journal.path = GetString(t, "path", config.journal.path);
      if (const std::string problem = JournalNameProblem(config.journal.path); !problem.empty()) {
        Fail(*t.get("path"), problem);
      }
      config.journal.retention_days = static_cast<int>(GetInt(t, "retention_days", 0, 0, 36500));
      config.journal.retention_events = GetInt(t, "retention_events", 0, 0, INT64_MAX);
    });
  if (const toml::node* n = root.get("cards"))
    Collect([&] {
      const toml::table& t = RequireTable(*n, "[cards]");
      RejectUnknownKeys(t, {"source"});
      config.cards.source = GetString(t, "source", "");
    });
  if (const toml::node* n = root.get("clock"))
    Collect([&] {
      const toml::table& t = RequireTable(*n, "[clock]");
      RejectUnknownKeys(t, {"set_at_start", "daily_at", "after_dst_change", "drift_limit_s"});
      config.clock.set_at_start = GetBool(t, "set_at_start", true);
      config.clock.daily_at = GetString(t, "daily_at", config.clock.daily_at);
      if (!IsDailyTime(config.clock.daily_at)) Fail(*t.get("daily_at"), "'daily_at' must be HH:MM");
      config.clock.after_dst_change = GetBool(t, "after_dst_change", true);
      config.clock.drift_limit_s = static_cast<int>(GetInt(t, "drift_limit_s", 5, 1, 86400));
    });
  if (const toml::node* n = root.get("mqtt")) Collect([&] { config.mqtt = ReadMqttSection(*n); });
  if (const toml::node* n = root.get("event_kinds"))
    Collect([&] { config.event_kinds = ReadEventKindsSection(*n); });
  if (const toml::node* n = root.get("groups"))
    Collect([&] {
      const toml::table& t = RequireTable(*n, "[groups]");
      for (const auto& entry : t) {
        const std::string_view key = entry.first.str();
        Collect([&] { config.groups[std::string(key)] = GetStrings(t, key, 100000); });
      }
    });
}

// Two lines on one port would take turns at nothing: the second open fails
// or, worse, both drive one bus.
std::string PortKey(const std::string& port) {
  const std::string device = port.substr(0, port.find('?'));
  std::error_code error;
  if (device.empty() || device[0] != '/') return device;
  const std::filesystem::path real = std::filesystem::canonical(device, error);
  return error ? device : real.string();
}

void CheckPorts(const toml::table& root, const SiteConfig& config) {
  std::map<std::string, std::string> owners;  // port -> line
  const toml::node* lines = root.get("line");
  const toml::array* list = lines != nullptr ? lines->as_array() : nullptr;
  for (size_t i = 0; list != nullptr && i < config.lines.size(); ++i) {
    if (config.lines[i].port.empty()) continue;  // refused when read
    const auto [it, added] = owners.emplace(PortKey(config.lines[i].port), config.lines[i].name);
    const toml::table& line = RequireTable((*list)[i], "a line");
    if (!added) {
      Note(line.get("port") != nullptr ? *line.get("port") : line,
           "line '" + config.lines[i].name + "' is on the port of line '" + it->second + "'");
    }
  }
}

SiteConfig ReadSite(const toml::table& root, const ZoneCheck& zone_check) {
  RejectUnknownKeys(root, {"site", "time_zone", "poll_interval_ms", "journal", "cards", "clock",
                           "groups", "mqtt", "event_kinds", "line"});
  SiteConfig config;
  Collect([&] { config.site = GetString(root, "site", "", true); });
  Collect([&] {
    config.time_zone = GetString(root, "time_zone", "");
    if (config.time_zone.empty() || !zone_check) return;
    if (const std::string problem = zone_check(config.time_zone); !problem.empty()) {
      Fail(*root.get("time_zone"), "time_zone: " + problem);
    }
  });
  Collect([&] {
    config.poll_interval_ms = static_cast<int>(GetInt(root, "poll_interval_ms", 500, 10, 3600000));
  });
  ReadSections(root, config);
  const toml::node* lines = root.get("line");
  if (!lines) throw Fault{root.source(), "the site has no [[line]]"};
  const toml::array* list = lines->as_array();
  if (!list) Fail(*lines, "'line' must be a list of tables ([[line]])");
  const size_t faults_before = ActiveFaultList() ? ActiveFaultList()->count() : 0;
  for (const toml::node& item : *list) {
    config.lines.emplace_back();  // keeps its place, as controllers do
    Collect([&] { config.lines.back() = ReadLine(item); });
  }
  const bool lines_read_whole = !ActiveFaultList() || ActiveFaultList()->count() == faults_before;
  Collect([&] { CheckSiteNames(root, config, lines_read_whole); });
  Collect([&] { CheckPorts(root, config); });
  return config;
}

}  // namespace

std::string ConfigError::Text() const {
  std::ostringstream out;
  out << file;
  if (line > 0) out << ':' << line << ':' << column;
  out << ": " << message;
  return out.str();
}

namespace {

// The faults in file order, and the first found: a later one may follow
// from it (a controller that cannot be read, then a group naming it).
std::optional<SiteConfig> Parse(const std::string& text, const std::string& file_name,
                                const ZoneCheck& zone_check, std::vector<ConfigError>& errors,
                                ConfigError& first) {
  errors.clear();
  first = ConfigError{file_name, 0, 0, ""};
  const auto place = [&file_name](const toml::source_region& where, std::string message) {
    return ConfigError{file_name, static_cast<int>(where.begin.line),
                       static_cast<int>(where.begin.column), std::move(message)};
  };
  toml_fields::FaultList faults;
  std::optional<SiteConfig> config;
  try {
    const toml::table root = toml::parse(text, file_name);
    config = ReadSite(root, zone_check);
  } catch (const toml::parse_error& e) {
    first = place(e.source(), std::string(e.description()));
    errors.push_back(first);
    return std::nullopt;
  } catch (toml_fields::Fault& f) {
    faults.Add(std::move(f));
  }
  if (faults.count() == 0) return config;
  first = place(faults.First()->where, faults.First()->message);
  for (toml_fields::Fault& f : faults.Sorted()) errors.push_back(place(f.where, f.message));
  return std::nullopt;
}

}  // namespace

std::optional<SiteConfig> ParseConfig(const std::string& text, const std::string& file_name,
                                      std::vector<ConfigError>& errors,
                                      const ZoneCheck& zone_check) {
  ConfigError first;
  return Parse(text, file_name, zone_check, errors, first);
}

std::optional<SiteConfig> ParseConfig(const std::string& text, const std::string& file_name,
                                      ConfigError& error) {
  std::vector<ConfigError> errors;
  return Parse(text, file_name, {}, errors, error);
}

namespace {

std::optional<SiteConfig> Load(const std::string& path, const ZoneCheck& zone_check,
                               std::vector<ConfigError>& errors, ConfigError& first) {
  errors.clear();
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    first = ConfigError{path, 0, 0, "is a directory, not a site file"};
    errors.push_back(first);
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    first = ConfigError{path, 0, 0, std::string("cannot be read: ") + std::strerror(errno)};
    errors.push_back(first);
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::optional<SiteConfig> config = Parse(text.str(), path, zone_check, errors, first);
  // The journal is where the site file says, wherever zarvod is started.
  if (config) config->journal.path = BesideSiteFile(config->journal.path, path);
  return config;
}

}  // namespace

std::optional<SiteConfig> LoadConfig(const std::string& path, std::vector<ConfigError>& errors,
                                     const ZoneCheck& zone_check) {
  ConfigError first;
  return Load(path, zone_check, errors, first);
}

std::optional<SiteConfig> LoadConfig(const std::string& path, ConfigError& error) {
  std::vector<ConfigError> errors;
  return Load(path, {}, errors, error);
}

}  // namespace zarvod
