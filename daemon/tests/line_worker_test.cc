// The line's worker: commands from other threads run on it ahead of
// polling, and each one lands in the audit trail.
#include "site/line_worker.h"

#include <gtest/gtest.h>

#include "journal/journal_reader.h"
#include "journal/statement.h"
#include "site_fixture.h"

namespace zarvod::testing {
namespace {

class LineWorkerTest : public VirtualSiteTest {};

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

}  // namespace
}  // namespace zarvod::testing
