// TLS against a CA made here with openssl, credentials and the broker's ACL,
// and HMAC-signed requests and replies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "signature.h"
#include "test_site.h"

namespace zarvo::mqtt::testing {
namespace {

using nlohmann::json;

class MqttSecurityTest : public MqttTest {
 protected:
  void SetUp() override {
    const std::string dir = broker_.dir();
    ASSERT_TRUE(MakeCertificates(dir, "good"));
    ASSERT_TRUE(MakeCertificates(dir, "wrong"));
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c " + dir +
                           "/passwords zarvod-hq daemon-secret && "
                           "mosquitto_passwd -b " +
                           dir + "/passwords viewer viewer-secret")
                              .c_str()),
              0);
    // Anonymous clients (the operator) and the daemon may use the site's
    // topics; the viewer may only read them.
    std::ofstream(dir + "/acl") << "topic readwrite zarvo/#\n"
                                << "user zarvod-hq\ntopic readwrite zarvo/#\n"
                                << "user viewer\ntopic read zarvo/#\n";
    tls_port_ = BrokerProcess::FreePort();
    broker_.set_extra("password_file " + dir + "/passwords\nacl_file " + dir + "/acl\n" +
                      "listener " + std::to_string(tls_port_) + " 127.0.0.1\n" + "cafile " + dir +
                      "/good/ca.crt\ncertfile " + dir + "/good/server.crt\n" + "keyfile " + dir +
                      "/good/server.key\n");
    MqttTest::SetUp();
  }
  MqttSettings TlsSettingsWith(const std::string& ca) {
    MqttSettings settings = Settings();
    settings.port = tls_port_;
    settings.tls.enabled = true;
    settings.tls.ca_file = broker_.dir() + "/" + ca + "/ca.crt";
    return settings;
  }
  int tls_port_ = 0;
};

TEST_F(MqttSecurityTest, ATlsSettingThatCannotWorkStopsTheStartWithItsReason) {
  const std::string dir = broker_.dir();
  struct Row {
    const char* what;
    MqttSettings settings;
    const char* reason;  // empty: starts
  } rows[] = {
      {"the CA that signed the broker's certificate", TlsSettingsWith("good"), ""},
      {"another CA", TlsSettingsWith("wrong"), "certificate verify failed"},
      {"a CA file that is not there", TlsSettingsWith("missing"), "missing/ca.crt"},
      {"a client certificate without its key",
       [&] {
         MqttSettings s = TlsSettingsWith("good");
         s.tls.cert_file = dir + "/good/client.crt";
         return s;
       }(),
       "both its certificate and key"},
      {"a password the broker does not accept",
       [&] {
         MqttSettings s = Settings();
         s.username = "zarvod-hq";
         s.password = "guess";
         return s;
       }(),
       "refused the connection"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MqttService service(row.settings, site_, outbox_, site_, journal_, clock_);
    std::string error;
    EXPECT_EQ(service.Start(error), *row.reason == '\0') << error;
    EXPECT_NE(error.find(row.reason), std::string::npos) << error;
  }
}

TEST_F(MqttSecurityTest, CommandsTravelOverTls) {
  MqttSettings settings = TlsSettingsWith("good");
  settings.tls.cert_file = broker_.dir() + "/good/client.crt";
  settings.tls.key_file = broker_.dir() + "/good/client.key";
  StartService(settings);
  auto operator_client = Client("operator");
  const auto reply = Command(*operator_client, "probe", R"({"id":"t1","controller":"front"})");
  ASSERT_TRUE(reply);
  EXPECT_EQ(json::parse(reply->payload)["name"], "OK");
}

// A discovery message the ACL refuses is logged with its topic and turns
// discovery off: the broker drops a client whose retained message it refused.
TEST_F(MqttSecurityTest, AClientTheAclForbidsCannotCommand) {
  MqttSettings settings = Settings();
  settings.username = "zarvod-hq";
  settings.password = "daemon-secret";
  settings.home_assistant = true;
  ::testing::internal::CaptureStderr();
  StartService(settings);
  TestClient viewer({"viewer", false, "viewer", "viewer-secret", ""});
  ASSERT_TRUE(viewer.Connect(broker_.port()));
  EXPECT_EQ(viewer.Publish("zarvo/hq/cmd/probe", R"({"id":"v1","controller":"front"})"),
            0x87);  // not authorised
  auto operator_client = Client("operator");
  // The daemon may be between reconnections when the command is sent (the
  // broker dropped it for each refused message): a longer wait for the reply.
  operator_client->Subscribe("zarvo/hq/reply/o1");
  EXPECT_EQ(operator_client->Publish("zarvo/hq/cmd/probe", R"({"id":"o1","controller":"front"})"),
            0);
  ASSERT_TRUE(operator_client->WaitFor("zarvo/hq/reply/o1", 30000));
  const std::vector<CommandRecord> records = journal_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].request_id, "o1");
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("the broker refused homeassistant/button/hq_front/door0_open/config"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("discovery is off"), std::string::npos) << log;
}

