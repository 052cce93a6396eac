// The names of a site file: every name that passes is usable everywhere it
// goes — a card list's `controllers` column, an MQTT topic level, a Home
// Assistant id, a shell argument — and names exactly one thing.
#pragma once

#include <toml++/toml.h>

#include <string>

#include "config/site_config.h"

namespace zarvod {

// "" when `name` may name a controller, line or group; else why not.
std::string NameFault(const std::string& name);
// "" when `name` may name the site; else why not.
std::string SiteNameFault(const std::string& name);

// Checks every name of `config`, read from `root`: their form, that none
// is used twice (controllers, lines and groups share one namespace, as the
// card list's targets do), that each group member exists and that no
// controller takes a topic the site itself uses. Notes each fault at its
// place (see toml_fields::Note). Group members are looked up only when
// `lines_read_whole`: a controller that could not be read would make its
// groups look wrong too.
void CheckSiteNames(const toml::table& root, const SiteConfig& config, bool lines_read_whole);

}  // namespace zarvod
