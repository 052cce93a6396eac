// The line's worker: commands from other threads run on it ahead of
// polling, and each one lands in the audit trail.
#include "site/line_worker.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "journal/journal_reader.h"
#include "journal/statement.h"
#include "site/stall_watch.h"
#include "site_fixture.h"

namespace zarvod::testing {
namespace {

class LineWorkerTest : public VirtualSiteTest {
 protected:
  // Until the worker, on its own thread, has journaled the controller's
  // whole log; false after 15 s.
  bool EventuallyJournaled(uint8_t address) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (Journaled(0, address) != ControllerLog(0, address)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
};

TEST_F(LineWorkerTest, CommandsRunAheadOfACollectionInProgressAndAreAudited) {
  LogEvents(0, 1, 300);
  LineWorker worker("test", Config().lines[0], *journal_, 10);
  worker.Start();
  // The first command waits at most for the line to open; the second is
  // queued while the 300 events are being collected and runs before the
  // collection ends.
  std::future<int32_t> probe = worker.Submit(
      {"test", "probe 1", 1, [](ZarvoLine* line) { return Zarvo_LineSearchAR(line, 1); }});
  EXPECT_EQ(probe.get(), ZARVO_OK);
  size_t position_seen = 0;
  std::future<int32_t> open = worker.Submit(
      {"test", "open door 0 of C0.1", 1, [&](ZarvoLine* line) {
         buses_[0]->WithController(1, [&](auto& s) { position_seen = s.events.position(); });
         return Zarvo_LineRemoteOpenDoor(line, 1, 0, 0);
       }});
  EXPECT_EQ(open.get(), ZARVO_OK);
  EXPECT_LT(position_seen, 300u);
  worker.RequestStop();
  worker.Join();
  EXPECT_EQ(worker.Submit({"test", "late", 1, [](ZarvoLine*) { return 0; }}).get(), kCommandNotRun);

  auto lock = journal_->Lock();
  Statement audit(journal_->db(), "SELECT who, what, result, line FROM audit ORDER BY id");
  ASSERT_EQ(audit.Step(), SQLITE_ROW);
  EXPECT_EQ(audit.Text(1), "probe 1");
  ASSERT_EQ(audit.Step(), SQLITE_ROW);
  EXPECT_EQ(audit.Text(0), "test");
  EXPECT_EQ(audit.Text(1), "open door 0 of C0.1");
  EXPECT_EQ(audit.Int(2), 0);
  EXPECT_EQ(audit.Text(3), LineName(0));
  EXPECT_EQ(audit.Step(), SQLITE_DONE);
}

TEST_F(LineWorkerTest, APortThatCannotOpenFailsCommandsAndStillStops) {
  LineConfig unopenable = Config().lines[0];
  unopenable.port = "/dev/null";  // not a serial port: every open fails
  LineWorker worker("test", unopenable, *journal_, 10);
  worker.Start();
  // Neither waits for an open that may never come: a clock keeper or a
  // remote door-open would hang, and stopping the daemon with it.
  for (int i = 0; i < 2; ++i) {
    std::future<int32_t> probe = worker.Submit(
        {"test", "probe 1", 1, [](ZarvoLine* line) { return Zarvo_LineSearchAR(line, 1); }});
    EXPECT_EQ(probe.get(), kCommandNotRun);
  }
  worker.RequestStop();
  worker.Join();
}

// A port that stays unopenable is named in the log once per reason, not at
// every try: first missing, then a file that is no serial port.
TEST_F(LineWorkerTest, APortThatCannotOpenIsLoggedOncePerReason) {
  LineConfig missing = Config().lines[0];
  missing.port = dir_ + "/ttyNotThere";
  LineWorker worker("test", missing, *journal_, 10);
  worker.set_open_backoff({std::chrono::milliseconds(1), std::chrono::milliseconds(1)});
  auto failed_at_least = [&worker](uint32_t tries) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (worker.failed_opens() < tries) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  };
  ::testing::internal::CaptureStderr();
  worker.Start();
  const bool missing_tried = failed_at_least(5);
  std::ofstream(missing.port) << "a plain file\n";
  const bool file_tried = missing_tried && failed_at_least(worker.failed_opens() + 5);
  worker.RequestStop();
  worker.Join();
  const std::string log = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(file_tried) << log;
  size_t reports = 0;
  for (size_t at = log.find("cannot open"); at != std::string::npos;
       at = log.find("cannot open", at + 1)) {
    ++reports;
  }
  EXPECT_EQ(reports, 2U) << log;
}

// The service watchdog is fed while the line keeps turning, a silent
// controller included, and not while a call on the line blocks; the stalled
// line and its step are named.
TEST_F(LineWorkerTest, AStepThatNeverEndsStopsTheWatchdogFeed) {
  LineConfig silent = Config().lines[0];
  silent.controllers.push_back({9, "Silent", {}});  // no controller answers at 9
  LineWorker worker("test", silent, *journal_, 10);
  worker.Start();
  int fed = 0;
  StallWatch watch({{"line " + silent.name, &worker.heartbeat()}}, std::chrono::seconds(2),
                   [&] { ++fed; });
  // A command queued behind turns that include the silent controller's.
  EXPECT_EQ(
      worker.Submit({"test", "probe", 1, [](ZarvoLine* l) { return Zarvo_LineSearchAR(l, 1); }})
          .get(),
      ZARVO_OK);
  EXPECT_TRUE(watch.Check(Heartbeat::Clock::now()).empty());
  std::promise<void> release;
  std::promise<void> hanging;
  std::future<int32_t> blocked =
      worker.Submit({"test", "a call that hangs", 1,
                     [released = release.get_future().share(), &hanging](ZarvoLine*) {
                       hanging.set_value();
                       released.wait();
                       return 0;
                     }});
  hanging.get_future().wait();
  // Judged as three seconds from now, while the call still hangs.
  const std::vector<std::string> stalled =
      watch.Check(Heartbeat::Clock::now() + std::chrono::seconds(3));
  ASSERT_EQ(stalled.size(), 1U);
  EXPECT_NE(stalled[0].find("line line0: a command from test: a call that hangs for 3 s"),
            std::string::npos)
      << stalled[0];
  EXPECT_EQ(fed, 1);
  release.set_value();
  blocked.wait();
  EXPECT_TRUE(watch.Check(Heartbeat::Clock::now()).empty());
  EXPECT_EQ(fed, 2);
  worker.RequestStop();
  worker.Join();
}

// A controller the journal could not look up at start is looked up again
// and then polled like the others.
TEST_F(LineWorkerTest, AControllerWhoseLookupFailedAtStartIsPolledOnceItSucceeds) {
  auto exec = [this](const char* sql) {
    auto lock = journal_->Lock();
    ASSERT_TRUE(Exec(journal_->db(), sql));
  };
  exec(
      "CREATE TRIGGER no_lookup BEFORE INSERT ON controllers WHEN NEW.address = 1 "
      "BEGIN SELECT RAISE(FAIL, 'busy'); END");
  LogEvents(0, 1, 3, 100);
  LogEvents(0, 2, 3, 100);
  LineWorker worker("test", Config().lines[0], *journal_, 10);
  worker.Start();
  // The other controller's events show the lookups are over.
  EXPECT_TRUE(EventuallyJournaled(2));
  exec("DROP TRIGGER no_lookup");
  EXPECT_TRUE(EventuallyJournaled(1));
  worker.RequestStop();
  worker.Join();
}

// A serial device unplugged and back, perhaps as another device behind the
// same name: the port is opened again, collection goes on, and it counts.
TEST_F(LineWorkerTest, ASerialDeviceThatGoesAwayIsOpenedAgainWhenItIsBack) {
  const std::string link = dir_ + "/ttyUSB0";
  ASSERT_EQ(symlink(buses_[0]->device_name().c_str(), link.c_str()), 0);
  LineConfig line = Config().lines[0];
  line.port = link;
  LineWorker worker("test", line, *journal_, 10);
  worker.Start();
  EXPECT_TRUE(EventuallyJournaled(1));
  buses_[0]->Stop();
  std::filesystem::remove(link);
  ASSERT_TRUE(buses_[0]->Start());
  ASSERT_EQ(symlink(buses_[0]->device_name().c_str(), link.c_str()), 0);
  LogEvents(0, 1, 3, 100);
  EXPECT_TRUE(EventuallyJournaled(1));
  worker.RequestStop();
  worker.Join();
  auto lock = journal_->Lock();
  Statement counters(journal_->db(), "SELECT counters FROM line_counters ORDER BY rowid DESC");
  ASSERT_EQ(counters.Step(), SQLITE_ROW);
  EXPECT_NE(counters.Text(0).find("\"reopens\":1"), std::string::npos) << counters.Text(0);
}

}  // namespace
}  // namespace zarvod::testing
