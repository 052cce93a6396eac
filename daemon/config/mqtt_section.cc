#include "config/mqtt_section.h"

#include "config/toml_fields.h"

namespace zarvod {
namespace {

using namespace toml_fields;

bool StartsWith(const std::string& text, std::string_view head) {
  return text.compare(0, head.size(), head) == 0;
}

void ReadTls(const toml::table& mqtt, MqttConfig& config) {
  const toml::node* n = mqtt.get("tls");
  if (!n) return;
  const toml::table& t = RequireTable(*n, "[mqtt.tls]");
  RejectUnknownKeys(t, {"ca_file", "cert_file", "key_file"});
  config.ca_file = GetString(t, "ca_file", "", true);
  config.cert_file = GetString(t, "cert_file", "");
  config.key_file = GetString(t, "key_file", "");
  if (config.cert_file.empty() != config.key_file.empty()) {
    Fail(t, "'cert_file' and 'key_file' go together");
  }
  // A CA file with a plain URL would leave the connection unencrypted
  // while the file suggests otherwise.
  if (!StartsWith(config.broker, "mqtts://")) Fail(t, "[mqtt.tls] needs an mqtts:// broker");
}

void ReadSigningKeys(const toml::table& mqtt, MqttConfig& config) {
  if (const toml::node* n = mqtt.get("signing_keys")) {
    const toml::table& t = RequireTable(*n, "[mqtt.signing_keys]");
    for (const auto& [key, value] : t) {
      const std::string secret = GetString(t, key.str(), "");
      if (secret.size() < 16) Fail(value, "a signing key needs at least 16 bytes");
      config.signing_keys[std::string(key.str())] = secret;
    }
  }
  if (config.require_signatures && config.signing_keys.empty()) {
    Fail(mqtt, "'require_signatures' needs [mqtt.signing_keys]");
  }
}

}  // namespace

MqttConfig ReadMqttSection(const toml::node& node) {
  const toml::table& t = RequireTable(node, "[mqtt]");
  RejectUnknownKeys(t, {"broker", "client_id", "username", "password", "prefix", "keepalive_s",
                        "session_expiry_s", "max_inflight", "tls", "allow_identity_commands",
                        "require_signatures", "signing_keys", "home_assistant", "discovery_prefix",
                        "reply_prefix"});
  MqttConfig c;
  c.broker = GetString(t, "broker", "", true);
  if (!StartsWith(c.broker, "mqtt://") && !StartsWith(c.broker, "mqtts://")) {
    Fail(*t.get("broker"), "'broker' must start with mqtt:// or mqtts://");
  }
  c.client_id = GetString(t, "client_id", "");
  c.username = GetString(t, "username", "");
  c.password = GetString(t, "password", "");
  c.prefix = GetString(t, "prefix", "");
  c.keepalive_s = static_cast<int>(GetInt(t, "keepalive_s", c.keepalive_s, 5, 65535));
  c.session_expiry_s = GetInt(t, "session_expiry_s", c.session_expiry_s, 0, 0xFFFFFFFFLL);
  c.max_inflight = static_cast<int>(GetInt(t, "max_inflight", c.max_inflight, 1, 65535));
  c.allow_identity_commands = GetBool(t, "allow_identity_commands", false);
  c.require_signatures = GetBool(t, "require_signatures", false);
  c.home_assistant = GetBool(t, "home_assistant", false);
  c.discovery_prefix = GetString(t, "discovery_prefix", c.discovery_prefix);
  c.reply_prefix = GetString(t, "reply_prefix", "");
  ReadTls(t, c);
  // Without a CA the broker's certificate cannot be verified: the daemon
  // refuses to connect, so the file must not pass.
  if (StartsWith(c.broker, "mqtts://") && c.ca_file.empty()) {
    Fail(*t.get("broker"), "an mqtts:// broker needs [mqtt.tls] ca_file");
  }
  ReadSigningKeys(t, c);
  return c;
}

}  // namespace zarvod
