// The [mqtt] table of the site file.
#pragma once

#include <toml++/toml.h>

#include "config/site_config.h"

namespace zarvod {

// Throws toml_fields::Fault, with the place, for a wrong key or value.
MqttConfig ReadMqttSection(const toml::node& node);

// The site's and controllers' names become topic levels when the site is
// on MQTT, so none may hold '/', '+' or '#'. Throws like the above.
void CheckTopicNames(const toml::table& root, const SiteConfig& config);

}  // namespace zarvod
