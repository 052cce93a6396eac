// The daemon as a process on lines of virtual controllers that log events
// all the while: killed at random instants, then stopped by SIGTERM. After
// either, the journal holds every event the controllers logged, once.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

#include "commands/command_codes.h"
#include "site_fixture.h"

extern char** environ;

namespace zarvod::testing {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class DaemonProcessTest : public VirtualSiteTest {
 protected:
  DaemonProcessTest() : VirtualSiteTest({{1, 2}, {1, 2, 3}}) {}

  void SetUp() override {
    VirtualSiteTest::SetUp();
    WriteSiteFile(0);
  }

  // The daemon prunes at start when it keeps only `retention_events`.
  // Controllers are named as in renamed_, else by Name().
  void WriteSiteFile(int retention_events) {
    retention_events_ = retention_events;
    std::ofstream out(dir_ + "/site.toml");
    const SiteConfig config = Config();
    out << "site = \"" << config.site << "\"\npoll_interval_ms = 10\n"
        << "[journal]\npath = \"" << JournalPath() << "\"\nretention_events = " << retention_events
        << "\n";
    for (const LineConfig& line : config.lines) {
      out << "[[line]]\nname = \"" << line.name << "\"\nport = \"" << line.port << "\"\n";
      for (const ControllerConfig& c : line.controllers) {
        const auto renamed = renamed_.find(c.name);
        out << "[[line.controller]]\naddress = " << c.address << "\nname = \""
            << (renamed == renamed_.end() ? c.name : renamed->second) << "\"\n";
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

  // zarvod with `args`, by default on the fixture's site file.
  pid_t Spawn(std::vector<std::string> args = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir_ + "/zarvod.log";
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (args.empty()) args = {"run", "--config", dir_ + "/site.toml"};
    std::vector<char*> argv{const_cast<char*>(ZARVOD_PATH)};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, ZARVOD_PATH, &actions, nullptr, argv.data(), environ), 0);
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
  // whole log with the journal: what retention kept is the log's tail, and
  // sequence numbers run without holes up to the number of events logged.
  void ExpectEveryEventJournaledOnce() {
    for (size_t line = 0; line < buses_.size(); ++line) {
      for (uint8_t address : addresses_[line]) {
        SCOPED_TRACE(Name(line, address));
        Drain(line, address);
        const std::vector<StoredRecord> logged = ControllerLog(line, address);
        std::vector<StoredRecord> journaled;
        int64_t last_seq = 0;
        std::string error;
        auto reader = JournalReader::Open(JournalPath(), error);
        ASSERT_TRUE(reader) << error;
        reader->ForEachEvent(0, 0, [&](const EventRow& e) {
          if (e.controller != Name(line, address)) return;
          if (!journaled.empty()) {
            EXPECT_EQ(e.seq, last_seq + 1);
          }
          last_seq = e.seq;
          journaled.push_back(e.raw);
        });
        EXPECT_EQ(last_seq, static_cast<int64_t>(logged.size()));
        ASSERT_LE(journaled.size(), logged.size());
        pruned_ += logged.size() - journaled.size();
        EXPECT_TRUE(std::equal(journaled.begin(), journaled.end(),
                               logged.end() - static_cast<std::ptrdiff_t>(journaled.size())));
        // The read position has caught up with what block reads took.
        buses_[line]->WithController(
            address, [&](auto& s) { EXPECT_EQ(s.events.position(), s.events.records().size()); });
      }
    }
    EXPECT_TRUE(Gaps().empty());
  }

  int64_t JournaledCount() {
    std::string error;
    auto reader = JournalReader::Open(JournalPath(), error);
    int64_t count = 0;
    if (reader) reader->ForEachEvent(0, 0, [&](const EventRow&) { ++count; });
    return count;
  }

  // Waits, on the journal's folder changing, until the journal holds more
  // than `than` events; false after 10 s.
  bool WaitForMoreEvents(int64_t than) {
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(watch, dir_.c_str(), IN_MODIFY | IN_CREATE);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool more = false;
    while (!(more = JournaledCount() > than) && std::chrono::steady_clock::now() < deadline) {
      pollfd wake{watch, POLLIN, 0};
      poll(&wake, 1, 200);
      char drain[4096];
      while (read(watch, drain, sizeof drain) > 0) {
      }
    }
    close(watch);
    return more;
  }

  // Whether a user other than the owner can reach and run `program`.
  static bool OthersCanRun(const std::filesystem::path& program) {
    for (std::filesystem::path p = program; p != p.parent_path(); p = p.parent_path()) {
      struct stat st {};
      if (stat(p.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) return false;
    }
    return true;
  }

  // Runs zarvod with `args` in `cwd`, as user nobody when asked; its exit
  // code (-1 when still running after 5 s, then stopped) and its output.
  std::pair<int, std::string> RunToExit(const std::vector<std::string>& args,
                                        const std::string& cwd = "", bool as_nobody = false) {
    const std::string log = dir_ + "/refused.log";
    // All made before the fork: a threaded process's child may only make
    // async-signal-safe calls before exec.
    std::vector<char*> argv{const_cast<char*>(ZARVOD_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(out, 1);
      dup2(out, 2);
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
      if (as_nobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        _exit(126);
      execv(ZARVOD_PATH, argv.data());
      _exit(127);
    }
    close(out);
    const int code = ExitCodeWithin(pid, 5);
    return {code, ReadText(log)};
  }

  // The exit code of `pid`, or -1 when it runs longer than `seconds` (then killed).
  static int ExitCodeWithin(pid_t pid, int seconds) {
    std::future<int> exit = std::async(std::launch::async, [pid] { return Reap(pid); });
    if (exit.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready)
      kill(pid, SIGKILL);
    const int status = exit.get();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The fixture's site file with `journal_line` in its [journal] table.
  std::string SiteFileWith(const std::string& name, const std::string& journal_line) {
    std::string text = ReadText(dir_ + "/site.toml");
    const size_t at = text.find("path = ");
    text.replace(at, text.find('\n', at) - at, journal_line);
    std::ofstream(dir_ + "/" + name) << text;
    return dir_ + "/" + name;
  }

  // Another process's write transaction on the journal (a sqlite3 shell, a
  // backup) from now until the returned connection is closed: the daemon's
  // statements wait up to their bound, fail, and are tried again later.
  sqlite3* TakeJournalWriteLock() {
    sqlite3* other = nullptr;
    EXPECT_EQ(sqlite3_open_v2(JournalPath().c_str(), &other, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    sqlite3_busy_timeout(other, 5000);
    EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(other);
    return other;
  }
  static void LetGoOfJournal(sqlite3* other) {
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
  }

  // While `first` journals, a second daemon on its journal refuses to start
  // and the first goes on.
  void ExpectSecondDaemonRefused(pid_t first) {
    ASSERT_TRUE(WaitForMoreEvents(JournaledCount()));
    const auto [code, log] = RunToExit({"run", "--config", dir_ + "/site.toml"});
    EXPECT_EQ(code, 1) << log;
    EXPECT_NE(log.find("another zarvod (pid " + std::to_string(first) + ") has the journal"),
              std::string::npos)
        << log;
    EXPECT_TRUE(WaitForMoreEvents(JournaledCount())) << "the first daemon stopped journaling";
  }

  // Renames C0.1 in the site file and applies a card list that names it so,
  // with card 5001 on it every other time: what was written there follows
  // the controller, so the card leaves it when the list drops it.
  void RenameAndApplyCards(int renames) {
    const bool wanted = renames % 2 == 1;
    const std::string name = "Entry" + std::to_string(renames);
    renamed_[Name(0, 1)] = name;
    WriteSiteFile(retention_events_);
    std::ofstream(dir_ + "/cards.csv") << "number,controllers\n5002,*\n"
                                       << (wanted ? "5001," + name + "\n" : "");
    const auto run =
        RunToExit({"acl", "apply", dir_ + "/cards.csv", "--config", dir_ + "/site.toml"});
    const std::string& out = run.second;
    ASSERT_EQ(run.first, 0) << out;
    buses_[0]->WithController(1, [&](zarvo::sim::ControllerState& s) {
      EXPECT_EQ(s.cards.FindSingle(5001) != nullptr, wanted) << name << "\n" << out;
      EXPECT_NE(s.cards.FindSingle(5002), nullptr) << name << "\n" << out;
    });
  }

  std::vector<std::unique_ptr<zarvo::sim::EventSource>> sources_;
  size_t pruned_ = 0;                           // events logged that are no longer in the journal
  std::map<std::string, std::string> renamed_;  // Name() -> the name in the site file
  int retention_events_ = 0;
};

// Every run of events missing from the journal (`logged` is the whole
// history) has a gap after it; a gap with a count counts what is missing.
void ExpectEveryLossAtAGap(const std::vector<StoredRecord>& logged,
                           const std::vector<StoredRecord>& journaled,
                           const std::vector<GapRow>& gaps) {
  std::map<int64_t, int64_t> missing;  // after seq -> events missing there
  std::vector<size_t> logged_index;    // journaled[seq] is logged[logged_index[seq]]
  size_t next = 0;
  for (size_t seq = 0; seq < journaled.size(); ++seq) {
    const auto at =
        std::find(logged.begin() + static_cast<long>(next), logged.end(), journaled[seq]);
    ASSERT_NE(at, logged.end()) << "journaled out of order or twice: seq " << seq + 1;
    const size_t index = static_cast<size_t>(at - logged.begin());
    // What left the log before the first contact was nobody's to collect.
    if (index != next && seq > 0)
      missing[static_cast<int64_t>(seq)] = static_cast<int64_t>(index - next);
    next = index + 1;
    logged_index.push_back(index);
  }
  // Events after the last one journaled are missing too when a clear took
  // them and nothing was logged since: their gap is after the last seq.
  if (!journaled.empty() && next < logged.size())
    missing[static_cast<int64_t>(journaled.size())] = static_cast<int64_t>(logged.size() - next);
  std::map<int64_t, std::optional<int64_t>> counted;  // after seq -> lost, unset when unknown
  std::map<int64_t, std::string> told;                // after seq -> the gaps' kinds and details
  for (const GapRow& g : gaps) {
    auto& lost = counted.try_emplace(g.after_seq, 0).first->second;
    lost = lost && g.lost ? std::optional(*lost + *g.lost) : std::nullopt;
    told[g.after_seq] += "\n  " + g.kind + " (" +
                         (g.lost ? std::to_string(*g.lost) : std::string("unknown")) +
                         "): " + g.detail;
  }
  // Where the events on either side of a gap stand in the whole history.
  auto around = [&](int64_t seq) {
    const auto at = [&](int64_t s) {
      return s >= 0 && s < static_cast<int64_t>(logged_index.size())
                 ? std::to_string(logged_index[static_cast<size_t>(s)])
                 : std::string("none");
    };
    return "; logged index of seq " + std::to_string(seq) + ": " + at(seq - 1) +
           ", of the next: " + at(seq) + " of " + std::to_string(logged.size()) + told[seq];
  };
  for (const auto& [seq, n] : missing) {
    EXPECT_TRUE(counted.count(seq)) << n << " events lost without a gap after seq " << seq;
  }
  for (const auto& [seq, lost] : counted) {
    EXPECT_TRUE(!lost || *lost == missing[seq]) << lost.value_or(-1) << " counted, " << missing[seq]
                                                << " missing after seq " << seq << around(seq);
  }
}

// The seeds the crash test runs: 11, or ZARVOD_CRASH_SEEDS for a longer run.
uint32_t CrashSeeds() {
  const char* seeds = std::getenv("ZARVOD_CRASH_SEEDS");
  return seeds ? static_cast<uint32_t>(std::max(1, std::atoi(seeds))) : 11;
}

// From the seventh seed on, every start prunes the journal to its newest
// 100 events, behind block drains and catch-ups too. Some runs meet what a
// site meets besides: another process holding the journal's write lock for
// longer than the daemon waits for it, a second daemon started on the same
// journal, or a controller renamed in the site file between runs.
TEST_F(DaemonProcessTest, KilledAtRandomInstantsJournalsEveryEventOnce) {
  enum Meanwhile { kWriteLockHeld, kSecondDaemon, kRename, kOnlyTheKill };
  std::map<Meanwhile, int> met;
  StartEvents(150);
  for (uint32_t seed = 1; seed <= CrashSeeds(); ++seed) {
    std::mt19937 random(seed);
    if (seed == 7) WriteSiteFile(100);
    // Every third seed starts with a backlog, drained by blocks and caught
    // up with across the kills that follow.
    if (seed % 3 == 2) {
      const size_t line = seed % 2;
      LogEvents(line, addresses_[line][seed % addresses_[line].size()], 400, 100000 * seed);
    }
    for (int run = 0; run < 10; ++run) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(run));
      const uint32_t pick = random() % 50;
      const Meanwhile meanwhile = pick == 0  ? kWriteLockHeld
                                  : pick < 5 ? kSecondDaemon
                                  : pick < 9 ? kRename
                                             : kOnlyTheKill;
      ++met[meanwhile];
      const pid_t pid = Spawn();
      ASSERT_GT(pid, 0);
      // The instant of the kill is the point of the test.
      std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 120000));
      if (meanwhile == kSecondDaemon) {
        ASSERT_NO_FATAL_FAILURE(ExpectSecondDaemonRefused(pid));
      }
      sqlite3* other = nullptr;
      if (meanwhile == kWriteLockHeld) {
        other = TakeJournalWriteLock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1100 + random() % 300));
        // Killed while the lock is held, or soon after it is let go.
        if (random() % 2) {
          LetGoOfJournal(std::exchange(other, nullptr));
          std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 120000));
        }
      }
      kill(pid, SIGKILL);
      const int status = Reap(pid);
      if (other) LetGoOfJournal(other);
      // A daemon that met the lock while opening its journal stops at once.
      const bool refused_start =
          meanwhile == kWriteLockHeld && WIFEXITED(status) && WEXITSTATUS(status) == 1;
      ASSERT_TRUE(WIFSIGNALED(status) || refused_start) << status;
      if (meanwhile == kRename) {
        ASSERT_NO_FATAL_FAILURE(RenameAndApplyCards(met[kRename]));
      }
    }
  }
  StopEvents();
  for (const Meanwhile m : {kWriteLockHeld, kSecondDaemon, kRename}) EXPECT_GE(met[m], 3) << m;
  // The held lock cost the daemon statements, not events.
  EXPECT_NE(ReadText(dir_ + "/zarvod.log").find("database is locked"), std::string::npos);
  ExpectEveryEventJournaledOnce();
  EXPECT_GT(pruned_, 0u);
}

// A busy site (100 events a second at every controller) whose logs others
// clear, read and overflow while the daemon is killed and started again:
// every event lost is at a gap, and every gap's count is right.
TEST_F(DaemonProcessTest, KilledWhileOthersClearMoveAndOverflowTheLogsEveryLossIsAGap) {
  buses_[1]->WithController(3, [](auto& s) { s.events.set_capacity(120); });
  // No clock setting: the controllers log only the events kept here.
  std::ofstream(dir_ + "/site.toml", std::ios::app) << "[clock]\nset_at_start = false\n";
  std::map<std::string, std::vector<StoredRecord>> logged;
  for (size_t line = 0; line < buses_.size(); ++line) {
    for (uint8_t address : addresses_[line])
      logged[Name(line, address)] = ControllerLog(line, address);
  }
  std::atomic<bool> stop{false};
  std::thread site([&] {
    auto next = std::chrono::steady_clock::now();
    for (uint32_t tick = 0; !stop; ++tick) {
      for (size_t line = 0; line < buses_.size(); ++line) {
        for (uint8_t address : addresses_[line]) {
          buses_[line]->WithController(address, [&](zarvo::sim::ControllerState& s) {
            s.LogEvent(zarvo::sim::kEventCardPresented, 0, tick * 8 + address, 0);
            logged[Name(line, address)].push_back(s.events.records().back());
          });
        }
      }
      if (tick % 40 == 13)
        buses_[tick % 80 == 13 ? 0 : 1]->WithController(1, [](auto& s) { s.events.Clear(); });
      if (tick % 40 == 33) {
        buses_[0]->WithController(2, [](auto& s) {
          for (int i = 0; i < 3 && s.events.position() < s.events.records().size(); ++i)
            s.events.Next();
        });
      }
      next += std::chrono::milliseconds(10);  // the site's pace, not a wait for data
      std::this_thread::sleep_until(next);
    }
  });
  std::mt19937 random(12);
  for (int run = 0; run < 30; ++run) {
    const pid_t pid = Spawn();
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 120000));
    kill(pid, SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(Reap(pid))) << "run " << run;
    // Down long enough for the small log to overflow.
    if (run % 6 == 5) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
  stop = true;
  site.join();
  for (size_t line = 0; line < buses_.size(); ++line) {
    for (uint8_t address : addresses_[line]) {
      SCOPED_TRACE(Name(line, address));
      Drain(line, address);
      std::vector<GapRow> own;
      for (const GapRow& g : Gaps()) {
        // Before the first event journaled, the daemon owns nothing.
        if (g.controller == Name(line, address) && g.after_seq > 0) own.push_back(g);
      }
      ExpectEveryLossAtAGap(logged[Name(line, address)], Journaled(line, address), own);
    }
  }
}

