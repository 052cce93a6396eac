#include "mqtt_settings.h"

#include <charconv>

namespace zarvo::mqtt {

std::string MqttSettings::EffectiveClientId() const {
  return client_id.empty() ? "zarvod-" + site : client_id;
}

std::string MqttSettings::EffectivePrefix() const {
  std::string p = prefix.empty() ? "zarvo/" + site + "/" : prefix;
  if (p.back() != '/') p += '/';
  return p;
}

std::string MqttSettings::EffectiveReplyPrefix() const {
  if (reply_prefix.empty() || reply_prefix.back() == '/') return reply_prefix;
  return reply_prefix + '/';
}

bool ApplyBrokerUrl(const std::string& url, MqttSettings& settings, std::string& error) {
  const std::string plain = "mqtt://", secure = "mqtts://";
  std::string rest;
  bool tls = false;
  if (url.rfind(plain, 0) == 0) {
    rest = url.substr(plain.size());
  } else if (url.rfind(secure, 0) == 0) {
    rest = url.substr(secure.size());
    tls = true;
  } else {
    error = "broker URL must start with mqtt:// or mqtts://: " + url;
    return false;
  }
  int port = tls ? 8883 : 1883;
  const auto colon = rest.rfind(':');
  std::string host = rest.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string digits = rest.substr(colon + 1);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535) {
      error = "bad port in broker URL: " + url;
      return false;
    }
  }
  if (host.empty() || host.find('/') != std::string::npos) {
    error = "bad host in broker URL: " + url;
    return false;
  }
  settings.host = host;
  settings.port = port;
  settings.tls.enabled = tls;
  return true;
}

}  // namespace zarvo::mqtt
