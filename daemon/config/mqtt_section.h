// The [mqtt] table of the site file.
#pragma once

#include <toml++/toml.h>

#include "config/site_config.h"

namespace zarvod {

// Throws toml_fields::Fault, with the place, for a wrong key or value.
MqttConfig ReadMqttSection(const toml::node& node);

}  // namespace zarvod
