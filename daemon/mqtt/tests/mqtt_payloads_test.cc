// What the daemon publishes, caught on the broker, against the schemas of
// docs/mqtt.md; and the doc lists every command there is.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command_catalog.h"
#include "home_assistant.h"
#include "json_schema.h"
#include "test_site.h"

namespace zarvo::mqtt::testing {
namespace {

using nlohmann::json;

// The schema a message on `topic` must meet; empty for plain text.
std::string SchemaFor(const std::string& topic) {
  auto ends = [&](const std::string& tail) {
    return topic.size() >= tail.size() &&
           topic.compare(topic.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (topic.rfind("homeassistant/button/", 0) == 0) return "ha_button";
  if (topic.rfind("homeassistant/event/", 0) == 0) return "ha_event";
  if (topic.rfind("homeassistant/binary_sensor/", 0) == 0) return "ha_binary_sensor";
  if (topic == "zarvo/hq/status") return "";
  if (ends("/status")) return "controller_status";
  if (ends("/events")) return "event";
  return "reply";
}

class MqttPayloadsTest : public MqttTest {};

TEST_F(MqttPayloadsTest, PublishedMessagesMeetTheDocumentedSchemas) {
  const auto schemas = SchemasOfDoc(ZARVO_MQTT_DOC);
  for (const char* name : {"event", "controller_status", "request", "reply", "ha_button",
                           "ha_event", "ha_binary_sensor", "ha_device"}) {
    ASSERT_TRUE(schemas.count(name)) << "docs/mqtt.md has no schema " << name;
  }
  auto central = Client("central");
  central->Subscribe("#");
  MqttSettings settings = Settings();
  settings.home_assistant = true;
  StartService(settings);
  site_.SetOnline("front", true);
  OutboxEvent named = MakeEvent("back", 1);
  named.kind = "card accepted";
  named.door = 1;
  named.direction = "in";
  outbox_.Append(named);
  const std::string requests[][2] = {
      {"card.add", R"({"id":"s1","controller":"front","card":"99","by":"alice"})"},
      {"card.get",
       R"({"id":"s2","controller":"front","card":"99","deadline":"2099-01-01T00:00:00Z"})"},
      {"door.open", R"({"id":"s3","controller":"front","door":7})"},
  };
  for (const auto& [name, request] : requests) {
    EXPECT_EQ(SchemaProblem(schemas.at("request"), json::parse(request)), "");
    ASSERT_TRUE(Command(*central, name, request));
  }
  ASSERT_TRUE(central->WaitFor("zarvo/hq/back/events"));
  ASSERT_TRUE(outbox_.WaitAllDelivered(10000));

  std::set<std::string> seen;
  for (const Received& m : central->Messages()) {
    if (m.topic.find("/cmd/") != std::string::npos) continue;
    SCOPED_TRACE(m.topic + " " + m.payload);
    const std::string schema = SchemaFor(m.topic);
    seen.insert(schema);
    if (schema.empty()) {
      EXPECT_TRUE(m.payload == "online" || m.payload == "offline");
      continue;
    }
    const json payload = json::parse(m.payload);
    EXPECT_EQ(SchemaProblem(schemas.at(schema), payload), "");
    if (schema.rfind("ha_", 0) == 0) {
      EXPECT_EQ(SchemaProblem(schemas.at("ha_device"), payload["device"]), "");
    }
  }
  EXPECT_EQ(seen, (std::set<std::string>{"", "event", "controller_status", "reply", "ha_button",
                                         "ha_event", "ha_binary_sensor"}));
}

// Home Assistant sees one button per door, and an event entity and a
// connectivity sensor per controller; pressing a door's button opens it.
TEST_F(MqttPayloadsTest, HomeAssistantButtonsOpenTheirDoors) {
  auto home = Client("home-assistant");
  home->Subscribe("zarvo/hq/status");
  MqttSettings settings = Settings();
  settings.home_assistant = true;
  StartService(settings);
  // Discovery is published before "online"; subscribing now gets it retained.
  ASSERT_TRUE(home->WaitFor("zarvo/hq/status"));
  home->Subscribe("homeassistant/#");
  ASSERT_TRUE(home->WaitUntil([](auto& all) { return all.size() >= 8; }));
  std::vector<json> buttons;
  for (const Received& m : home->Messages()) {
    if (m.topic.rfind("homeassistant/", 0) == 0) {
      EXPECT_TRUE(m.retained) << m.topic;
    }
    if (m.topic.rfind("homeassistant/button/", 0) == 0) buttons.push_back(json::parse(m.payload));
  }
  ASSERT_EQ(buttons.size(), 3u);  // front: main, side; back: gate
  const uint64_t before = site_.bus().request_count();
  for (const json& button : buttons) {
    home->Publish(button["command_topic"], button["payload_press"], {0, "", {}, {}, {}});
  }
  ASSERT_TRUE(site_.WaitActions(3));
  EXPECT_EQ(site_.bus().request_count(), before + 3);
}

// A clean stop marks every controller offline; a controller dropped from the
// site leaves neither status nor discovery behind.
TEST_F(MqttPayloadsTest, AStoppedSiteShowsNoControllerOnlineAndARemovedOneIsCleared) {
  MqttSettings settings = Settings();
  settings.home_assistant = true;
  StartService(settings);
  site_.SetOnline("back", true);
  service_.reset();
  auto retained = [&](const std::string& name) {
    auto client = Client(name);
    client->Subscribe("zarvo/hq/+/status");
    client->Subscribe("homeassistant/#");
    client->Subscribe(name + "/marker");
    client->Publish(name + "/marker", "here");
    EXPECT_TRUE(client->WaitFor(name + "/marker"));
    std::map<std::string, std::string> kept;
    for (const Received& m : client->Messages()) {
      if (m.retained) kept[m.topic] = m.payload;
    }
    return kept;
  };
  auto stopped = retained("after-stop");
  for (const char* controller : {"front", "back"}) {
    const std::string topic = std::string("zarvo/hq/") + controller + "/status";
    ASSERT_TRUE(stopped.count(topic)) << topic;
    EXPECT_EQ(json::parse(stopped[topic])["state"], "offline") << controller;
  }

  site_.Remove("back");
  StartService(settings);
  for (const auto& [topic, payload] : retained("after-removal")) {
    EXPECT_EQ(topic.find("back"), std::string::npos) << topic;
    EXPECT_EQ(payload.find("\"back"), std::string::npos) << topic;
  }
}

TEST(MqttNames, DifferentNamesNeverShareATopicOrId) {
  auto ids = [](const std::string& site, const std::string& controller) {
    MqttSettings settings;
    settings.site = site;
    std::set<std::string> out;
    for (const DiscoveryMessage& m :
         DiscoveryMessages(settings, {{controller, "l", 1, {"d"}, true, "", 0}})) {
      out.insert(json::parse(m.payload)["unique_id"].get<std::string>());
      out.insert(m.topic);
    }
    return out;
  };
  struct Row {
    const char* site1;
    const char* controller1;
    const char* site2;
    const char* controller2;
  } rows[] = {
      {"hq", "Gate 1", "hq", "Gate.1"},
      {"hq", "a-2e", "hq", "a."},
      {"north", "yard_gate", "north_yard", "gate"},
      {"north", "yard-gate", "north-yard", "gate"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.controller1) + " " + row.controller2);
    const std::set<std::string> first = ids(row.site1, row.controller1);
    for (const std::string& id : ids(row.site2, row.controller2)) EXPECT_EQ(first.count(id), 0u);
  }
  // A controller named "cmd" publishes its events under the command topics.
  const Topics topics("zarvo/hq/");
  EXPECT_EQ(topics.CommandName("zarvo/hq/cmd/events"), std::nullopt);
  EXPECT_EQ(topics.CommandName("zarvo/hq/cmd/status"), std::nullopt);
  EXPECT_EQ(topics.CommandName("zarvo/hq/cmd/probe"), "probe");
  const std::vector<std::string> faults = ControllerNameFaults({"front", "cmd", "a/b", "front"});
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_NE(faults[0].find("'cmd'"), std::string::npos);
  EXPECT_NE(faults[1].find("'a/b'"), std::string::npos);
  EXPECT_NE(faults[2].find("twice"), std::string::npos);
}

TEST(MqttDoc, ListsEveryCommand) {
  std::ifstream file(ZARVO_MQTT_DOC);
  std::stringstream text;
  text << file.rdbuf();
  for (auto group : {ManagementCommands(), DoorCommands(), CardCommands(), TableCommands()}) {
    for (const CommandSpec& entry : group) {
      EXPECT_NE(text.str().find(std::string("`") + entry.name + "`"), std::string::npos)
          << entry.name;
    }
  }
}

}  // namespace
}  // namespace zarvo::mqtt::testing

namespace zarvo::mqtt::testing {
namespace {

TEST(MqttSettingsTest, BrokerUrlFromTheCommandLine) {
  struct Row {
    const char* url;
    bool ok;
    const char* host;
    int port;
    bool tls;
  } rows[] = {
      {"mqtt://broker.local:1884", true, "broker.local", 1884, false},
      {"mqtts://10.0.0.7", true, "10.0.0.7", 8883, true},
      {"mqtt://broker.local", true, "broker.local", 1883, false},
      {"tcp://broker.local:1883", false, "", 0, false},
      {"mqtt://broker.local:99999", false, "", 0, false},
      {"mqtt://:1883", false, "", 0, false},
      {"mqtt://a/b:1883", false, "", 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url);
    MqttSettings settings;
    std::string error;
    ASSERT_EQ(ApplyBrokerUrl(row.url, settings, error), row.ok) << error;
    if (!row.ok) {
      EXPECT_NE(error.find(row.url), std::string::npos);
      continue;
    }
    EXPECT_EQ(settings.host, row.host);
    EXPECT_EQ(settings.port, row.port);
    EXPECT_EQ(settings.tls.enabled, row.tls);
  }
}

}  // namespace
}  // namespace zarvo::mqtt::testing
