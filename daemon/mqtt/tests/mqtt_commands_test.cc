// Commands over the broker onto the virtual controllers: each operation's
// mapping, refusals that send nothing, deadlines, repeats and the journal.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "card_write_listener.h"
#include "test_site.h"

namespace zarvo::mqtt::testing {
namespace {

using nlohmann::json;

json Reply(const std::optional<Received>& message) {
  return message ? json::parse(message->payload) : json();
}

std::string InOneMinute(TestClock& clock) { return std::to_string(clock.NowMs() / 1000 + 60); }

class MqttCommandsTest : public MqttTest {
 protected:
  void SetUp() override {
    MqttTest::SetUp();
    StartService(Settings());
    client_ = Client("operator");
  }
  json Run(const std::string& name, const std::string& payload,
           const PublishOptions& options = {}) {
    return Reply(Command(*client_, name, payload, options));
  }
  std::unique_ptr<TestClient> client_;
};

TEST_F(MqttCommandsTest, EachOperationReachesTheController) {
  const std::string deadline = InOneMinute(clock_);
  struct Row {
    const char* command;
    std::string request;
    const char* name;
    const char* data_field;  // a field the reply's data must hold, or ""
  } rows[] = {
      {"probe", R"({"id":"p1","controller":"front"})", "OK", ""},
      {"version", R"({"id":"v1","controller":"back"})", "OK", "version"},
      {"device.info", R"({"id":"d1","controller":"front"})", "OK", "values"},
      {"clock.set", R"({"id":"c1","controller":"front"})", "OK", ""},
      {"door.open", R"({"id":"o1","controller":"front","door":1,"deadline":)" + deadline + "}",
       "OK", ""},
      {"door.close", R"({"id":"o2","controller":"front","door":1})", "OK", ""},
      {"door.clear_alarm", R"({"id":"o3","controller":"back","door":0})", "OK", ""},
      {"card.add",
       R"({"id":"k1","controller":"front","card":"12345","pin":"12ab56","flags":"101","valid_until":"2030-06-30"})",
       "OK", ""},
      {"card.get", R"({"id":"k2","controller":"front","card":"12345"})", "OK", "card"},
      {"cards.apply",
       R"({"id":"k3","controller":"front","cards":[{"card":"7"},{"card":"12345","delete":true}]})",
       "OK", "applied"},
      {"card.get", R"({"id":"k4","controller":"front","card":"12345"})", "REFUSED", ""},
      {"table.week.write",
       R"({"id":"t1","controller":"front","table":3,"day":2,"periods":[[8,0,12,30],[13,0,17,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0]]})",
       "OK", ""},
      {"table.week.read", R"({"id":"t2","controller":"front","table":3,"day":2})", "OK", "periods"},
      {"holiday.write", R"({"id":"h1","controller":"front","index":5,"month":12,"day":25})", "OK",
       ""},
      {"holiday.read", R"({"id":"h2","controller":"front","index":5})", "OK", "month"},
      {"chain.write",
       R"({"id":"n1","controller":"front","group":1,"entries":[1,2,3,4],"value":513})", "OK", ""},
      {"chain.read", R"({"id":"n2","controller":"front","group":1})", "OK", "entries"},
      {"door.access.read", R"({"id":"a1","controller":"front","door":0})", "OK", "settings"},
      {"door.alarm.read", R"({"id":"a2","controller":"front","door":0})", "OK", "settings"},
      {"door.delay.write", R"({"id":"a3","controller":"front","values":[5,10,0,0]})", "OK", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.request);
    const json reply = Run(row.command, row.request);
    EXPECT_EQ(reply.value("name", ""), row.name) << reply.dump();
    if (*row.data_field != '\0') {
      EXPECT_TRUE(reply["data"].contains(row.data_field)) << reply.dump();
    }
  }
  // What was written reads back.
  EXPECT_EQ(
      Run("card.get", R"({"id":"r1","controller":"front","card":"7"})")["data"]["card"]["card"],
      "00000007");
  EXPECT_EQ(Run("table.week.read",
                R"({"id":"r2","controller":"front","table":3,"day":2})")["data"]["periods"][1],
            json({13, 0, 17, 0}));
  EXPECT_EQ(Run("holiday.read", R"({"id":"r3","controller":"front","index":5})")["data"]["day"],
            25);
}

TEST_F(MqttCommandsTest, RefusedRequestsAreAnsweredAndSendNothing) {
  struct Row {
    const char* command;
    const char* request;
    const char* name;
    const char* error;
  } rows[] = {
      {"probe", R"({"id":"m1"})", "MALFORMED", "controller is missing"},
      {"door.open", R"({"id":"m2","controller":"front","door":9,"deadline":4102444800})",
       "MALFORMED", "door must be 0 to 3"},
      {"door.close", R"({"id":"m3","controller":"front","door":1,"colour":"red"})", "MALFORMED",
       "unknown field colour"},
      {"card.add", R"({"id":"m4","controller":"front","card":"12x"})", "MALFORMED",
       "card may hold"},
      {"cards.apply",
       R"({"id":"m5","controller":"front","cards":[{"card":"1"},{"card":"2","pin":"zz"}]})",
       "MALFORMED", "cards[1].pin"},
      {"table.week.read", R"({"id":"m6","controller":"front","table":16,"day":0})", "MALFORMED",
       "table must be 0 to 15"},
      {"probe", R"({"id":"m7","controller":"nowhere"})", "UNKNOWN_CONTROLLER", "nowhere"},
      {"door.explode", R"({"id":"m8","controller":"front"})", "UNKNOWN_COMMAND", "door.explode"},
      {"controller.init", R"({"id":"m9","controller":"front"})", "DISABLED", "off"},
      {"events.clear", R"({"id":"m10","controller":"front"})", "DISABLED", "off"},
      {"door.open", R"({"id":"m11","controller":"front","door":0})", "MALFORMED",
       "needs a deadline"},
      {"door.open",
       R"({"id":"m12","controller":"front","door":0,"deadline":"2020-01-01T00:00:00Z"})", "EXPIRED",
       "deadline"},
      {"door.open", R"({"id":"m13","controller":"front","door":0,"deadline":"tomorrow"})",
       "EXPIRED", "deadline"},
      {"door.open", R"({"id":"m14","controller":"front","door":0,"deadline":1e18})", "EXPIRED",
       "deadline"},
      // The line keeps the low 32 bits of a card number: 4294967297 is card 1.
      {"card.get", R"({"id":"m15","controller":"front","card":"4294967297"})", "MALFORMED",
       "card must be 1 to 4294967295"},
      {"card.add", R"({"id":"m17","controller":"front","card":"0"})", "MALFORMED",
       "card must be 1 to 4294967295"},
      {"card.add", R"({"id":"m18","controller":"front","card":"5","valid_until":"2030-02-31"})",
       "MALFORMED", "valid_until"},
      {"cards.apply", R"({"id":"m19","controller":"front","cards":[{"card":"9999999999"}]})",
       "MALFORMED", "cards[0].card must be 1 to 4294967295"},
  };
  const uint64_t requests_before = site_.bus().request_count();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.request);
    const json reply = Run(row.command, row.request);
    EXPECT_EQ(reply.value("name", ""), row.name) << reply.dump();
    EXPECT_NE(reply.value("error", "").find(row.error), std::string::npos) << reply.dump();
  }
  // Not JSON, and no id: answered on the response topic given.
  client_->Subscribe("operator/replies");
  client_->Publish("zarvo/hq/cmd/probe", "{not json",
                   {1, "operator/replies", std::string("corr-1"), std::nullopt, {}});
  const auto reply = client_->WaitFor("operator/replies");
  ASSERT_TRUE(reply);
  EXPECT_EQ(json::parse(reply->payload)["name"], "MALFORMED");
  EXPECT_EQ(reply->correlation_data, std::string("corr-1"));
  EXPECT_EQ(site_.bus().request_count(), requests_before);
}

