// The site on an MQTT broker, as a module of a running site. Built in when
// zarvod is built with its MQTT side; otherwise a site file with [mqtt] or
// --mqtt stops the daemon at start, saying so.
#pragma once

#include <string>

#include "cli/commands.h"

namespace zarvod {

// Adds the MQTT tables' schema steps; call once, before any Journal::Open.
void RegisterMqttMigrations();

// Applies --mqtt URL to `config`: the URL replaces the file's broker, or
// puts the site on that broker with default settings. "" or the reason.
std::string ApplyMqttFlag(const Args& args, SiteConfig& config);

// Nothing to run when the config has no [mqtt].
SiteModule MqttModule(const SiteConfig& config);

}  // namespace zarvod
