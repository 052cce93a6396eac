// The outbox and command log over the daemon's real journal (built where
// the daemon's core is): journal order, delivery marks, retention, repeats.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

#include "broker_process.h"
#include "journal_outbox.h"
#include "mqtt_site.h"
#include "sim_site/sim_site.h"
#include "test_client.h"

namespace zarvo::mqtt {
namespace {

class JournalWiringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarvo-mqtt-journal-XXXXXX";
    dir_ = mkdtemp(pattern);
    zarvod::ClearRegisteredMigrations();
    zarvod::AddMigrations(MqttMigrations());
    std::string error;
    journal_ = zarvod::Journal::Open(dir_ + "/journal.db", error);
    ASSERT_TRUE(journal_) << error;
  }
  void TearDown() override {
    journal_.reset();
    std::system(("rm -rf " + dir_).c_str());
  }
  void Commit(const std::string& name, int address, int count) {
    const auto id = journal_->Controller({"hq", "line1", address, name});
    zarvod::Bookmark& b = bookmarks_[address];
    b.known = true;
    for (int i = 0; i < count; ++i) {
      ++b.next_seq;
      ASSERT_TRUE(
          journal_->CommitEvent(*id, zarvod::StoredRecord{0x26, 0x12, 0x07}, zarvod::NowMs(), b));
    }
  }

  std::string dir_;
  std::unique_ptr<zarvod::Journal> journal_;
  std::map<int, zarvod::Bookmark> bookmarks_;
};

TEST_F(JournalWiringTest, UndeliveredEventsComeInJournalOrderUntilAcknowledged) {
  JournalWatch watch(*journal_);
  zarvod::EventKinds kinds;
  kinds.Name(0, 0, {"card accepted", 1, "in"});
  JournalOutbox outbox(*journal_, watch, kinds);
  int wakes = 0;
  outbox.SetListener([&] { ++wakes; });
  Commit("front", 1, 2);
  Commit("back", 2, 1);
  Commit("front", 1, 1);
  EXPECT_EQ(wakes, 4);
  std::vector<OutboxEvent> events = outbox.Undelivered(0, 10);
  ASSERT_EQ(events.size(), 4u);
  const char* order[] = {"front", "front", "back", "front"};
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].controller, order[i]);
    if (i > 0) {
      EXPECT_GT(events[i].position, events[i - 1].position);
    }
    EXPECT_EQ(events[i].raw_hex.substr(0, 6), "261207");
    EXPECT_EQ(std::tie(events[i].kind, events[i].door, events[i].direction),
              std::make_tuple("card accepted", 1, "in"));
  }
  EXPECT_EQ(events[3].sequence, events[1].sequence + 1);
  outbox.MarkDelivered(events[0]);
  outbox.MarkDelivered(events[2]);
  EXPECT_EQ(outbox.Undelivered(0, 10).size(), 2u);
  EXPECT_EQ(outbox.Undelivered(events[1].position, 10).size(), 1u);
  EXPECT_TRUE(outbox.Undelivered(events[3].position, 10).empty());  // the cursor's own is sent
  // Retention takes delivered and undelivered alike, but keeps each
  // controller's last event (collection may need it).
  EXPECT_EQ(journal_->Prune(0, 1), 2);
  EXPECT_EQ(outbox.Undelivered(0, 10).size(), 1u);
}

TEST_F(JournalWiringTest, ARequestIdIsRecordedOnceWithItsReplyUntilRetentionDropsIt) {
  JournalCommandLog log(*journal_, 2);
  CommandRecord record{"r1", "alice", R"({"command":"door.open"})", 0, "", 1000};
  CommandRecord earlier;
  EXPECT_TRUE(log.Begin(record, &earlier));
  EXPECT_FALSE(log.Begin(record, &earlier));
  EXPECT_EQ(earlier.reply, "");  // still running
  log.Finish("r1", 0, R"({"id":"r1","name":"OK"})");
  EXPECT_FALSE(log.Begin(record, &earlier));
  EXPECT_EQ(earlier.reply, R"({"id":"r1","name":"OK"})");
  EXPECT_EQ(earlier.who, "alice");
  // Two days on, a request comes: r1 is kept; three days on, it is gone.
  const int64_t day = 86400'000;
  EXPECT_TRUE(log.Begin({"r2", "bob", "{}", 0, "", 1000 + 2 * day}, nullptr));
  EXPECT_FALSE(log.Begin({"r1", "alice", "{}", 0, "", 1000 + 2 * day + 1}, nullptr));
  EXPECT_TRUE(log.Begin({"r3", "bob", "{}", 0, "", 1001 + 3 * day}, nullptr));
  EXPECT_TRUE(log.Begin({"r1", "carol", "{}", 0, "", 1002 + 3 * day}, nullptr));
}