// Limits are checked before anything walks the document (50,000 levels
// overflowed the stack); each is answered and acknowledged, never handed over again.
TEST_F(MqttCommandsTest, AMessageThatCannotBeReadIsRefusedOnceAndSendsNothing) {
  const std::string head = R"({"id":"n1","controller":"front","x":)";
  struct Row {
    const char* what;
    std::string payload;
    const char* error;
  } rows[] = {
      {"nested 50,000 deep", head + std::string(50000, '[') + std::string(50000, ']') + "}",
       "nests deeper than 32"},
      {"NUL after the object", std::string(R"({"id":"n2","controller":"front"})") + '\0' + "x",
       "NUL"},
      {"300 kB", head + '"' + std::string(300000, 'a') + "\"}", "larger than 262144 bytes"},
  };
  client_->Subscribe("operator/replies");
  const uint64_t requests_before = site_.bus().request_count();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    client_->Publish("zarvo/hq/cmd/probe", row.payload,
                     {1, "operator/replies", std::string(row.what), std::nullopt, {}});
    std::optional<Received> reply;
    ASSERT_TRUE(client_->WaitUntil([&](const std::vector<Received>& all) {
      for (const Received& m : all) {
        if (m.correlation_data == std::string(row.what)) reply = m;
      }
      return reply.has_value();
    }));
    EXPECT_EQ(Reply(reply).value("name", ""), "MALFORMED");
    EXPECT_NE(Reply(reply).value("error", "").find(row.error), std::string::npos) << reply->payload;
  }
  service_.reset();
  StartService(Settings());
  EXPECT_EQ(Run("probe", R"({"id":"after","controller":"front"})")["name"], "OK");
  EXPECT_EQ(client_->Messages().size(), std::size(rows) + 1) << "a refused message came again";
  EXPECT_EQ(site_.bus().request_count(), requests_before + 1);
}

