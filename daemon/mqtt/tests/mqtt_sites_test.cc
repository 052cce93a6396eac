// Many sites: two daemons on one broker, and a site broker bridged to a
// central broker, from which a subscriber sees every site's events and
// opens a door at each.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "test_site.h"

namespace zarvo::mqtt::testing {
namespace {

using nlohmann::json;

// The bridge of docs/mqtt-sites.md: the site's status, events and replies
// go up, its commands come down.
std::string BridgeTo(int central_port, const std::string& site) {
  const std::string p = "zarvo/" + site + "/";
  return "connection to-central\naddress 127.0.0.1:" + std::to_string(central_port) +
         "\nremote_clientid bridge-" + site +
         "\nbridge_protocol_version mqttv50\ncleansession false\n" + "topic " + p +
         "status out 1\ntopic " + p + "+/status out 1\ntopic " + p + "+/events out 1\ntopic " + p +
         "reply/# out 1\ntopic " + p + "cmd/# in 1\n";
}

class MqttSitesTest : public MqttTest {
 protected:
  // A second site's daemon, with its own controllers, outbox and journal.
  struct OtherSite {
    TestSite site;
    MemoryOutbox outbox;
    MemoryCommandJournal journal;
    std::unique_ptr<MqttService> service;
  };
  void StartOther(OtherSite& other, MqttSettings settings) {
    other.service = std::make_unique<MqttService>(settings, other.site, other.outbox, other.site,
                                                  other.journal, clock_);
    std::string error;
    ASSERT_TRUE(other.service->Start(error)) << error;
    WaitOnline(settings);
  }
  std::string DoorOpen(const std::string& id) {
    return R"({"id":")" + id + R"(","controller":"front","door":1,"deadline":)" +
           std::to_string(clock_.NowMs() / 1000 + 60) + "}";
  }
};

TEST_F(MqttSitesTest, TwoDaemonsOnOneBrokerEachTakeOnlyTheirOwnCommands) {
  StartService(Settings("east"));
  OtherSite west;
  StartOther(west, Settings("west"));
  auto central = Client("central");
  for (const char* site : {"east", "west"}) {
    const auto reply = Command(*central, "door.open", DoorOpen(std::string(site) + "-1"), {}, site);
    ASSERT_TRUE(reply) << site;
    EXPECT_EQ(json::parse(reply->payload)["name"], "OK");
  }
  EXPECT_EQ(site_.actions_run(), 1);
  EXPECT_EQ(west.site.actions_run(), 1);
}

TEST_F(MqttSitesTest, ACentralSubscriberSeesAndOpensDoorsAtBridgedAndDirectSites) {
  BrokerProcess site_broker(BridgeTo(broker_.port(), "north"));
  ASSERT_TRUE(site_broker.Start());
  ASSERT_TRUE(broker_.WaitForLog("bridge-north 1 zarvo/north/cmd/#"));
  auto central = Client("central");
  central->Subscribe("zarvo/+/+/events");

  MqttSettings north = Settings("north");
  north.port = site_broker.port();
  StartService(north);
  OtherSite south;
  StartOther(south, Settings("south"));
  outbox_.Append(MakeEvent("front", 1));
  south.outbox.Append(MakeEvent("back", 1));
  for (const char* topic : {"zarvo/north/front/events", "zarvo/south/back/events"}) {
    const auto event = central->WaitFor(topic);
    ASSERT_TRUE(event) << topic;
    EXPECT_EQ(json::parse(event->payload)["site"], std::string(topic).substr(6, 5));
  }
  for (const char* site : {"north", "south"}) {
    const auto reply = Command(*central, "door.open", DoorOpen(std::string(site) + "-1"), {}, site);
    ASSERT_TRUE(reply) << site;
    EXPECT_EQ(json::parse(reply->payload)["name"], "OK");
  }
  EXPECT_EQ(site_.actions_run(), 1);
  EXPECT_EQ(south.site.actions_run(), 1);
}

}  // namespace
}  // namespace zarvo::mqtt::testing
