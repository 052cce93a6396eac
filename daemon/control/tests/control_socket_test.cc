// The control socket in front of a site of virtual controllers: who may
// connect, malformed requests answered with the place of the fault and
// nothing sent to a controller, other sites' requests refused, slow clients,
// and `zarvod acl` through the daemon and, with no daemon, on lines it opens
// itself.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "acl_cli.h"
#include "acl_service.h"
#include "control_client.h"
#include "control_server.h"
#include "lookalike_site.h"
#include "site_adapters.h"
#include "socket_path.h"
#include "sqlite_card_list_store.h"

namespace zarvod::control {
namespace {

class ControlSocketTest : public testing::VirtualSiteTest {
 protected:
  ControlSocketTest() : VirtualSiteTest({{1, 2}, {1}}) {}

  void SetUp() override {
    VirtualSiteTest::SetUp();
    site_ = cards::LayoutFromConfig(Config());
    cards::SqliteCardListStore::EnsureSchema(JournalDb());
    store_ = std::make_unique<cards::SqliteCardListStore>(JournalDb());
  }
  void TearDown() override {
    server_.reset();
    service_.reset();
    store_.reset();
    VirtualSiteTest::TearDown();
  }

  // The daemon's side: its lines open, the acl commands on its socket.
  void StartDaemon() {
    ASSERT_TRUE(lookalike_.Open(Config()));
    service_ = std::make_unique<AclService>(site_, runner_, *store_);
    commands_.ServeSite(Config().site);
    AddAclCommands(commands_, *service_);
    server_ = std::make_unique<ControlServer>(commands_);
    ASSERT_EQ(server_->Start(Socket()), "");
  }
  std::string Socket() const { return dir_ + "/zarvod.sock"; }

  std::string Ask(const std::string& raw) {
    const int fd = ConnectControlSocket(Socket());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::send(fd, raw.data(), raw.size(), MSG_NOSIGNAL), static_cast<ssize_t>(raw.size()));
    ::shutdown(fd, SHUT_WR);
    std::string reply;
    char chunk[1024];
    ssize_t n = 0;
    while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
      reply.append(chunk, static_cast<size_t>(n));
    ::close(fd);
    return reply;
  }

  std::string WriteCsv(const std::string& text) {
    const std::string path = dir_ + "/cards.csv";
    std::ofstream(path) << text;
    return path;
  }
  AclCliEnvironment Environment() {
    AclCliEnvironment environment;
    environment.socket_path = Socket();
    environment.site = site_name_;
    environment.open_site = [this](std::string&) {
      auto site = std::make_unique<StandaloneSite>();
      site->layout = site_;
      site->ports = cards::PortsFromConfig(Config());
      site->journal = JournalDb();
      return site;
    };
    return environment;
  }
  int Cli(const std::vector<std::string>& args, std::string* out = nullptr) {
    ::testing::internal::CaptureStdout();
    const int status = RunAclCli(args, Environment());
    const std::string text = ::testing::internal::GetCapturedStdout();
    if (out != nullptr) *out = text;
    return status;
  }
  bool Holds(size_t line, uint8_t address, uint32_t number) {
    bool found = false;
    buses_[line]->WithController(address, [&](zarvo::sim::ControllerState& s) {
      found = s.cards.FindSingle(number) != nullptr;
    });
    return found;
  }

