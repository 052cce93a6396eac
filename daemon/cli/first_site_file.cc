#include "cli/first_site_file.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zarvod {
namespace {

bool IsLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r\n") + 1 - begin);
}

// A TOML basic string: a port name may hold quotes or backslashes.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// "key = value", its comment aligned after it.
std::string Entry(const std::string& entry, const std::string& comment) {
  constexpr size_t kCommentColumn = 31;
  if (comment.empty()) return entry + "\n";
  const size_t pad = entry.size() < kCommentColumn ? kCommentColumn - entry.size() : 1;
  return entry + std::string(pad, ' ') + "# " + comment + "\n";
}

void WriteOptionalTables(std::ostringstream& out, const FirstSite& site) {
  std::string first = "door-1", second = "door-2";
  std::vector<std::string> names;
  for (const SurveyedLine& line : site.lines) {
    for (const NamedController& c : line.controllers) names.push_back(c.name);
  }
  if (!names.empty()) first = names[0];
  if (names.size() > 1) second = names[1];
  out << "\n# The desired card list (zarvod acl diff / apply; docs/daemon.md):\n"
      << "# [cards]\n# source = \"cards.csv\"\n"
      << "\n# Clock keeping; these are the defaults:\n"
      << "# [clock]\n# set_at_start = true\n# daily_at = \"03:00\"\n"
      << "# after_dst_change = true\n# drift_limit_s = 5\n"
      << "\n# On an MQTT broker (docs/mqtt.md); or: zarvod run --mqtt mqtt://HOST:1883\n"
      << "# [mqtt]\n# broker = \"mqtts://broker.example.net:8883\"\n"
      << "# username = \"" << site.site << "\"\n# password = \"...\"\n"
      << "\n# Named groups of controllers, for card lists:\n"
      << "# [groups]\n# entrance = [\"" << first << "\", \"" << second << "\"]\n";
}

void WriteLine(std::ostringstream& out, const FirstSite& site, size_t index) {
  const SurveyedLine& line = site.lines[index];
  out << "\n[[line]]\n"
      << Entry("name = " + Quoted(line.name), "")
      << Entry("port = " + Quoted(line.port), "options as in the library: \"/dev/ttyUSB0?echo=on\"")
      << Entry("baud = " + std::to_string(line.baud), "");
  for (size_t i = 0; i < line.controllers.size(); ++i) {
    const NamedController& c = line.controllers[i];
    const std::string version = c.version.empty() ? "" : "version \"" + c.version + "\"";
    if (i == 0 && index == 0) {
      out << "\n# Names: letters, digits, '_', '-', '.'; unique in the site. A controller's\n"
          << "# doors may be named too: doors = [\"Main entrance\", \"Lobby\"]";
    }
    out << "\n[[line.controller]]\n"
        << Entry("address = " + std::to_string(c.address), "")
        << Entry("name = " + Quoted(c.name), version);
  }
}

}  // namespace

std::string HostTimeZone(const std::string& etc) {
  std::ifstream file(etc + "/timezone");
  std::string zone;
  if (file && std::getline(file, zone) && !Trimmed(zone).empty()) return Trimmed(zone);
  std::error_code error;
  const std::string target = std::filesystem::read_symlink(etc + "/localtime", error).string();
  const std::string marker = "zoneinfo/";
  const size_t at = target.rfind(marker);
  if (!error && at != std::string::npos && at + marker.size() < target.size()) {
    return target.substr(at + marker.size());
  }
  return "UTC";
}

std::string HostSiteName() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return "site";
  std::string name;
  for (const char* c = host; *c != '\0' && *c != '.' && name.size() < 64; ++c) {
    name += IsLetterOrDigit(*c) ? *c : '-';
  }
  while (!name.empty() && name.back() == '-') name.pop_back();
  return name.empty() || !IsLetterOrDigit(name[0]) ? "site" : name;
}

std::string LineName(size_t index) { return "line" + std::to_string(index + 1); }

std::string ControllerName(size_t line_count, size_t line_index, int address) {
  const std::string door = "door-" + std::to_string(address);
  return line_count == 1 ? door : LineName(line_index) + "-" + door;
}

std::string FirstSiteFileText(const FirstSite& site) {
  std::ostringstream out;
  out << "# zarvod site file: one site, its lines and the controllers on them.\n";
  for (const std::string& line : site.preface) out << "# " << line << "\n";
  out << "# Check it with: zarvod check-config FILE\n"
      << Entry("site = " + Quoted(site.site), "letters, digits and '-'")
      << Entry("time_zone = " + Quoted(site.time_zone), "the zone the controllers' clocks keep")
      << Entry("poll_interval_ms = 500", "how often each controller is asked for news")
      << "\n[journal]\n"
      << Entry("path = " + Quoted(site.journal_path), "relative: beside this file")
      << Entry("# retention_days = 365", "absent or 0: keep events whatever their age")
      << Entry("# retention_events = 0", "absent or 0: keep any number of events");
  WriteOptionalTables(out, site);
  for (size_t i = 0; i < site.lines.size(); ++i) WriteLine(out, site, i);
  return out.str();
}

}  // namespace zarvod