// Only this site's configured controllers are told, each with its own row's
// status; rows of another site or of an address the site file does not
// have sharing the journal are left out.
TEST_F(JournalWiringTest, AChangedControllerIsToldWithItsOwnStatus) {
  zarvod::SiteConfig config;
  config.site = "hq";
  config.lines.push_back({"line1", "/dev/null", 9600, {{1, "front", {}}, {2, "back", {}}}});
  JournalWatch watch(*journal_);
  JournalSiteDirectory directory(config, *journal_, watch);
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<ControllerInfo> told;
  directory.SetListener([&](const ControllerInfo& c) {
    std::lock_guard<std::mutex> lock(mutex);
    told.push_back(c);
    changed.notify_all();
  });
  struct Row {
    const char* site;
    int address;
    const char* version;
  };
  // The last row is the one to be told; the rows before it are changed first.
  const Row rows[] = {{"elsewhere", 1, "x1"}, {"hq", 9, "x2"}, {"hq", 2, "b1"}, {"hq", 1, "f1"}};
  for (const Row& r : rows) {
    const auto id = journal_->Controller({r.site, "line1", r.address, "c"});
    ASSERT_TRUE(id);
    ASSERT_TRUE(journal_->RecordStatus(*id, true, r.version, "answers"));
  }
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] {
    return !told.empty() && told.back().name == "front" && told.back().version == "f1";
  }));
  for (const ControllerInfo& c : told) {
    EXPECT_TRUE(c.name == "front" || c.name == "back") << c.name;
    if (c.online) {
      EXPECT_EQ(c.version, c.name == "front" ? "f1" : "b1");
    }
  }
  EXPECT_TRUE(told.back().online);
  EXPECT_EQ(told.back().line, "line1");
  EXPECT_EQ(told.back().address, 1);
  // Controllers the journal met under names the site file no longer has
  // ("c" at address 9, and the names the rows above were made with). The
  // listener's lock is let go first: the directory tells it under its own.
  lock.unlock();
  const auto gate = journal_->Controller({"hq", "line1", 3, "old-gate"});
  ASSERT_TRUE(gate);
  EXPECT_EQ(directory.FormerControllers(), (std::vector<std::string>{"c", "old-gate"}));
  // A rename keeps the controller's row and the old name, whose retained
  // messages are still to be cleared.
  EXPECT_EQ(journal_->Controller({"hq", "line1", 3, "side-gate"}), gate);
  EXPECT_EQ(directory.FormerControllers(),
            (std::vector<std::string>{"c", "old-gate", "side-gate"}));
}

}  // namespace
}  // namespace zarvo::mqtt

namespace zarvo::mqtt {
namespace {

// The whole path with no hardware, as `zarvod --sim --mqtt` runs it: the
// built-in site's virtual controllers log card events, the daemon journals
// them, a central subscriber sees them and opens a door.
TEST(SimSiteOnMqtt, EventsGoOutAndADoorOpens) {
  testing::BrokerProcess broker;
  ASSERT_TRUE(broker.Start());
  char pattern[] = "/tmp/zarvo-mqtt-sim-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  zarvod::SimSite sim(20.0, /*paced=*/false);
  std::string error;
  ASSERT_TRUE(sim.Start(error)) << error;
  const zarvod::SiteConfig config = sim.Config(dir + "/journal.db");
  zarvod::ClearRegisteredMigrations();
  MqttSite::RegisterMigrations();
  auto journal = zarvod::Journal::Open(config.journal.path, error);
  ASSERT_TRUE(journal) << error;
  zarvod::Site site(config, *journal);
  site.Start();
  MqttSettings settings;
  settings.port = broker.port();
  {
    MqttSite mqtt(settings, config, *journal, site);
    testing::TestClient central({"central", false, "", "", ""});
    ASSERT_TRUE(central.Connect(broker.port()));
    const std::string prefix = "zarvo/" + config.site + "/";
    central.Subscribe(prefix + "#");
    ASSERT_TRUE(mqtt.Start(error)) << error;
    sim.StartEvents();
    EXPECT_TRUE(central.WaitUntil([&](auto& all) {
      return std::count_if(all.begin(), all.end(), [](const testing::Received& m) {
               return m.topic.find("/events") != std::string::npos;
             }) >= 5;
    }));
    const std::string controller = config.lines.at(0).controllers.at(0).name;
    const std::string deadline = std::to_string(zarvod::NowMs() / 1000 + 60);
    central.Publish(prefix + "cmd/door.open", R"({"id":"sim-1","controller":")" + controller +
                                                  R"(","door":0,"deadline":)" + deadline + "}");
    const auto reply = central.WaitFor(prefix + "reply/sim-1");
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->payload.find("\"name\":\"OK\""), std::string::npos) << reply->payload;
    EXPECT_TRUE(central.WaitFor(prefix + controller + "/status"));
  }
  site.Stop();
  journal.reset();
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace zarvo::mqtt