  cards::SiteLayout site_;
  std::string site_name_ = "test";  // the command line's site
  std::unique_ptr<cards::SqliteCardListStore> store_;
  testing::LookalikeSite lookalike_;
  cards::SiteLineRunner<testing::LookalikeSite> runner_{lookalike_};
  std::unique_ptr<AclService> service_;
  CommandTable commands_;
  std::unique_ptr<ControlServer> server_;
};

TEST_F(ControlSocketTest, SocketIsForTheDaemonsUserAndGroupOnly) {
  StartDaemon();
  struct stat info {};
  ASSERT_EQ(::stat(Socket().c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0660U);
  ControlServer second(commands_);
  EXPECT_NE(second.Start(Socket()).find("another zarvod answers"), std::string::npos);
}

TEST_F(ControlSocketTest, MalformedRequestsNameThePlaceAndReachNoController) {
  StartDaemon();
  const uint64_t before = SiteRequests();
  const struct {
    const char* request;
    const char* error;
  } cases[] = {
      {"acl.apply\n", "request:1:1: a request must be a JSON object"},
      {"{\"command\" \"acl.verify\"}\n", "request:1:12: expected ':' after the key"},
      {"{\"command\":\"acl.verify\",}\n", "request:1:25: expected a key in double quotes"},
      {"{\"command\":\"acl.verify\"} x\n", "request:1:26: unexpected text after the object"},
      {"{\"command\":\"door.explode\"}\n", "request:1:12: unknown command 'door.explode'"},
      {"{\"command\":7}\n", "request:1:12: \\\"command\\\" must be a string"},
      {"{\"command\":\"acl.apply\",\"file\":\"x.csv\"}\n", "request:1:1: needs \\\"file\\\""},
      {"{\"command\":\"acl.apply\",\"file\":\"x.csv\",\"text\":\"number,controllers\\n5,attic\\n\"}"
       "\n",
       "x.csv:2:3: no controller, group or line is named 'attic'"},
      {"{\"command\":\"acl.verify\",\"command\":\"acl.verify\"}\n",
       "request:1:25: key 'command' given twice"},
      {"{\"command\":\"acl.apply\",\"text\":\"\\q\"}\n", "request:1:32: unknown escape"},
  };
  for (const auto& c : cases) {
    const std::string reply = Ask(c.request);
    EXPECT_NE(reply.find("\"ok\":false"), std::string::npos) << c.request;
    EXPECT_NE(reply.find(c.error), std::string::npos) << c.request << " -> " << reply;
  }
  EXPECT_EQ(SiteRequests(), before);
}

TEST_F(ControlSocketTest, AclThroughTheDaemonThenVerifyFindsDrift) {
  StartDaemon();
  const std::string csv = WriteCsv("number,controllers\n41,line0\n42,*\n");
  std::string out;
  EXPECT_EQ(Cli({"diff", csv}, &out), 0);
  EXPECT_NE(out.find("C0.1 (line line0, address 1): 2 to add"), std::string::npos) << out;
  EXPECT_EQ(Cli({"apply", csv}, &out), 0) << out;
  EXPECT_TRUE(Holds(0, 2, 41));
  EXPECT_TRUE(Holds(1, 1, 42));
  EXPECT_FALSE(Holds(1, 1, 41));
  EXPECT_EQ(Cli({"verify"}, &out), 0) << out;
  buses_[0]->WithController(1, [](zarvo::sim::ControllerState& s) { s.cards.RemoveSingle(42); });
  EXPECT_EQ(Cli({"verify"}, &out), 1);
  EXPECT_NE(out.find("C0.1 00000042 missing"), std::string::npos) << out;
}

TEST_F(ControlSocketTest, WithoutADaemonTheCommandOpensTheLinesItself) {
  {  // the socket file of a daemon that is gone: nobody listens
    sockaddr_un address{};
    ASSERT_TRUE(FillSocketAddress(Socket(), address));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  const std::string csv = WriteCsv("number,controllers\n51,C1.1\n");
  std::string out;
  EXPECT_EQ(Cli({"apply", csv}, &out), 0) << out;
  EXPECT_TRUE(Holds(1, 1, 51));

  const std::string bad = WriteCsv("number,pin,controllers\n52,xyz,C1.1\n");
  const uint64_t before = SiteRequests();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Cli({"apply", bad}), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find(":2:4: pin must be six hex digits"),
            std::string::npos);
  EXPECT_EQ(SiteRequests(), before);
  EXPECT_EQ(Cli({"frobnicate"}), 2);
}

// Slow clients and clients that never read, with no site behind the socket.
class ControlClientDeadlineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/zarvod-control-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    commands_.Add("echo",
                  [](const ParsedRequest&, ReplyStream&) { return JsonObject().Set("ok", true); });
    commands_.Add("flood", [this](const ParsedRequest&, ReplyStream& replies) {
      const JsonObject line = JsonObject().Set("progress", std::string(1000, 'x'));
      while (replies.Send(line)) {
      }
      let_go_.set_value();
      return JsonObject().Set("ok", true);
    });
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Socket() const { return dir_ + "/zarvod.sock"; }
  int SendOnly(const std::string& request) {
    const int fd = ConnectControlSocket(Socket());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    return fd;
  }
  ClientStatus Ask(const JsonObject& request, ParsedRequest& reply) {
    std::string error;
    const ClientStatus status = AskDaemon(Socket(), request, nullptr, reply, error);
    EXPECT_EQ(error, "");
    return status;
  }

  std::string dir_;
  CommandTable commands_;
  std::promise<void> let_go_;
};

TEST_F(ControlClientDeadlineTest, SlowClientsAreLetGoAndOneTooManyHearsBusy) {
  // The slow clients' deadline outlasts sending the long request below, even
  // on a loaded machine.
  ControlServer server(commands_, {std::chrono::seconds(2), std::chrono::seconds(10)});
  ASSERT_EQ(server.Start(Socket()), "");
  std::vector<int> slow;
  for (size_t i = 0; i < ControlServer::kMaxClients; ++i) slow.push_back(SendOnly("{\"comm"));
  // Too long for the socket's buffer: the busy daemon closes while it is sent.
  ParsedRequest reply;
  ASSERT_EQ(Ask(JsonObject().Set("command", "echo").Set("text", std::string(4 << 20, 'x')), reply),
            ClientStatus::kReplied);
  ASSERT_EQ(reply.fields.count("error"), 1U);
  EXPECT_NE(std::get<std::string>(reply.fields.at("error").value).find("try again"),
            std::string::npos);
  for (int fd : slow) {  // each is let go at its deadline
    char chunk[256];
    while (::recv(fd, chunk, sizeof chunk, 0) > 0) {
    }
    ::close(fd);
  }
  ASSERT_EQ(Ask(JsonObject().Set("command", "echo"), reply), ClientStatus::kReplied);
  EXPECT_EQ(reply.fields.count("error"), 0U);
}

TEST_F(ControlClientDeadlineTest, AClientThatNeverReadsHoldsNeitherItsPlaceNorTheStop) {
  {
    ControlServer server(commands_, {std::chrono::seconds(10), std::chrono::milliseconds(300)});
    ASSERT_EQ(server.Start(Socket()), "");
    const int fd = SendOnly("{\"command\":\"flood\"}\n");
    EXPECT_EQ(let_go_.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    ::close(fd);
  }
  let_go_ = {};
  ControlServer server(commands_);  // a deadline far off: the stop does not wait for it
  ASSERT_EQ(server.Start(Socket()), "");
  const int fd = SendOnly("{\"command\":\"flood\"}\n");
  pollfd replying{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&replying, 1, 10000), 1);
  const auto start = std::chrono::steady_clock::now();
  server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ::close(fd);
}

TEST_F(ControlSocketTest, ARequestForAnotherSiteIsRefusedAndReachesNoController) {
  StartDaemon();
  const std::string csv = WriteCsv("number,controllers\n61,*\n");
  const uint64_t before = SiteRequests();
  site_name_ = "north";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Cli({"apply", csv}), 1);
  const std::string error = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("serves site 'test', not 'north'"), std::string::npos) << error;
  EXPECT_EQ(SiteRequests(), before);
  site_name_ = "test";
  EXPECT_EQ(Cli({"apply", csv}), 0);
  EXPECT_TRUE(Holds(1, 1, 61));
}

TEST(SiteSocketPathTest, EachSiteHasItsOwnSocketFile) {
  EXPECT_EQ(SiteSocketPath("/run/zarvod", "north"), "/run/zarvod/north.sock");
  EXPECT_EQ(SiteSocketPath("/run/zarvod", "Main building"), "/run/zarvod/Main_building.sock");
  EXPECT_EQ(SiteSocketPath("/run/zarvod", "../etc/x"), "/run/zarvod/_._etc_x.sock");
  EXPECT_EQ(SiteSocketPath("/run/zarvod", ""), "/run/zarvod/zarvod.sock");
}

}  // namespace
}  // namespace zarvod::control
