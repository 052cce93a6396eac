// The daemon as a process on lines of virtual controllers that log events
// all the while: killed at random instants, then stopped by SIGTERM. After
// either, the journal holds every event the controllers logged, once.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "commands/command_codes.h"
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

  static void ExpectSigtermExitsWithinTwoSeconds(pid_t pid) {
    kill(pid, SIGTERM);
    std::future<int> exit = std::async(std::launch::async, [pid] { return Reap(pid); });
    ASSERT_EQ(exit.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    const int status = exit.get();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
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
        // The read position has caught up with what block reads took.
        buses_[line]->WithController(address, [&](auto& s) {
          EXPECT_EQ(s.events.position(), s.events.records().size()) << Name(line, address);
        });
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
    // Every third seed starts with a backlog, drained by blocks and caught
    // up with across the kills that follow.
    if (seed % 3 == 2) {
      const size_t line = seed % 2;
      LogEvents(line, addresses_[line][seed % addresses_[line].size()], 400, 100000 * seed);
    }
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
  ASSERT_NO_FATAL_FAILURE(ExpectSigtermExitsWithinTwoSeconds(pid));
  StopEvents();
  ExpectEveryEventJournaledOnce();
}

// At 9600 bit/s a block read takes 6.4 s. A stop asked meanwhile is not kept
// waiting for it, and nothing of that block is lost or journaled twice.
TEST_F(DaemonProcessTest, SigtermDuringASlowBlockReadExitsWithinTwoSeconds) {
  LogEvents(0, 1, 400, 500000);
  buses_[0]->set_paced_baud(9600);
  std::promise<uint64_t> block_answered;
  buses_[0]->set_after_answer([&, told = false](uint8_t command, auto&) mutable {
    if (command != zarvo::kCmdReadEventBlock || told) return;
    told = true;
    block_answered.set_value(buses_[0]->reply_count());
  });
  const pid_t pid = Spawn();
  const uint64_t replies_before = block_answered.get_future().get();
  ASSERT_NO_FATAL_FAILURE(ExpectSigtermExitsWithinTwoSeconds(pid));
  // The block's reply leaves the controller at the line's pace all the same.
  ASSERT_TRUE(buses_[0]->WaitForReplies(replies_before + 1, 10000));
  buses_[0]->set_after_answer(nullptr);
  buses_[0]->set_paced_baud(0);
  ExpectEveryEventJournaledOnce();
}

// Output and exit status of a shell command.
std::pair<std::string, int> Shell(const std::string& command) {
  FILE* out = popen(command.c_str(), "r");
  std::string text;
  char chunk[256];
  for (size_t n; out && (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;) text.append(chunk, n);
  const int status = out ? pclose(out) : -1;
  return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(DaemonProcessTest, AclApplyGoesThroughTheRunningDaemonsSocket) {
  int log_pipe[2];
  ASSERT_EQ(pipe(log_pipe), 0);
  const std::string socket = dir_ + "/zarvod.sock";
  const std::string config = dir_ + "/site.toml";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, log_pipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, log_pipe[0]);
  const char* argv[] = {ZARVOD_PATH, "run",          "--config", config.c_str(),
                        "--socket",  socket.c_str(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, ZARVOD_PATH, &actions, nullptr, const_cast<char**>(argv), environ),
            0);
  posix_spawn_file_actions_destroy(&actions);
  close(log_pipe[1]);
  // The daemon listens once it logs its socket; its log is read to the end.
  std::promise<void> listening;
  std::string log;
  std::thread reader([&] {
    bool told = false;
    char chunk[256];
    for (ssize_t n; (n = read(log_pipe[0], chunk, sizeof chunk)) > 0;) {
      log.append(chunk, static_cast<size_t>(n));
      if (!told && log.find("control socket: " + socket) != std::string::npos) {
        told = true;
        listening.set_value();
      }
    }
    if (!told) listening.set_value();
  });
  listening.get_future().wait();

  std::ofstream(dir_ + "/cards.csv") << "number,pin,controllers\n1001,123456,*\n1002,,line0\n";
  // No --config: a command that could not reach the daemon would fail here
  // rather than open the lines itself.
  const auto acl = [&](const std::string& words) {
    return Shell(std::string(ZARVOD_PATH) + " acl " + words + " --socket " + socket + " 2>&1");
  };
  const auto [applied, apply_status] = acl("apply " + dir_ + "/cards.csv");
  EXPECT_EQ(apply_status, 0) << applied;
  EXPECT_NE(applied.find("7 done, 0 unconfirmed, 0 failed"), std::string::npos) << applied;
  const auto [verified, verify_status] = acl("verify");
  EXPECT_EQ(verify_status, 0) << verified;
  EXPECT_NE(verified.find("0 drifted"), std::string::npos) << verified;

  kill(pid, SIGTERM);
  EXPECT_EQ(WEXITSTATUS(Reap(pid)), 0);
  reader.join();
  close(log_pipe[0]);
  // The daemon's line workers made the changes: they are in its audit trail.
  sqlite3_stmt* q = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(JournalDb(), "SELECT count(*) FROM audit WHERE who = 'control'", -1,
                               &q, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
  EXPECT_GE(sqlite3_column_int(q, 0), 7) << log;
  sqlite3_finalize(q);
  EXPECT_FALSE(std::filesystem::exists(socket)) << "the socket goes with the daemon";
}

// A daemon that cannot serve its control socket must not run: `acl` would
// find no daemon there and open the lines beside it.
TEST_F(DaemonProcessTest, ControlSocketThatCannotBeServedStopsTheStart) {
  const std::string plain_file = dir_ + "/not-a-socket";
  std::ofstream(plain_file) << "x";
  const struct {
    std::string socket;
    std::string reason;
  } rows[] = {
      {dir_ + "/no-such-folder/zarvod.sock", "control socket " + dir_ + "/no-such-folder"},
      {plain_file, "exists and is not a socket"},
  };
  for (const auto& row : rows) {
    const auto [log, status] =
        Shell("timeout -s KILL 20 " + std::string(ZARVOD_PATH) + " run --config " + dir_ +
              "/site.toml --socket " + row.socket + " 2>&1");
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find(row.reason), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace zarvod::testing
