// The [mqtt] part of the site configuration, as the config parser fills it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zarvo::mqtt {

struct TlsSettings {
  bool enabled = false;
  std::string ca_file;    // server certificate verified against this CA
  std::string cert_file;  // optional client certificate ...
  std::string key_file;   // ... and its key
};

struct MqttSettings {
  std::string site;
  std::string host = "127.0.0.1";
  int port = 1883;
  std::string client_id;  // empty: "zarvod-<site>"
  std::string username;
  std::string password;
  std::string prefix;  // empty: "zarvo/<site>/"
  // When set, a request's response topic must lie under it; otherwise it
  // must lie outside the site's prefix (its own reply topics excepted).
  std::string reply_prefix;
  int keepalive_s = 30;
  uint32_t session_expiry_s = 7 * 24 * 3600;
  int max_inflight = 64;  // events published and not yet acknowledged
  TlsSettings tls;
  // Initialise, change address, change speed and clear the event log.
  bool allow_identity_commands = false;
  // Key id -> secret, for HMAC-SHA256 request signatures.
  std::map<std::string, std::string> signing_keys;
  bool require_signatures = false;
  bool home_assistant = false;
  std::string discovery_prefix = "homeassistant";

  std::string EffectiveClientId() const;
  std::string EffectivePrefix() const;       // always ends with '/'
  std::string EffectiveReplyPrefix() const;  // empty, or ends with '/'
};

// Fills host, port and TLS from "mqtt://host:port" or "mqtts://host:port"
// (the --mqtt option); false with `error` set for anything else.
bool ApplyBrokerUrl(const std::string& url, MqttSettings& settings, std::string& error);

}  // namespace zarvo::mqtt
