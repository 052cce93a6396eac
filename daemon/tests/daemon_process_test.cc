// The daemon as a process on lines of virtual controllers that log events
// all the while: killed at random instants, then stopped by SIGTERM. After
// either, the journal holds every event the controllers logged, once.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "site_fixture.h"

extern char** environ;

namespace zarvod::testing {
namespace {

class DaemonProcessTest : public VirtualSiteTest {
 protected:
  DaemonProcessTest() : VirtualSiteTest({{1, 2}, {1, 2, 3}}) {}

  void SetUp() override {
    VirtualSiteTest::SetUp();
    std::ofstream out(dir_ + "/site.toml");
    const SiteConfig config = Config();
    out << "site = \"" << config.site << "\"\npoll_interval_ms = 10\n"
        << "[journal]\npath = \"" << JournalPath() << "\"\n";
    for (const LineConfig& line : config.lines) {
      out << "[[line]]\nname = \"" << line.name << "\"\nport = \"" << line.port << "\"\n";
      for (const ControllerConfig& c : line.controllers) {
        out << "[[line.controller]]\naddress = " << c.address << "\nname = \"" << c.name << "\"\n";
      }
    }
  }

  void StartEvents(double rate_per_line) {
    for (size_t i = 0; i < buses_.size(); ++i) {
      sources_.push_back(std::make_unique<zarvo::sim::EventSource>(
          *buses_[i], addresses_[i], rate_per_line, static_cast<uint32_t>(7 + i)));
      sources_.back()->Start();
    }
  }
  void StopEvents() {
    for (auto& s : sources_) s->Stop();
  }

  pid_t Spawn() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir_ + "/zarvod.log";
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const std::string config = dir_ + "/site.toml";
    const char* argv[] = {ZARVOD_PATH, "run", "--config", config.c_str(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, ZARVOD_PATH, &actions, nullptr, const_cast<char**>(argv), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static int Reap(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  // Finishes collection in this process, then compares every controller's
  // whole log with the journal.
  void ExpectEveryEventJournaledOnce() {
    for (size_t line = 0; line < buses_.size(); ++line) {
      for (uint8_t address : addresses_[line]) {
        Drain(line, address);
        const std::vector<StoredRecord> logged = ControllerLog(line, address);
        const std::vector<StoredRecord> journaled = Journaled(line, address);
        EXPECT_EQ(journaled.size(), logged.size()) << Name(line, address);
        EXPECT_TRUE(journaled == logged) << Name(line, address);
      }
    }
    EXPECT_TRUE(Gaps().empty());
  }

  std::vector<std::unique_ptr<zarvo::sim::EventSource>> sources_;
};

TEST_F(DaemonProcessTest, KilledAtRandomInstantsJournalsEveryEventOnce) {
  StartEvents(150);
  for (const uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u}) {
    std::mt19937 random(seed);
    for (int run = 0; run < 10; ++run) {
      const pid_t pid = Spawn();
      ASSERT_GT(pid, 0);
      // The instant of the kill is the point of the test.
      std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 120000));
      kill(pid, SIGKILL);
      const int status = Reap(pid);
      ASSERT_TRUE(WIFSIGNALED(status)) << "seed " << seed << " run " << run;
    }
  }
  StopEvents();
  ExpectEveryEventJournaledOnce();
}

TEST_F(DaemonProcessTest, SigtermFinishesCommitsAndExitsWithinTwoSeconds) {
  StartEvents(150);
  const pid_t pid = Spawn();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  kill(pid, SIGTERM);
  std::future<int> exit = std::async(std::launch::async, [pid] { return Reap(pid); });
  ASSERT_EQ(exit.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  const int status = exit.get();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  StopEvents();
  ExpectEveryEventJournaledOnce();
}

}  // namespace
}  // namespace zarvod::testing