// A retained command would run at every restart and reconnection: it is
// refused once and cleared from the broker.
TEST_F(MqttCommandsTest, ARetainedCommandIsRefusedOnceAndNeverRuns) {
  client_->Subscribe("zarvo/hq/reply/kept");
  PublishOptions retained;
  retained.retain = true;
  client_->Publish(
      "zarvo/hq/cmd/door.open",
      R"({"id":"kept","controller":"front","door":0,"deadline":)" + InOneMinute(clock_) + "}",
      retained);
  const json reply = Reply(client_->WaitFor("zarvo/hq/reply/kept"));
  EXPECT_EQ(reply.value("name", ""), "MALFORMED");
  EXPECT_NE(reply.value("error", "").find("retained"), std::string::npos) << reply.dump();
  service_.reset();
  StartService(Settings());
  EXPECT_EQ(Run("probe", R"({"id":"p","controller":"front"})")["name"], "OK");
  EXPECT_EQ(site_.actions_run(), 1);  // the probe
  // Retained messages come right after the subscription: the broker holds none.
  auto late = Client("late");
  late->Subscribe("zarvo/hq/cmd/door.open");
  late->Subscribe("late/marker");
  late->Publish("late/marker", "here");
  ASSERT_TRUE(late->WaitFor("late/marker"));
  EXPECT_EQ(late->Messages().size(), 1u);
}

// A reply must not pass for an event, a status or a discovery message.
TEST_F(MqttCommandsTest, RepliesGoOnlyOutsideTheSiteTopics) {
  struct Row {
    const char* reply_prefix;  // the site file's
    std::string response_topic;
    const char* arrives_on;
    const char* name;
  } rows[] = {
      {"", "operator/replies", "operator/replies", "OK"},
      {"", "zarvo/hq/reply/mine", "zarvo/hq/reply/mine", "OK"},
      {"", "zarvo/hq/front/events", "zarvo/hq/reply/r3", "MALFORMED"},
      {"", "zarvo/hq/cmd/probe", "zarvo/hq/reply/r4", "MALFORMED"},
      {"operator", "operator/replies", "operator/replies", "OK"},
      {"operator", "operator-x/replies", "zarvo/hq/reply/r6", "MALFORMED"},
  };
  client_->Subscribe("#");
  int n = 0;
  std::string reply_prefix;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.response_topic);
    if (row.reply_prefix != reply_prefix) {
      reply_prefix = row.reply_prefix;
      service_.reset();
      MqttSettings settings = Settings();
      settings.reply_prefix = reply_prefix;
      StartService(settings);
    }
    const std::string id = "r" + std::to_string(++n);
    client_->Publish("zarvo/hq/cmd/probe", R"({"id":")" + id + R"(","controller":"front"})",
                     {1, row.response_topic, std::nullopt, std::nullopt, {}});
    std::optional<Received> reply;
    ASSERT_TRUE(client_->WaitUntil([&](const std::vector<Received>& all) {
      for (const Received& m : all) {
        if (m.topic == row.arrives_on && m.payload.find(id) != std::string::npos) reply = m;
      }
      return reply.has_value();
    }));
    EXPECT_EQ(Reply(reply).value("name", ""), row.name) << reply->payload;
  }
  for (const Received& m : client_->Messages()) {  // no reply on a refused topic
    if (m.topic != "operator/replies" && m.topic.find("/reply/") == std::string::npos) {
      EXPECT_EQ(m.payload.find("\"result\""), std::string::npos) << m.topic;
    }
  }
}

TEST_F(MqttCommandsTest, ARepeatedRequestIsAnsweredFromTheJournal) {
  const std::string request =
      R"({"id":"once","controller":"front","door":0,"by":"alice","deadline":)" +
      InOneMinute(clock_) + "}";
  const json first = Run("door.open", request);
  const json second = Run("door.open", request);
  EXPECT_EQ(first["name"], "OK");
  EXPECT_EQ(first, second);
  EXPECT_EQ(site_.actions_run(), 1);
  const std::vector<CommandRecord> records = journal_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].who, "alice");
  EXPECT_NE(records[0].what.find("door.open"), std::string::npos);
  EXPECT_EQ(records[0].result, 0);
}