TEST_F(DaemonProcessTest, SigtermFinishesCommitsAndExitsWithinTwoSeconds) {
  StartEvents(150);
  const pid_t pid = Spawn();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const std::vector<std::string> status_args{"status", "--journal", JournalPath()};
  const std::string running = RunToExit(status_args).second;
  EXPECT_NE(running.find("daemon: running (pid " + std::to_string(pid)), std::string::npos)
      << running;
  kill(pid, SIGHUP);  // logged and ignored: the daemon runs on until SIGTERM
  ASSERT_NO_FATAL_FAILURE(ExpectSigtermExitsWithinTwoSeconds(pid));
  const std::string log = ReadText(dir_ + "/zarvod.log");
  EXPECT_NE(log.find("SIGHUP: reloading the site file is not supported"), std::string::npos) << log;
  StopEvents();
  ExpectEveryEventJournaledOnce();
  // Without a daemon nobody knows whether the controllers are online.
  const auto [status_exit, status] = RunToExit(status_args);
  EXPECT_EQ(status_exit, 0);
  EXPECT_NE(status.find("daemon: not running; last ran from"), std::string::npos) << status;
  EXPECT_EQ(status.find(" online "), std::string::npos) << status;
}

// Journals the daemon cannot keep, and a journal another daemon has, stop
// it at start with the reason, while the daemon that has it goes on.
TEST_F(DaemonProcessTest, RefusesToStartOnAJournalItCannotKeep) {
  StartEvents(150);
  const pid_t first = Spawn();
  ASSERT_TRUE(WaitForMoreEvents(0));
  // A journal a former root command left behind, which nobody else may write.
  const std::string root_made = dir_ + "/root-made";
  std::filesystem::create_directory(root_made);
  std::ofstream(root_made + "/journal.db") << "";
  chmod(root_made.c_str(), 0777);
  chmod((root_made + "/journal.db").c_str(), 0444);
  chmod(dir_.c_str(), 0755);  // for nobody to reach the site file
  const std::string site = dir_ + "/site.toml";
  const std::string another = "another zarvod (pid " + std::to_string(first) + ") has the journal";
  const std::string unwritable = root_made + "/journal.db";
  const struct {
    std::string config;
    int exit;
    std::string told;
    std::vector<std::string> more = {};
    std::string cwd = "";
    bool as_nobody = false;
  } cases[] = {
      {site, 1, another},
      // A relative journal path is beside the site file, not in the working directory.
      {SiteFileWith("relative.toml", "path = \"journal.db\""), 1, another, {}, "/"},
      {site, 1, "the journal path is empty", {"--journal", ""}},
      {SiteFileWith("memory.toml", "path = \":memory:\""), 2,
       "memory.toml:4:8: the journal path ':memory:' is not a file name"},
      {SiteFileWith("uri.toml", "path = \"file:journal.db\""), 2,
       "uri.toml:4:8: the journal path 'file:journal.db' is not a file name"},
      {site,
       1,
       "journal " + unwritable + " cannot be written by user ",
       {"--journal", unwritable},
       "",
       geteuid() == 0},
  };
  for (const auto& c : cases) {
    // Root writes any file: that row needs another user, who must reach the
    // program (not so in a tree under a private folder such as /root).
    if (geteuid() == 0 && c.exit == 1 && c.told.rfind("journal ", 0) == 0 &&
        !OthersCanRun(ZARVOD_PATH)) {
      continue;
    }
    std::vector<std::string> args{"run", "--config", c.config};
    args.insert(args.end(), c.more.begin(), c.more.end());
    const auto [code, log] = RunToExit(args, c.cwd, c.as_nobody);
    EXPECT_EQ(code, c.exit) << c.told << "\n" << log;
    EXPECT_NE(log.find(c.told), std::string::npos) << log;
  }
  EXPECT_FALSE(std::filesystem::exists("/journal.db"));
  EXPECT_TRUE(WaitForMoreEvents(JournaledCount()));
  ASSERT_NO_FATAL_FAILURE(ExpectSigtermExitsWithinTwoSeconds(first));
  StopEvents();
  ExpectEveryEventJournaledOnce();
}