TEST_F(MqttSecurityTest, OnlyCorrectlySignedRequestsRunAndRepliesAreSigned) {
  MqttSettings settings = Settings();
  settings.require_signatures = true;
  settings.signing_keys = {{"central", "s3cret"}};
  StartService(settings);
  auto central = Client("central");
  central->Subscribe("zarvo/central/replies");
  const std::string topic = "zarvo/hq/cmd/door.close";
  const int64_t now_s = clock_.NowMs() / 1000;
  auto request = [&](const char* id, std::optional<int64_t> deadline_s = 60) {
    json r = {{"controller", "front"}, {"door", 0}};
    if (*id != '\0') r["id"] = id;
    if (deadline_s) r["deadline"] = now_s + *deadline_s;
    return r.dump();
  };
  auto signed_by = [&](const std::string& key_id, const std::string& key,
                       const std::string& payload) {
    PublishOptions options;
    options.user_properties = {{kKeyIdProperty, key_id},
                               {kSignatureProperty, SignMessage(key, topic, payload)}};
    return options;
  };
  struct Row {
    const char* what;
    std::string payload;
    PublishOptions options;
    const char* name;
    const char* error;
  } rows[] = {
      {"unsigned", request("u1"), {}, "BAD_SIGNATURE", ""},
      {"signature of another request", request("u2"),
       signed_by("central", "s3cret", request("other")), "BAD_SIGNATURE", ""},
      {"unknown key", request("u3"), signed_by("stranger", "s3cret", request("u3")),
       "BAD_SIGNATURE", ""},
      {"wrong key", request("u4"), signed_by("central", "guess", request("u4")), "BAD_SIGNATURE",
       ""},
      // A signature could be replayed for ever: it must cover an id and a near deadline.
      {"no deadline", request("u6", std::nullopt),
       signed_by("central", "s3cret", request("u6", std::nullopt)), "MALFORMED",
       "needs a deadline"},
      {"deadline two hours ahead", request("u7", 7200),
       signed_by("central", "s3cret", request("u7", 7200)), "MALFORMED", "at most"},
      {"deadline of 1e18 s", R"({"id":"u8","controller":"front","door":0,"deadline":1e18})",
       signed_by("central", "s3cret",
                 R"({"id":"u8","controller":"front","door":0,"deadline":1e18})"),
       "EXPIRED", ""},
      {"signed", request("u5"), signed_by("central", "s3cret", request("u5")), "OK", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const auto reply = Command(*central, "door.close", row.payload, row.options);
    ASSERT_TRUE(reply);
    EXPECT_EQ(json::parse(reply->payload)["name"], row.name) << reply->payload;
    EXPECT_NE(json::parse(reply->payload).value("error", "").find(row.error), std::string::npos);
    if (std::string(row.name) == "OK") {
      EXPECT_EQ(reply->user_properties.at(kKeyIdProperty), "central");
      EXPECT_EQ(reply->user_properties.at(kSignatureProperty),
                SignMessage("s3cret", reply->topic, reply->payload));
    }
  }
  // A signed QoS 0 request without an id cannot be told from its replay.
  PublishOptions no_id = signed_by("central", "s3cret", request(""));
  no_id.qos = 0;
  no_id.response_topic = "zarvo/central/replies";
  central->Publish(topic, request(""), no_id);
  const auto refused = central->WaitFor("zarvo/central/replies");
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->payload.find("needs an id"), std::string::npos) << refused->payload;
  // An unsigned request cannot have the site publish where it chooses.
  PublishOptions elsewhere;
  elsewhere.response_topic = "zarvo/central/replies";
  const auto bad = Command(*central, "door.close", request("u9"), elsewhere);
  ASSERT_TRUE(bad);
  EXPECT_EQ(json::parse(bad->payload)["name"], "BAD_SIGNATURE");
  const std::vector<Received> all = central->Messages();
  EXPECT_EQ(std::count_if(all.begin(), all.end(),
                          [](const Received& m) { return m.topic == "zarvo/central/replies"; }),
            1);

  EXPECT_EQ(site_.actions_run(), 1);
  ASSERT_EQ(journal_.Records().size(), 2u);  // u5 and the expired u8; refused ones claim no id
  EXPECT_EQ(journal_.Records()[0].who, "central");
}

}  // namespace
}  // namespace zarvo::mqtt::testing
