// Clock setting on a fake wall clock: at start, right after daylight saving
// starts or ends in the site's zone, daily, and again for a controller that
// failed; the drift estimate from event times; and a real setting of
// virtual controllers' clocks.
#include "clock_keeper.h"

#include <gtest/gtest.h>

#include <future>
#include <map>

#include "clock_drift.h"
#include "clocks/site_adapters.h"
#include "site/site.h"
#include "tests/site_fixture.h"
#include "time_zone.h"

namespace zarvod::clocks {
namespace {

// Jumps to the time waited for; ends the run after `waits` waits. The
// daily setting is at 04:00 local time in these tests.
class FakeWallClock : public WallClock {
 public:
  FakeWallClock(std::time_t start, int waits) : now_(start), waits_left_(waits) {}
  std::time_t Now() override { return now_; }
  bool WaitUntil(std::time_t when, std::stop_token) override {
    if (waits_left_-- <= 0) return false;
    now_ = std::max(now_, when);
    return true;
  }

 private:
  std::time_t now_;
  int waits_left_;
};

// Answers with the results queued per controller, then 0.
class ScriptedSetter : public ClockSetter {
 public:
  int32_t SetClock(const ClockTarget& t, std::stop_token) override {
    auto& queue = results[t.controller];
    if (queue.empty()) return ZARVO_OK;
    const int32_t r = queue.front();
    queue.erase(queue.begin());
    return r;
  }
  std::map<std::string, std::vector<int32_t>> results;
};

// SIGTERM as each setting starts; then answers as `inner` would, or not at all.
struct StopOnEachSetting : ClockSetter {
  int32_t SetClock(const ClockTarget& t, std::stop_token token) override {
    ++calls;
    stop.request_stop();
    return inner ? inner->SetClock(t, token) : ZARVO_E_NO_REPLY;
  }
  std::stop_source stop;
  ClockSetter* inner = nullptr;
  int calls = 0;
};

std::time_t Utc(const char* text) {
  std::tm tm{};
  strptime(text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return timegm(&tm);
}

std::string UtcText(std::time_t t) {
  char text[32];
  std::tm tm{};
  gmtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::vector<std::string> Settings(const char* zone, const char* start, int waits,
                                  ScriptedSetter& setter, size_t targets = 1) {
  EXPECT_EQ(UseTimeZone(zone), "");
  std::vector<ClockTarget> list;
  for (size_t i = 0; i < targets; ++i) list.push_back({"c" + std::to_string(i), "line0", 1});
  FakeWallClock clock(Utc(start), waits);
  std::vector<std::string> seen;
  ClockKeeper keeper(list, setter, clock, ClockPolicy{true, true, 4, 0, 300},
                     [&](const ClockSetting& s) {
                       seen.push_back(UtcText(s.at) + " " + ClockReasonName(s.reason) + " " +
                                      s.controller + (s.result == ZARVO_OK ? "" : " failed"));
                     });
  keeper.Run({});
  return seen;
}

TEST(ClockKeeper, SetsAtStartAfterEachOffsetChangeAndDaily) {
  const struct {
    const char* zone;
    const char* start;
    std::vector<std::string> expected;
  } cases[] = {
      {"Europe/Berlin",
       "2026-03-28T23:30:00Z",  // 00:30 CET, summer time at 02:00
       {"2026-03-28T23:30:00Z start c0", "2026-03-29T01:00:00Z offset change c0",
        "2026-03-29T02:00:00Z daily c0", "2026-03-30T02:00:00Z daily c0"}},
      {"Europe/Berlin",
       "2026-10-24T23:30:00Z",  // 01:30 CEST, back to 02:00 at 03:00
       {"2026-10-24T23:30:00Z start c0", "2026-10-25T01:00:00Z offset change c0",
        "2026-10-25T03:00:00Z daily c0", "2026-10-26T03:00:00Z daily c0"}},
      {"America/New_York",
       "2026-03-08T05:00:00Z",
       {"2026-03-08T05:00:00Z start c0", "2026-03-08T07:00:00Z offset change c0",
        "2026-03-08T08:00:00Z daily c0", "2026-03-09T08:00:00Z daily c0"}},
      {"Asia/Tokyo",
       "2026-03-28T15:30:00Z",  // no daylight saving
       {"2026-03-28T15:30:00Z start c0", "2026-03-28T19:00:00Z daily c0",
        "2026-03-29T19:00:00Z daily c0", "2026-03-30T19:00:00Z daily c0"}},
  };
  for (const auto& c : cases) {
    ScriptedSetter setter;
    EXPECT_EQ(Settings(c.zone, c.start, 3, setter), c.expected) << c.zone << " " << c.start;
  }
}

TEST(ClockKeeper, RetriesOnlyTheControllerThatFailed) {
  ScriptedSetter setter;
  setter.results["c1"] = {ZARVO_E_NO_REPLY, ZARVO_E_NO_REPLY};
  const std::vector<std::string> expected = {
      "2026-06-01T10:00:00Z start c0",        "2026-06-01T10:00:00Z start c1 failed",
      "2026-06-01T10:05:00Z retry c1 failed", "2026-06-01T10:10:00Z retry c1",
      "2026-06-02T02:00:00Z daily c0",        "2026-06-02T02:00:00Z daily c1"};
  EXPECT_EQ(Settings("Europe/Berlin", "2026-06-01T10:00:00Z", 3, setter, 2), expected);
}

TEST(ClockKeeper, UnknownZoneIsRefused) {
  EXPECT_NE(UseTimeZone("Europe/Atlantis"), "");
  EXPECT_NE(UseTimeZone("../../etc/passwd"), "");
  // Files of the tz folder that hold no zone: TZ would run them in UTC.
  EXPECT_NE(UseTimeZone("zone.tab"), "");
  EXPECT_NE(UseTimeZone("tzdata.zi"), "");
}

// A stop during the start setting of many silent controllers ends the run
// after the setting in progress, not after all of them.
TEST(ClockKeeper, StopEndsTheStartSettingAtOnce) {
  StopOnEachSetting setter;
  FakeWallClock clock(Utc("2026-06-01T10:00:00Z"), 3);
  ClockKeeper keeper(std::vector<ClockTarget>(20, ClockTarget{"c", "line0", 1}), setter, clock,
                     ClockPolicy{}, nullptr);
  keeper.Run(setter.stop.get_token());
  EXPECT_EQ(setter.calls, 1);
}

TEST(ClockDrift, BoundsFromTheEventAndTheTwoReads) {
  ASSERT_EQ(UseTimeZone("Europe/Berlin"), "");
  const std::time_t read = Utc("2026-12-07T12:00:05Z");  // 13:00:05 local
  const struct {
    const char* date;
    const char* time;
    std::time_t previous;
    bool measurable;
    bool drifted;
    const char* text;
  } cases[] = {
      {"2026-12-07", "13:00:20", read - 5, true, true, "15 s to 20 s ahead"},
      {"2026-12-07", "13:00:03", read - 5, true, false, "within 2 s behind and 3 s ahead"},
      {"2026-12-07", "12:59:00", read - 5, true, true, "60 s to 65 s behind"},
      {"2026-12-07", "13:00:20", 0, false, false, "cannot be measured: no complete read"},
      {"2026-10-25", "02:30:00", read - 5, false, false, "cannot be measured: the event's"},
  };
  for (const auto& c : cases) {
    const DriftEstimate d = EstimateDrift({c.date, c.time, read, c.previous}, 10);
    EXPECT_EQ(d.measurable, c.measurable) << c.time;
    EXPECT_EQ(d.drifted, c.drifted) << c.time;
    EXPECT_EQ(d.text.rfind(c.text, 0), 0U) << d.text;
  }
}

class ClockOnSiteTest : public testing::VirtualSiteTest {
 protected:
  ClockOnSiteTest() : VirtualSiteTest({{1, 2}, {1}}) {}
};

// A stop while a setting waits behind a long step of its line (a slow block
// read) ends the wait at once; the setting is dropped when the line stops.
TEST_F(ClockOnSiteTest, StopDoesNotWaitForABusyLine) {
  Site site(Config(), *journal_);
  site.Start();
  std::promise<void> release;
  std::promise<void> busy;
  site.Line(LineName(0))
      ->Submit(
          {"test", "a long step", 1, [&busy, released = release.get_future().share()](ZarvoLine*) {
             busy.set_value();
             released.wait();
             return 0;
           }});
  busy.get_future().wait();
  SiteClockSetter<Site> site_setter(site);
  StopOnEachSetting setter;
  setter.inner = &site_setter;
  FakeWallClock wall(std::time(nullptr), 0);
  ClockKeeper keeper(TargetsFromConfig(Config()), setter, wall, PolicyFromConfig(Config()),
                     nullptr);
  std::future<void> run =
      std::async(std::launch::async, [&] { keeper.Run(setter.stop.get_token()); });
  EXPECT_EQ(run.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  release.set_value();
  run.wait();
  site.Stop();
}

TEST_F(ClockOnSiteTest, StartSetsEveryControllersClockThroughTheLineQueues) {
  Site site(Config(), *journal_);
  site.Start();
  buses_[1]->WithController(1, [](zarvo::sim::ControllerState& s) {
    s.clock.Set({2001, 1, 1, 0, 0, 0, 1});  // far off
  });
  SiteClockSetter<Site> setter(site);
  FakeWallClock wall(std::time(nullptr), 0);  // the start setting only
  std::vector<ClockSetting> seen;
  ClockKeeper keeper(TargetsFromConfig(Config()), setter, wall, PolicyFromConfig(Config()),
                     [&](const ClockSetting& s) { seen.push_back(s); });
  keeper.Run({});
  ASSERT_EQ(seen.size(), 3U);
  for (const ClockSetting& s : seen) EXPECT_EQ(s.result, ZARVO_OK) << s.controller;
  site.Stop();
  sqlite3_stmt* last = nullptr;
  ASSERT_EQ(
      sqlite3_prepare_v2(JournalDb(), "SELECT who || ': ' || what FROM audit ORDER BY id DESC", -1,
                         &last, nullptr),
      SQLITE_OK);
  ASSERT_EQ(sqlite3_step(last), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(last, 0)),
               "clocks: set the clock of C1.1");
  sqlite3_finalize(last);
  buses_[1]->WithController(1, [](zarvo::sim::ControllerState& s) {
    EXPECT_EQ(s.clock.Now().year, zarvo::sim::LocalNow().year);
    EXPECT_EQ(s.clock.Now().day, zarvo::sim::LocalNow().day);
  });
}

}  // namespace
}  // namespace zarvod::clocks
