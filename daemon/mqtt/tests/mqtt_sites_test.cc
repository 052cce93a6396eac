// Many sites: two daemons on one broker, and a site broker bridged to a
// central broker, from which a subscriber sees every site's events and
// opens a door at each.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>
#include <utility>
#include <vector>

#include "test_site.h"

namespace zarvo::mqtt::testing {
namespace {

using nlohmann::json;

// The site broker's bridge configuration as docs/mqtt-sites.md gives it,
// on loopback: every connection to `central_port`, without TLS or password,
// and tried again a second after a cut rather than the default five.
std::string BridgeOfTheDoc(int central_port) {
  std::ifstream doc(std::filesystem::path(ZARVO_MQTT_DOC).parent_path() / "mqtt-sites.md");
  std::string config;
  bool in_block = false;
  for (std::string line; std::getline(doc, line);) {
    if (line.rfind("```", 0) == 0) {
      if (in_block && config.find("connection to-central") != std::string::npos) return config;
      in_block = !in_block;
      config.clear();
    } else if (in_block && line.rfind("address ", 0) == 0) {
      config += "address 127.0.0.1:" + std::to_string(central_port) + "\nrestart_timeout 1\n";
    } else if (in_block && line.rfind("bridge_cafile", 0) != 0 &&
               line.rfind("remote_user", 0) != 0 && line.rfind("remote_password", 0) != 0) {
      config += line + "\n";
    }
  }
  ADD_FAILURE() << "no bridge configuration in docs/mqtt-sites.md";
  return "";
}

// A TCP link between two brokers that can be cut (every connection closed,
// new ones refused) and restored on the same port.
class CuttableLink {
 public:
  explicit CuttableLink(int to_port) : to_port_(to_port), port_(BrokerProcess::FreePort()) {}
  ~CuttableLink() { Cut(); }
  int port() const { return port_; }

  bool Restore() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in at = Loopback(port_);
    if (bind(listener_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        listen(listener_, 8) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
      return false;
    }
    relay_ = std::thread([this] { Relay(); });
    return true;
  }

  void Cut() {
    if (!relay_.joinable()) return;
    const char stop = 0;
    EXPECT_EQ(write(wake_[1], &stop, 1), 1);
    relay_.join();
    for (int fd : {listener_, wake_[0], wake_[1]}) close(fd);
    for (const auto& [a, b] : pairs_) close(a), close(b);
    pairs_.clear();
  }

 private:
  static sockaddr_in Loopback(int port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return at;
  }

  // Passes bytes both ways until the wake pipe says stop.
  void Relay() {
    for (;;) {
      std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
      for (const auto& [a, b] : pairs_) fds.insert(fds.end(), {{a, POLLIN, 0}, {b, POLLIN, 0}});
      if (poll(fds.data(), fds.size(), -1) < 0 || fds[0].revents) return;
      if (fds[1].revents & POLLIN) Accept();
      for (size_t i = 2; i < fds.size(); ++i) {
        if (fds[i].revents && !Pass(fds[i].fd, fds[i ^ 1].fd)) {
          close(fds[i].fd), close(fds[i ^ 1].fd);
          std::erase_if(pairs_, [&](const auto& p) { return p.first == fds[i & ~1ul].fd; });
          break;  // the poll list no longer matches the pairs
        }
      }
    }
  }
  void Accept() {
    const int in = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    const int out = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Loopback(to_port_);
    if (in >= 0 && connect(out, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
      pairs_.emplace_back(in, out);
    } else {
      close(in), close(out);
    }
  }
  static bool Pass(int from, int to) {
    char chunk[4096];
    const ssize_t n = read(from, chunk, sizeof chunk);
    return n > 0 && write(to, chunk, static_cast<size_t>(n)) == n;
  }

  const int to_port_;
  const int port_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread relay_;
  std::vector<std::pair<int, int>> pairs_;  // (accepted, to the far broker)
};

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
  BrokerProcess site_broker(BridgeOfTheDoc(broker_.port()));
  ASSERT_TRUE(site_broker.Start());
  ASSERT_TRUE(broker_.WaitForLog("bridge-north-commands 1 zarvo/north/cmd/#"));
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

// The link between the site broker and the central one is cut: a door-open
// published at the centre meanwhile, and an event published at the site,
// each arrive once the link is back.
TEST_F(MqttSitesTest, ABridgedSiteGetsTheCommandsPublishedWhileItsLinkWasCut) {
  CuttableLink link(broker_.port());
  ASSERT_TRUE(link.Restore());
  BrokerProcess site_broker(BridgeOfTheDoc(link.port()));
  ASSERT_TRUE(site_broker.Start());
  ASSERT_TRUE(broker_.WaitForLog("bridge-north-commands 1 zarvo/north/cmd/#"));
  ASSERT_TRUE(broker_.WaitForLog("as bridge-north ("));
  MqttSettings north = Settings("north");
  north.port = site_broker.port();
  StartService(north);
  auto central = Client("central");
  central->Subscribe("zarvo/north/+/events");
  central->Subscribe("zarvo/north/reply/cut-1");

  link.Cut();
  ASSERT_TRUE(broker_.WaitForLog("Client bridge-north-commands closed its connection"));
  // 16 (no matching subscribers): no session at the centre keeps the command.
  ASSERT_EQ(central->Publish("zarvo/north/cmd/door.open", DoorOpen("cut-1")), 0);
  outbox_.Append(MakeEvent("front", 1));
  ASSERT_TRUE(link.Restore());

  const auto reply = central->WaitFor("zarvo/north/reply/cut-1");
  ASSERT_TRUE(reply) << "the command published during the cut never reached the site";
  EXPECT_EQ(json::parse(reply->payload)["name"], "OK");
  EXPECT_EQ(site_.actions_run(), 1);
  EXPECT_TRUE(central->WaitFor("zarvo/north/front/events"))
      << "the event published during the cut never reached the centre";
}

}  // namespace
}  // namespace zarvo::mqtt::testing