// A journal moved away while the daemon runs stops it, and no read position
// passed an event that is not in the moved file.
TEST_F(DaemonProcessTest, StopsWhenItsJournalIsMovedAway) {
  StartEvents(150);
  const pid_t pid = Spawn();
  ASSERT_TRUE(WaitForMoreEvents(0));
  const std::string moved = dir_ + "/moved.db";
  for (const char* suffix : {"-wal", "-shm", ""}) {
    std::filesystem::rename(JournalPath() + suffix, moved + suffix);
  }
  EXPECT_EQ(ExitCodeWithin(pid, 5), 1) << "the daemon goes on with its journal moved away";
  StopEvents();
  const std::string log = ReadText(dir_ + "/zarvod.log");
  EXPECT_NE(log.find("was deleted or moved away while zarvod ran; collection stops"),
            std::string::npos)
      << log;
  std::map<std::string, size_t> journaled;
  std::string error;
  auto reader = JournalReader::Open(moved, error);
  ASSERT_TRUE(reader) << error;
  reader->ForEachEvent(0, 0, [&](const EventRow& e) { ++journaled[e.controller]; });
  for (size_t line = 0; line < buses_.size(); ++line) {
    for (uint8_t address : addresses_[line]) {
      buses_[line]->WithController(address, [&](auto& s) {
        EXPECT_LE(s.events.position(), journaled[Name(line, address)]) << Name(line, address);
      });
    }
  }
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
  // The daemon holds the journal: a command that misses its socket never
  // opens the lines behind its back.
  const auto [missed, missed_status] = Shell(std::string(ZARVOD_PATH) + " acl verify --config " +
                                             config + " --socket " + dir_ + "/elsewhere.sock 2>&1");
  EXPECT_EQ(missed_status, 1) << missed;
  EXPECT_NE(missed.find("in use by zarvod (pid " + std::to_string(pid) + ")"), std::string::npos)
      << missed;

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
    const auto [code, log] =
        RunToExit({"run", "--config", dir_ + "/site.toml", "--socket", row.socket});
    EXPECT_EQ(code, 1) << log;
    EXPECT_NE(log.find(row.reason), std::string::npos) << log;
  }
}

