// TLS against a CA made here with openssl, credentials and the broker's ACL,
// and HMAC-signed requests and replies.
#include <gtest/gtest.h>

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

TEST_F(MqttSecurityTest, AClientTheAclForbidsCannotCommand) {
  MqttSettings settings = Settings();
  settings.username = "zarvod-hq";
  settings.password = "daemon-secret";
  StartService(settings);
  TestClient viewer({"viewer", false, "viewer", "viewer-secret", ""});
  ASSERT_TRUE(viewer.Connect(broker_.port()));
  EXPECT_EQ(viewer.Publish("zarvo/hq/cmd/probe", R"({"id":"v1","controller":"front"})"),
            0x87);  // not authorised
  auto operator_client = Client("operator");
  ASSERT_TRUE(Command(*operator_client, "probe", R"({"id":"o1","controller":"front"})"));
  const std::vector<CommandRecord> records = journal_.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].request_id, "o1");
}

TEST_F(MqttSecurityTest, OnlyCorrectlySignedRequestsRunAndRepliesAreSigned) {
  MqttSettings settings = Settings();
  settings.require_signatures = true;
  settings.signing_keys = {{"central", "s3cret"}};
  StartService(settings);
  auto central = Client("central");
  const std::string topic = "zarvo/hq/cmd/door.close";
  auto request = [](const char* id) {
    return std::string(R"({"id":")") + id + R"(","controller":"front","door":0})";
  };
  struct Row {
    const char* id;
    std::string key_id;
    std::string signature;
    const char* name;
  } rows[] = {
      {"u1", "", "", "BAD_SIGNATURE"},
      {"u2", "central", SignMessage("s3cret", topic, request("other")), "BAD_SIGNATURE"},
      {"u3", "stranger", SignMessage("s3cret", topic, request("u3")), "BAD_SIGNATURE"},
      {"u4", "central", SignMessage("guess", topic, request("u4")), "BAD_SIGNATURE"},
      {"u5", "central", SignMessage("s3cret", topic, request("u5")), "OK"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    PublishOptions options;
    if (!row.key_id.empty()) {
      options.user_properties = {{kKeyIdProperty, row.key_id}, {kSignatureProperty, row.signature}};
    }
    const auto reply = Command(*central, "door.close", request(row.id), options);
    ASSERT_TRUE(reply);
    EXPECT_EQ(json::parse(reply->payload)["name"], row.name);
    if (std::string(row.name) == "OK") {
      EXPECT_EQ(reply->user_properties.at(kKeyIdProperty), "central");
      EXPECT_EQ(reply->user_properties.at(kSignatureProperty),
                SignMessage("s3cret", reply->topic, reply->payload));
    }
  }
  EXPECT_EQ(site_.actions_run(), 1);
  ASSERT_EQ(journal_.Records().size(), 1u);  // refused ones claim no request id
  EXPECT_EQ(journal_.Records()[0].who, "central");
}

}  // namespace
}  // namespace zarvo::mqtt::testing
