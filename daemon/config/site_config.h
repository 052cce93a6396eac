// The site file, as the rest of the daemon sees it: plain values, already
// checked. Only config/ knows the file's syntax.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "journal/event_kinds.h"

namespace zarvod {

struct ControllerConfig {
  int address = 0;
  std::string name;
  std::vector<std::string> doors;  // up to four names, in door order
};

struct LineConfig {
  std::string name;
  std::string port;  // port name with options, e.g. "/dev/ttyUSB0?echo=on"
  int baud = 9600;
  std::vector<ControllerConfig> controllers;
};

struct JournalConfig {
  std::string path = "./zarvod.db";
  int retention_days = 0;        // 0: keep events whatever their age
  int64_t retention_events = 0;  // 0: keep any number of events
};

// Where the desired card list comes from; read by the card-list module.
struct CardsConfig {
  std::string source;  // a CSV file; empty when the site keeps no card list
};

// How the daemon keeps the controllers' clocks; read by the clock module.
struct ClockConfig {
  bool set_at_start = true;
  std::string daily_at = "03:00";  // local time of the daily setting, "HH:MM"
  bool after_dst_change = true;
  int drift_limit_s = 5;  // a controller further off than this is reported
};

// The [mqtt] table: the site on a broker. Read by the MQTT module, which
// checks the broker URL and the TLS files when it starts.
struct MqttConfig {
  std::string broker;  // "mqtt://host[:port]" or "mqtts://host[:port]"
  std::string client_id;
  std::string username;
  std::string password;
  std::string prefix;  // empty: "zarvo/<site>/"
  int keepalive_s = 30;
  int64_t session_expiry_s = 7 * 24 * 3600;
  int max_inflight = 64;
  std::string ca_file;  // [mqtt.tls]
  std::string cert_file;
  std::string key_file;
  bool allow_identity_commands = false;
  bool require_signatures = false;
  std::map<std::string, std::string> signing_keys;  // [mqtt.signing_keys] key id = "secret"
  bool home_assistant = false;
  std::string discovery_prefix = "homeassistant";
  std::string reply_prefix;  // empty: replies go anywhere outside the site's topics
};

struct SiteConfig {
  std::string site;
  std::string time_zone;  // IANA name; empty: the host's
  int poll_interval_ms = 500;
  JournalConfig journal;
  CardsConfig cards;
  ClockConfig clock;
  std::optional<MqttConfig> mqtt;  // absent: the site is not on MQTT
  EventKinds event_kinds;          // [event_kinds]: the events' values in words
  // Named groups of controllers ("line/address" or controller names).
  std::map<std::string, std::vector<std::string>> groups;
  std::vector<LineConfig> lines;
};

struct ConfigError {
  std::string file;
  int line = 0;  // 0 when the place is not known
  int column = 0;
  std::string message;

  // "FILE:LINE:COLUMN: MESSAGE", the form editors jump to.
  std::string Text() const;
};

// Why a time zone name cannot be used ("" when it can).
using ZoneCheck = std::function<std::string(const std::string& zone)>;

// Reads and checks the site file. On failure `errors` holds every fault
// found, in file order; reading goes on past a fault wherever the rest can
// still be read. `zone_check`, when given, checks time_zone at its place.
// A relative journal path is made relative to the site file's folder.
std::optional<SiteConfig> LoadConfig(const std::string& path, std::vector<ConfigError>& errors,
                                     const ZoneCheck& zone_check = {});
std::optional<SiteConfig> ParseConfig(const std::string& text, const std::string& file_name,
                                      std::vector<ConfigError>& errors,
                                      const ZoneCheck& zone_check = {});
// The same, `error` naming the first fault found (the cause, where later
// faults may follow from it).
std::optional<SiteConfig> LoadConfig(const std::string& path, ConfigError& error);
std::optional<SiteConfig> ParseConfig(const std::string& text, const std::string& file_name,
                                      ConfigError& error);

}  // namespace zarvod