// The built-in site run twice on one journal goes on with the same virtual
// controllers: the second run finds their logs where the first left them
// (no gap) and names their events in words.
TEST_F(DaemonProcessTest, BuiltInSiteRunTwiceOnOneJournalContinuesItsControllers) {
  const std::vector<std::string> sim{"--sim",  "--journal", JournalPath(),
                                     "--rate", "40",        "--unpaced"};
  // What is not a saved state is kept aside, never overwritten.
  std::ofstream(JournalPath() + ".sim-state") << "not a state\n";
  int64_t journaled = 0;
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const pid_t pid = Spawn(sim);
    ASSERT_TRUE(WaitForMoreEvents(journaled + 5));
    ASSERT_NO_FATAL_FAILURE(ExpectSigtermExitsWithinTwoSeconds(pid));
    journaled = JournaledCount();
    for (const GapRow& gap : Gaps()) ADD_FAILURE() << gap.controller << ": " << gap.kind;
  }
  EXPECT_EQ(ReadText(JournalPath() + ".sim-state.unreadable"), "not a state\n");
  const auto [exit, text] = RunToExit({"events", "--journal", JournalPath()});
  EXPECT_EQ(exit, 0);
  EXPECT_NE(text.find("  card presented, door "), std::string::npos) << text;
  const auto [json_exit, json] = RunToExit({"events", "--journal", JournalPath(), "--json"});
  EXPECT_NE(json.find(R"("kind":"card presented","door":)"), std::string::npos) << json;
}

