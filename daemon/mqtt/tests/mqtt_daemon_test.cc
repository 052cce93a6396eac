// zarvod itself on a broker: `zarvod --sim --mqtt` puts the built-in site's
// events and status on the broker, and a broker setting that cannot work
// stops the daemon at start with the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>

#include "broker_process.h"
#include "test_client.h"

extern char** environ;

namespace zarvo::mqtt::testing {
namespace {

class ZarvodProcess {
 public:
  ZarvodProcess(const std::vector<std::string>& args, const std::string& log) {
    std::vector<char*> argv{const_cast<char*>(ZARVOD_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&pid_, ZARVOD_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    exit_ = std::async(std::launch::async, [pid = pid_] {
      int status = 0;
      if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    });
  }
  ~ZarvodProcess() {
    if (ExitCode(0) == -2) {
      kill(pid_, SIGKILL);
      exit_.wait();
    }
  }
  // The exit code, or -2 when the daemon still runs after `wait_ms`.
  int ExitCode(int wait_ms) {
    if (code_) return *code_;
    if (exit_.wait_for(std::chrono::milliseconds(wait_ms)) != std::future_status::ready) return -2;
    code_ = exit_.get();
    return *code_;
  }
  void Terminate() { kill(pid_, SIGTERM); }

 private:
  pid_t pid_ = -1;
  std::future<int> exit_;
  std::optional<int> code_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class MqttDaemonTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(broker_.Start()); }
  std::string Url(const char* scheme = "mqtt") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(broker_.port());
  }
  std::string Path(const std::string& name) const { return broker_.dir() + "/" + name; }

  BrokerProcess broker_;
};

TEST_F(MqttDaemonTest, SimSitePublishesStatusAndEventsAndGoesOfflineOnStop) {
  TestClient central({"central", false, "", "", ""});
  ASSERT_TRUE(central.Connect(broker_.port()));
  ASSERT_TRUE(central.Subscribe("zarvo/simulated/#"));
  const std::string log = Path("sim.log");
  ZarvodProcess zarvod({"--sim", "--rate", "20", "--journal", Path("sim.db"), "--mqtt", Url()},
                       log);
  const auto count = [](const std::vector<Received>& all, const std::string& tail,
                        const std::string& payload_part) {
    size_t n = 0;
    for (const Received& m : all) {
      const bool ends = m.topic.size() >= tail.size() &&
                        m.topic.compare(m.topic.size() - tail.size(), tail.size(), tail) == 0;
      n += ends && m.payload.find(payload_part) != std::string::npos;
    }
    return n;
  };
  EXPECT_TRUE(central.WaitUntil([&](const std::vector<Received>& all) {
    return count(all, "/status", "\"online\"") >= 5 &&
           count(all, "/events", "\"kind\":\"card presented\"") >= 10 &&
           count(all, "simulated/status", "online") >= 1;
  })) << ReadFile(log);
  zarvod.Terminate();
  EXPECT_EQ(zarvod.ExitCode(5000), 0) << ReadFile(log);
  EXPECT_TRUE(central.WaitUntil([&](const std::vector<Received>& all) {
    return !all.empty() && all.back().topic == "zarvo/simulated/status" &&
           all.back().payload == "offline";
  }));
}

TEST_F(MqttDaemonTest, ABrokerSettingThatCannotWorkStopsTheDaemonAtStart) {
  const std::string site = Path("site.toml");
  std::ofstream(site) << "site = \"s\"\n[[line]]\nname = \"a\"\nport = \"/dev/null\"\n"
                         "[[line.controller]]\naddress = 1\nname = \"A\"\n"
                         "[mqtt]\nbroker = \""
                      << Url("mqtts") << "\"\n[mqtt.tls]\nca_file = \"" << Path("none.pem")
                      << "\"\n";
  const struct {
    const char* name;
    std::vector<std::string> flags;
    const char* reason;
    int exit_code = 1;  // 2: refused as a usage error, before the lines start
  } cases[] = {
      {"CA file missing", {}, "none.pem"},
      {"mqtts without a CA", {"--mqtt", "mqtts://127.0.0.1:1"}, "ca_file"},
      {"not a broker URL", {"--mqtt", "http://127.0.0.1"}, "for --mqtt: expected mqtt", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Without [mqtt.tls] for the second and third rows: only the flag decides.
    const std::string config = c.flags.empty() ? site : Path("plain.toml");
    if (!c.flags.empty()) {
      std::ofstream(config) << "site = \"s\"\n[[line]]\nname = \"a\"\nport = \"/dev/null\"\n"
                               "[[line.controller]]\naddress = 1\nname = \"A\"\n";
    }
    std::vector<std::string> args{"run",          "--config", config,          "--journal",
                                  Path("run.db"), "--socket", Path("run.sock")};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    const std::string log = Path("run.log");
    ZarvodProcess zarvod(args, log);
    EXPECT_EQ(zarvod.ExitCode(10000), c.exit_code);
    const std::string text = ReadFile(log);
    if (c.exit_code == 1) {
      EXPECT_NE(text.find("mqtt: "), std::string::npos) << text;
    }
    EXPECT_NE(text.find(c.reason), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace zarvo::mqtt::testing
