#include "cli/mqtt_module.h"

#include <memory>

#include "log/log.h"
#include "shared/option_parser.h"

#ifdef ZARVOD_WITH_MQTT
#include "mqtt_site.h"
#endif

namespace zarvod {

std::string ApplyMqttFlag(const Args& args, SiteConfig& config) {
  if (!HasFlag(args, "--mqtt")) return "";
  const std::string url = FlagValue(args, "--mqtt");
  // Refused here, naming the option, rather than once the lines run.
  if (url.rfind("mqtt://", 0) != 0 && url.rfind("mqtts://", 0) != 0) {
    return zarvo::tools::BadValue("--mqtt", url, "mqtt[s]://HOST[:PORT]");
  }
  if (!config.mqtt) config.mqtt.emplace();
  config.mqtt->broker = url;
  return "";
}

#ifdef ZARVOD_WITH_MQTT

namespace {

// The site file's [mqtt] as the MQTT side takes it; "" or why it cannot be.
std::string ToSettings(const MqttConfig& c, const std::string& site, zarvo::mqtt::MqttSettings& s) {
  std::string error;
  if (!zarvo::mqtt::ApplyBrokerUrl(c.broker, s, error)) return error;
  if (s.tls.enabled && c.ca_file.empty()) {
    return "an mqtts:// broker needs [mqtt.tls] ca_file to verify the server's certificate";
  }
  s.site = site;
  s.client_id = c.client_id;
  s.username = c.username;
  s.password = c.password;
  s.prefix = c.prefix;
  s.keepalive_s = c.keepalive_s;
  s.session_expiry_s = static_cast<uint32_t>(c.session_expiry_s);
  s.max_inflight = c.max_inflight;
  s.tls.ca_file = c.ca_file;
  s.tls.cert_file = c.cert_file;
  s.tls.key_file = c.key_file;
  s.allow_identity_commands = c.allow_identity_commands;
  s.signing_keys = c.signing_keys;
  s.require_signatures = c.require_signatures;
  s.home_assistant = c.home_assistant;
  s.discovery_prefix = c.discovery_prefix;
  s.reply_prefix = c.reply_prefix;
  return "";
}

}  // namespace

void RegisterMqttMigrations() { zarvo::mqtt::MqttSite::RegisterMigrations(); }

SiteModule MqttModule(const SiteConfig& config) {
  if (!config.mqtt) return {};
  auto mqtt = std::make_shared<std::unique_ptr<zarvo::mqtt::MqttSite>>();
  SiteModule module;
  module.start = [mqtt](Site& site, Journal& journal) -> std::string {
    const SiteConfig& site_config = site.config();
    zarvo::mqtt::MqttSettings settings;
    if (std::string error = ToSettings(*site_config.mqtt, site_config.site, settings);
        !error.empty()) {
      return "mqtt: " + error;
    }
    LogInfo("mqtt: site on " + site_config.mqtt->broker + ", topics under " +
            settings.EffectivePrefix());
    *mqtt = std::make_unique<zarvo::mqtt::MqttSite>(settings, site_config, journal, site);
    std::string error;
    if (!(*mqtt)->Start(error)) {
      mqtt->reset();
      return "mqtt: " + error;
    }
    return "";
  };
  // Stopped before the lines: no command is taken that the site could not run.
  module.stop = [mqtt] { mqtt->reset(); };
  return module;
}

#else

void RegisterMqttMigrations() {}

SiteModule MqttModule(const SiteConfig& config) {
  if (!config.mqtt) return {};
  SiteModule module;
  module.start = [](Site&, Journal&) -> std::string {
    return "mqtt: this zarvod was built without its MQTT side (libmosquitto-dev, libssl-dev and "
           "nlohmann-json3-dev at build time)";
  };
  return module;
}

#endif

}  // namespace zarvod