// Card writes and deletes, not reads, reach the record the card lists' diff reads.
TEST_F(MqttCommandsTest, CardWritesAreToldToTheCardRecord) {
  std::mutex mutex;
  std::vector<std::string> told;
  SetCardWriteListener([&](const std::string& controller, const std::string& command,
                           const std::vector<CardWrite>& writes) {
    std::lock_guard lock(mutex);
    for (const CardWrite& w : writes) {
      const std::string pin(w.card.pin, strnlen(w.card.pin, sizeof w.card.pin));
      told.push_back(controller + " " + command + " " + w.card.cardNumber +
                     (w.deleted ? " deleted" : " written " + pin) +
                     (w.result == ZARVO_OK ? " ok" : " failed"));
    }
  });
  struct Unset {
    ~Unset() { SetCardWriteListener({}); }
  } unset;
  Run("card.add", R"({"id":"w1","controller":"front","card":"5","pin":"abcdef"})");
  Run("card.get", R"({"id":"w2","controller":"front","card":"5"})");
  Run("card.delete", R"({"id":"w3","controller":"back","card":"6"})");
  Run("cards.apply",
      R"({"id":"w4","controller":"front","cards":[{"card":"8"},{"card":"5","delete":true}]})");
  std::lock_guard lock(mutex);
  EXPECT_EQ(told, (std::vector<std::string>{
                      "front card.add 5 written abcdef ok", "back card.delete 6 deleted failed",
                      "front cards.apply 8 written 000000 ok", "front cards.apply 5 deleted ok"}));
}

// Journaled requests and replies hold no secret and stay small.
TEST_F(MqttCommandsTest, TheJournalKeepsABoundedRecordWithoutSecrets) {
  Run("card.add", R"({"id":"s1","controller":"front","card":"5","pin":"987654"})");
  Run("door.password.write", R"({"id":"s2","controller":"front","door":0,"password":"1234abcd"})");
  const json read = Run("card.get", R"({"id":"s3","controller":"front","card":"5"})");
  EXPECT_EQ(read["data"]["card"]["pin"], "987654");  // the one who asked is told
  const std::string big =
      R"({"id":"s4","controller":"front","x":")" + std::string(200000, 'a') + "\"}";
  EXPECT_EQ(Run("probe", big)["name"], "MALFORMED");
  const std::vector<CommandRecord> records = journal_.Records();
  ASSERT_EQ(records.size(), 4u);
  for (const CommandRecord& record : records) {
    SCOPED_TRACE(record.request_id);
    for (const std::string& text : {record.what, record.reply}) {
      EXPECT_EQ(text.find("987654"), std::string::npos) << text;
      EXPECT_EQ(text.find("1234abcd"), std::string::npos) << text;
      EXPECT_LE(text.size(), 4096u);
    }
  }
  EXPECT_NE(records[3].what.find("\"s4\""), std::string::npos) << records[3].what;
}

// A door-open that waited in the site's queue past its deadline is refused
// when its turn comes, whether the deadline came from the request or from
// the message's expiry.
TEST_F(MqttCommandsTest, ADoorOpenThatWaitedPastItsDeadlineIsNotCarriedOut) {
  struct Row {
    const char* id;
    bool expiry;
  } rows[] = {{"late-field", false}, {"late-expiry", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    json request = {{"id", row.id}, {"controller", "front"}, {"door", 0}};
    PublishOptions options;
    if (row.expiry) {
      options.expiry_s = 5;
    } else {
      request["deadline"] = clock_.NowMs() / 1000 + 5;
    }
    site_.Hold(true);
    const uint64_t requests_before = site_.bus().request_count();
    const std::string reply_topic = std::string("zarvo/hq/reply/") + row.id;
    client_->Subscribe(reply_topic);
    client_->Publish("zarvo/hq/cmd/door.open", request.dump(), options);
    ASSERT_TRUE(site_.WaitQueued(1));
    clock_.Advance(10'000);
    site_.Hold(false);
    const json reply = Reply(client_->WaitFor(reply_topic));
    EXPECT_EQ(reply.value("name", ""), "EXPIRED") << reply.dump();
    EXPECT_EQ(site_.bus().request_count(), requests_before);
  }
}

TEST_F(MqttCommandsTest, IdentityCommandsRunOnlyWhenTheConfigAllowsThem) {
  service_.reset();
  MqttSettings settings = Settings();
  settings.allow_identity_commands = true;
  StartService(settings);
  EXPECT_EQ(Run("events.clear", R"({"id":"e1","controller":"back"})")["name"], "OK");
}

}  // namespace
}  // namespace zarvo::mqtt::testing
