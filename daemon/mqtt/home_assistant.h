// Home Assistant discovery: each door a button that opens it, each
// controller's events an event entity, each controller's status a
// connectivity binary_sensor, all tied to one device per controller and
// available while the site is online. Published retained at connection.
#pragma once

#include <string>
#include <vector>

#include "mqtt_settings.h"
#include "site_ports.h"

namespace zarvo::mqtt {

struct DiscoveryMessage {
  std::string topic;    // <discovery prefix>/<component>/<site>_<controller>/<object>/config
  std::string payload;  // JSON
};

// Every discovery topic a controller of that name may have had, for
// clearing a controller the site no longer has.
inline constexpr int kMostDoors = 4;
std::vector<std::string> DiscoveryTopics(const MqttSettings& settings,
                                         const std::string& controller);

std::vector<DiscoveryMessage> DiscoveryMessages(const MqttSettings& settings,
                                                const std::vector<ControllerInfo>& controllers);

}  // namespace zarvo::mqtt
