#include "home_assistant.h"

#include <nlohmann/json.hpp>

#include "topics.h"

namespace zarvo::mqtt {
namespace {

using nlohmann::json;

json Device(const MqttSettings& settings, const ControllerInfo& controller) {
  json device = {{"identifiers", {"zarvo_" + Slug(settings.site) + "_" + Slug(controller.name)}},
                 {"name", controller.name},
                 {"manufacturer", "Zarvo"},
                 {"model", "door controller"},
                 {"suggested_area", settings.site}};
  if (!controller.version.empty()) device["sw_version"] = controller.version;
  return device;
}

json Common(const MqttSettings& settings, const Topics& topics, const ControllerInfo& controller,
            const std::string& object, const std::string& name) {
  return {
      {"name", name},
      {"unique_id", "zarvo_" + Slug(settings.site) + "_" + Slug(controller.name) + "_" + object},
      {"device", Device(settings, controller)},
      {"availability_topic", topics.SiteStatus()},
      {"payload_available", "online"},
      {"payload_not_available", "offline"},
      {"origin", {{"name", "zarvod"}}}};
}

std::string ConfigTopic(const MqttSettings& settings, const char* component,
                        const std::string& controller, const std::string& object) {
  return settings.discovery_prefix + "/" + component + "/" + Slug(settings.site) + "_" +
         Slug(controller) + "/" + object + "/config";
}

std::string ConfigTopic(const MqttSettings& settings, const char* component,
                        const ControllerInfo& controller, const std::string& object) {
  return ConfigTopic(settings, component, controller.name, object);
}

}  // namespace

std::vector<std::string> DiscoveryTopics(const MqttSettings& settings,
                                         const std::string& controller) {
  std::vector<std::string> topics;
  for (int door = 0; door < kMostDoors; ++door) {
    topics.push_back(
        ConfigTopic(settings, "button", controller, "door" + std::to_string(door) + "_open"));
  }
  topics.push_back(ConfigTopic(settings, "event", controller, "events"));
  topics.push_back(ConfigTopic(settings, "binary_sensor", controller, "connectivity"));
  return topics;
}

std::vector<DiscoveryMessage> DiscoveryMessages(const MqttSettings& settings,
                                                const std::vector<ControllerInfo>& controllers) {
  const Topics topics(settings.EffectivePrefix());
  std::vector<DiscoveryMessage> out;
  for (const ControllerInfo& c : controllers) {
    for (size_t door = 0; door < c.doors.size(); ++door) {
      const std::string object = "door" + std::to_string(door) + "_open";
      json button = Common(settings, topics, c, object, "Open " + c.doors[door]);
      button["command_topic"] = topics.prefix() + "cmd/door.open";
      // QoS 0: a press is never kept by the broker to be carried out later.
      button["payload_press"] =
          json{{"controller", c.name}, {"door", door}, {"by", "home-assistant"}}.dump();
      button["qos"] = 0;
      button["retain"] = false;
      out.push_back({ConfigTopic(settings, "button", c, object), button.dump()});
    }
    json event = Common(settings, topics, c, "events", c.name + " events");
    event["state_topic"] = topics.Events(c.name);
    event["event_types"] = {"controller_event"};
    event["value_template"] =
        "{{ {'event_type': 'controller_event', 'id': value_json.id, 'card': value_json.number1, "
        "'time': value_json.time} | to_json }}";
    event["qos"] = 1;
    out.push_back({ConfigTopic(settings, "event", c, "events"), event.dump()});

    json status = Common(settings, topics, c, "connectivity", c.name + " connection");
    status["state_topic"] = topics.ControllerStatus(c.name);
    status["device_class"] = "connectivity";
    status["value_template"] = "{{ value_json.state }}";
    status["payload_on"] = "online";
    status["payload_off"] = "offline";
    status["entity_category"] = "diagnostic";
    out.push_back({ConfigTopic(settings, "binary_sensor", c, "connectivity"), status.dump()});
  }
  return out;
}

}  // namespace zarvo::mqtt