// The site file's names for event values reach every output of zarvod
// events, as CSV and JSON fields that stay whole whatever the words hold.
TEST_F(DaemonProcessTest, EventsShowTheSiteFilesWordsForTheirValues) {
  std::ofstream(dir_ + "/site.toml", std::ios::app)
      << "[event_kinds]\n\"8/0\" = { words = 'card \"gold\", accepted', door = 2, direction = "
         "\"in\" }\n";
  const pid_t pid = Spawn();
  ASSERT_TRUE(WaitForMoreEvents(0));
  ASSERT_NO_FATAL_FAILURE(ExpectSigtermExitsWithinTwoSeconds(pid));
  const auto [exit, csv] = RunToExit({"events", "--journal", JournalPath(), "--csv"});
  EXPECT_EQ(exit, 0);
  std::istringstream lines(csv);
  size_t named = 0, unnamed = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("id,", 0) == 0) {
      EXPECT_NE(line.find(",raw,kind,door,direction"), std::string::npos) << line;
    } else if (line.find(",8,0,") != std::string::npos) {
      named += line.ends_with(R"(,"card ""gold"", accepted",2,in)");
    } else {
      unnamed += line.ends_with(",,,");
    }
  }
  EXPECT_GT(named, 0u) << csv;
  EXPECT_GT(unnamed, 0u) << csv;
  const auto [json_exit, json] = RunToExit({"events", "--journal", JournalPath(), "--json"});
  EXPECT_NE(json.find(R"("kind":"card \"gold\", accepted","door":2,"direction":"in"})"),
            std::string::npos)
      << json;
}

}  // namespace
}  // namespace zarvod::testing
