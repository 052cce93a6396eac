// Time tables, the holiday list and the chain table end to end: the
// exported functions against the virtual controller, which must really keep
// what was written; and the controller's own checks on what it is sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "commands/chain_table.h"
#include "commands/command_codes.h"
#include "commands/holiday_table.h"
#include "commands/week_tables.h"
#include "handlers.h"
#include "line/line.h"
#include "line/line_transports.h"
#include "sim_fixture.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using Day = std::array<int32_t, 33>;
using Date = std::array<int32_t, 2>;
using Group = std::array<int32_t, 5>;

Day OnePeriod(int32_t day, int32_t h1, int32_t m1, int32_t h2, int32_t m2) {
  Day d{};
  d[0] = day;
  d[1] = h1;
  d[2] = m1;
  d[3] = h2;
  d[4] = m2;
  return d;
}

class TablesTest : public testing::SimTest {
 protected:
  // Closes the default line and runs `check` on a new line of its own, whose
  // caches start empty; true when the check passed there.
  bool OnFreshLine(const std::function<bool(Line&)>& check) {
    Zarvo_CloseCom();
    LineTransports transports;
    MonotonicClock clock;
    Line fresh(transports, clock);
    if (fresh.Open(bus_.device_name().c_str(), 9600) != 0) return false;
    return check(fresh);
  }
};

TEST_F(TablesTest, FactoryOfficeHoursTakeOneReadForTheWholeWeekEvenAcrossReopening) {
  Day day{};
  for (int32_t d = 0; d < 7; ++d) {
    day[0] = d;
    ASSERT_EQ(Zarvo_TimeTable(1, 0, day.data(), 0), ZARVO_OK);
    EXPECT_EQ(day, d < 5 ? OnePeriod(d, 8, 0, 18, 0) : Day{d}) << "day " << d;
  }
  // The cache outlives closing and reopening the port.
  Zarvo_CloseCom();
  ASSERT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 9600), ZARVO_OK);
  day[0] = 4;
  ASSERT_EQ(Zarvo_TimeTable(1, 0, day.data(), 0), ZARVO_OK);
  EXPECT_EQ(day, OnePeriod(4, 8, 0, 18, 0));
  EXPECT_EQ(Requests(), 1u);
}

TEST_F(TablesTest, WrittenDaysAreKeptByTheController) {
  using Export = int32_t (*)(int32_t, int32_t, int32_t*, int32_t);
  using Worker = int32_t (*)(Line&, int32_t, int32_t, int32_t*, int32_t);
  struct Case {
    Export write;
    Worker read;
    int32_t table;
    int32_t day;  // holiday time tables always use day 0
  };
  const Case cases[] = {
      {Zarvo_TimeTable, TimeTable, 15, 2},
      {Zarvo_HolidayTimeTable, HolidayTimeTable, 7, 0},
      {Zarvo_AlwaysOpenOfWeek, AlwaysOpenOfWeek, 3, 6},
  };
  for (const Case& c : cases) {
    Day day = OnePeriod(c.day, 6, 45, 22, 15);
    ASSERT_EQ(c.write(1, c.table, day.data(), 1), ZARVO_OK);
  }
  EXPECT_TRUE(OnFreshLine([&](Line& s) {
    for (const Case& c : cases) {
      Day day{};
      day[0] = c.day;
      if (c.read(s, 1, c.table, day.data(), 0) != 0) return false;
      if (day != OnePeriod(c.day, 6, 45, 22, 15)) return false;
      day[0] = c.day == 0 ? 1 : 0;  // the other days were carried over
      if (c.read == TimeTable && (c.read(s, 1, c.table, day.data(), 0) != 0 || day != Day{0})) {
        return false;
      }
    }
    // The other controller on the line kept its own tables.
    Day other{};
    return TimeTable(s, 2, 15, other.data(), 0) == 0 && other == Day{};
  }));
}

TEST_F(TablesTest, HolidayEntryWrittenIsKeptAndTheRestCarriedOver) {
  Date date = {8, 15};
  ASSERT_EQ(Zarvo_HolidayTable(1, 9, date.data(), 1), ZARVO_OK);
  EXPECT_EQ(Requests(), 2u);
  EXPECT_TRUE(OnFreshLine([](Line& s) {
    Date written{}, first{}, christmas{};
    return HolidayTable(s, 1, 9, written.data(), 0) == 0 && written == Date{8, 15} &&
           HolidayTable(s, 1, 0, first.data(), 0) == 0 && first == Date{1, 1} &&
           HolidayTable(s, 1, 3, christmas.data(), 0) == 0 && christmas == Date{12, 25};
  }));
}

TEST_F(TablesTest, RefusedHolidayWriteLeavesControllerAndCacheAsTheyWere) {
  Date date = {13, 45};
  EXPECT_EQ(Zarvo_HolidayTable(1, 3, date.data(), 1), ZARVO_E_REFUSED);
  ASSERT_EQ(Zarvo_HolidayTable(1, 3, date.data(), 0), ZARVO_OK);
  EXPECT_EQ(date, (Date{12, 25}));
  EXPECT_EQ(Requests(), 2u);  // the read back came from the cache
  bus_.WithController(1, [](sim::ControllerState& c) {
    EXPECT_EQ(c.tables.holidays[6], 0x12);
    EXPECT_EQ(c.tables.holidays[7], 0x25);
  });
}

