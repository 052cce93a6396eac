// The first site file of a site, as zarvod init writes it: the lines and
// controllers found, the host's time zone, a journal, and the optional
// tables as comments to fill in.
#pragma once

#include <string>
#include <vector>

#include "cli/line_survey.h"

namespace zarvod {

struct NamedController {
  int address = 0;
  std::string name;
  std::string version;  // empty when not known
};

struct SurveyedLine {
  std::string name;
  std::string port;
  int baud = 9600;
  std::vector<NamedController> controllers;
};

struct FirstSite {
  std::string site;
  std::string time_zone;
  std::string journal_path;
  std::vector<SurveyedLine> lines;
  std::vector<std::string> preface;  // comment lines at the top of the file
};

// The host's zone: /etc/timezone, else where /etc/localtime leads in the
// zone database, else "UTC". `etc` is the folder to look in.
std::string HostTimeZone(const std::string& etc = "/etc");

// The host's name as a site name (letters, digits and '-'), else "site".
std::string HostSiteName();

// "line1", "line2", ...: the name of the line at `index` (from 0).
std::string LineName(size_t index);
// A controller's name, usable in card lists, MQTT topics and the shell:
// "door-3" on a site of one line, "line2-door-3" on a site of several.
std::string ControllerName(size_t line_count, size_t line_index, int address);

std::string FirstSiteFileText(const FirstSite& site);

}  // namespace zarvod