TEST_F(TablesTest, ChainWriteChangesOnlyTheGroupItCarries) {
  Group group = {33, 4, 5, 6, 0x1234};
  ASSERT_EQ(Zarvo_ChianTable(1, group.data(), 1, 1), ZARVO_OK);
  EXPECT_EQ(group, (Group{1, 4, 5, 6, 0x1234}));
  Group first{}, second{};
  ASSERT_EQ(Zarvo_ChianTable(1, first.data(), 0, 0), ZARVO_OK);
  ASSERT_EQ(Zarvo_ChianTable(1, second.data(), 1, 0), ZARVO_OK);
  EXPECT_EQ(first, (Group{1, 2, 0, 0, 30}));  // as the controller left the factory
  EXPECT_EQ(second, (Group{1, 4, 5, 6, 0x1234}));
  EXPECT_EQ(Requests(), 4u);  // read and write, then a read for each group
}

TEST_F(TablesTest, MissingRecordIsRejectedWithoutAnExchange) {
  EXPECT_EQ(Zarvo_TimeTable(1, 0, nullptr, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_HolidayTimeTable(1, 0, nullptr, 1), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_AlwaysOpenOfWeek(1, 0, nullptr, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_HolidayTable(1, 0, nullptr, 1), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_ChianTable(1, nullptr, 0, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Requests(), 0u);
}

TEST_F(TablesTest, TruncatedHolidayListIsNotTakenForTheControllers) {
  sim::Fault fault;
  fault.kind = sim::FaultKind::kTruncate;
  fault.bytes = 40;
  bus_.InjectFault(fault);
  Date date = {7, 7};
  EXPECT_EQ(Zarvo_HolidayTable(1, 126, date.data(), 1), ZARVO_E_SHORT_REPLY);
  EXPECT_EQ(Requests(), 1u);  // nothing written over the controller's list
  EXPECT_EQ(Zarvo_HolidayTable(1, 126, date.data(), 0), ZARVO_OK);
  EXPECT_EQ(Requests(), 2u);  // read again, in full
  EXPECT_EQ(date, (Date{1, 1}));
}

// The controller's own checks, straight through its handlers.
class TableHandlersTest : public ::testing::Test {
 protected:
  uint8_t Status(Bytes body) {
    sim::Request request{body[1], body[2], body};
    sim::Reply reply;
    sim::Handlers()[body[2]](state_, request, reply);
    payload_ = reply.payload;
    return reply.status;
  }
  static Bytes Body(uint8_t code, Bytes params) {
    params.insert(params.begin(), {0x80, 0x01, code});
    return params;
  }
  static Bytes WeekWrite(uint8_t code, uint8_t table, size_t bytes = 224) {
    Bytes params(1 + bytes, 0);
    params[0] = table;
    return Body(code, params);
  }
  static Bytes HolidayWrite(size_t bytes = 256) { return Body(kCmdWriteHolidays, Bytes(bytes, 0)); }
  // `body` with the given bytes replaced.
  static Bytes With(Bytes body, std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
    for (auto [at, value] : bytes) body[at] = value;
    return body;
  }

  sim::ControllerState state_{1};
  Bytes payload_;
};

TEST_F(TableHandlersTest, TableNumbersBeyondEachKindAreRefused) {
  struct Case {
    uint8_t read, write, count;
  };
  for (Case c : {Case{kCmdReadTimeTable, kCmdWriteTimeTable, 16},
                 Case{kCmdReadHolidayTimeTable, kCmdWriteHolidayTimeTable, 8},
                 Case{kCmdReadAlwaysOpen, kCmdWriteAlwaysOpen, 8}}) {
    EXPECT_EQ(Status(Body(c.read, {static_cast<uint8_t>(c.count - 1)})), 0);
    EXPECT_EQ(payload_.size(), 256u);
    EXPECT_NE(Status(Body(c.read, {c.count})), 0);
    EXPECT_EQ(Status(WeekWrite(c.write, static_cast<uint8_t>(c.count - 1))), 0);
    EXPECT_NE(Status(WeekWrite(c.write, c.count)), 0);
  }
}

TEST_F(TableHandlersTest, MalformedWritesAreRefusedAndChangeNothing) {
  const Bytes bodies[] = {
      With(WeekWrite(kCmdWriteTimeTable, 0), {{4 + 4 * 3, 0x24}}),  // day 0, period 3: hour 24
      With(WeekWrite(kCmdWriteTimeTable, 0), {{4 + 1, 0x1A}}),      // not a decimal minute
      WeekWrite(kCmdWriteTimeTable, 0, 223),
      With(HolidayWrite(), {{3 + 8, 0x13}, {3 + 9, 0x01}}),  // month 13
      With(HolidayWrite(), {{3, 0x05}}),                     // a month without a day
      HolidayWrite(255),
      Body(kCmdWriteChain, {32, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}),
      Body(kCmdWriteChain, {1, 2, 3, 4, 0, 1}),
      Body(kCmdWriteChain, Bytes(12, 0)),
  };
  const sim::TableStore before = state_.tables;
  for (const auto& body : bodies) EXPECT_NE(Status(body), 0) << int{body[2]};
  EXPECT_EQ(state_.tables.holidays, before.holidays);
  EXPECT_EQ(state_.tables.chain, before.chain);
  ASSERT_EQ(Status(Body(kCmdReadTimeTable, {0})), 0);
  EXPECT_EQ(payload_[1], 0x00);  // factory 08:00 still there
  EXPECT_EQ(payload_[0], 0x08);
}

}  // namespace
}  // namespace zarvo
