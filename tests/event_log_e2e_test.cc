// The event log through the exported functions against the virtual
// controller: block reads, the read position, clear and restore.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands/command_codes.h"
#include "commands/event_format.h"
#include "handlers.h"
#include "saved_state.h"
#include "sim_fixture.h"

namespace zarvo {
namespace {

using testing::SimTest;

// The record the library makes of a stored one.
EventRecord Converted(const sim::StoredEvent& stored) {
  EventRecord r{};
  FormatEvent(stored.data(), r);
  return r;
}

bool Same(const EventRecord& a, const EventRecord& b) {
  return std::strcmp(a.number1, b.number1) == 0 && std::strcmp(a.number2, b.number2) == 0 &&
         std::strcmp(a.date, b.date) == 0 && std::strcmp(a.time, b.time) == 0 &&
         a.value1 == b.value1 && a.value2 == b.value2;
}

sim::StoredEvent Numbered(uint32_t n) {
  return sim::MakeStoredEvent(sim::DateTime{2020, 1, 2, 3, 4, 5, 4}, sim::kEventCardPresented, 0, n,
                              0);
}

class EventLogE2eTest : public SimTest {
 protected:
  std::vector<sim::StoredEvent> Log(uint8_t address = 1) {
    std::vector<sim::StoredEvent> log;
    bus_.WithController(address, [&](sim::ControllerState& s) { log = s.events.records(); });
    return log;
  }
  // Replaces the log of controller 1 with records numbered 1 to `count`.
  void FillLog(uint32_t count) {
    bus_.WithController(1, [&](sim::ControllerState& s) {
      s.events = sim::EventLog{};
      for (uint32_t n = 1; n <= count; ++n) s.events.Append(Numbered(n));
    });
  }
  void Append(uint32_t n) {
    bus_.WithController(1, [&](sim::ControllerState& s) { s.events.Append(Numbered(n)); });
  }

  std::vector<EventRecord> records_ = std::vector<EventRecord>(192);
};

TEST_F(EventLogE2eTest, StartsWithAHistoryReadableAsOneBlock) {
  const std::vector<sim::StoredEvent> log = Log();
  ASSERT_FALSE(log.empty());
  ASSERT_EQ(Zarvo_ReadRecordOfBlock(1, 0, records_.data()), static_cast<int32_t>(log.size()));
  for (size_t i = 0; i < log.size(); ++i) EXPECT_TRUE(Same(records_[i], Converted(log[i]))) << i;
}

TEST_F(EventLogE2eTest, BlocksHold192RecordsAndEndWithAShortOne) {
  FillLog(200);
  EXPECT_EQ(Zarvo_ReadRecordOfBlock(1, 0, records_.data()), 192);
  EXPECT_STREQ(records_[0].number1, "00000001");
  EXPECT_STREQ(records_[191].number1, "00000192");
  EXPECT_EQ(Zarvo_ReadRecordOfBlock(1, 1, records_.data()), 8);
  EXPECT_STREQ(records_[7].number1, "00000200");
  EXPECT_EQ(Zarvo_ReadRecordOfBlock(1, 2, records_.data()), 0);
  EXPECT_EQ(Zarvo_ReadRecordOfBlock(1, 255, records_.data()), 0);
}

TEST_F(EventLogE2eTest, ReadOneAndMoveNextWalkTheLogToItsEnd) {
  FillLog(2);
  EventRecord r{};
  EXPECT_EQ(Zarvo_ReadOne(1, &r), ZARVO_OK);
  EXPECT_STREQ(r.number1, "00000001");
  EXPECT_EQ(Zarvo_ReadOne(1, &r), ZARVO_OK);  // reading does not move on
  EXPECT_STREQ(r.number1, "00000001");
  EXPECT_EQ(Zarvo_MoveNext(1, &r), ZARVO_OK);
  EXPECT_STREQ(r.number1, "00000002");

  // Past the last record the controller answers with an empty record...
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Zarvo_MoveNext(1, &r), ZARVO_OK);
    EXPECT_STREQ(r.date, "2000-00-00");
  }
  // ...until something new is logged, which becomes the current record.
  Append(3);
  EXPECT_EQ(Zarvo_ReadOne(1, &r), ZARVO_OK);
  EXPECT_STREQ(r.number1, "00000003");
}

TEST_F(EventLogE2eTest, ClearEmptiesTheLogAndRestoreBringsItBack) {
  FillLog(3);
  EXPECT_EQ(Zarvo_ClearRecord(1), ZARVO_OK);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(Zarvo_ReadRecordOfBlock(1, 0, records_.data()), 0);
  EventRecord r{};
  EXPECT_EQ(Zarvo_ReadOne(1, &r), ZARVO_OK);
  EXPECT_STREQ(r.date, "2000-00-00");

  Append(4);  // logged after the clear, kept behind the restored records
  EXPECT_EQ(Zarvo_RestoreRecord(1), ZARVO_OK);
  ASSERT_EQ(Zarvo_ReadRecordOfBlock(1, 0, records_.data()), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(records_[i].number1, "0000000" + std::to_string(i + 1));
  EXPECT_EQ(Zarvo_ReadOne(1, &r), ZARVO_OK);
  EXPECT_STREQ(r.number1, "00000001");
}

// A virtual controller saved and started again is found as it was left:
// the log, its read position, what a clear set aside, cards and clock.
TEST_F(EventLogE2eTest, SavedControllersComeBackAsTheyWereLeft) {
  FillLog(3);
  EventRecord r{};
  ASSERT_EQ(Zarvo_MoveNext(1, &r), ZARVO_OK);
  ASSERT_EQ(Zarvo_ClearRecord(2), ZARVO_OK);
  bus_.WithController(2, [](sim::ControllerState& s) {
    s.cards.Put(sim::SingleCard{123456, {0x26, 0x12, 0x31}, {0x12, 0x34, 0x56}, 1, 2, 5, 18});
    s.cards.Put(sim::DoubleCard{7, 8, {0x27, 0x01, 0x01}, 3, 1});
    s.clock.set_offset_seconds(-3600);
  });
  const std::string saved = sim::SaveBusState(bus_);
  sim::VirtualBus again({1, 2});
  std::string error;
  ASSERT_TRUE(sim::LoadBusState(again, saved, error)) << error;
  EXPECT_EQ(sim::SaveBusState(again), saved);
  again.WithController(1, [](sim::ControllerState& s) {
    EXPECT_EQ(s.events.records().size(), 3u);
    EXPECT_EQ(s.events.position(), 1u);
  });
  again.WithController(2, [](sim::ControllerState& s) {
    EXPECT_EQ(s.events.set_aside(), sim::ControllerState(2).events.records().size());
    ASSERT_NE(s.cards.FindSingle(123456), nullptr);
    EXPECT_EQ(s.cards.FindSingle(123456)->registered_by, 18);
    EXPECT_NE(s.cards.FindDouble(7, 8), nullptr);
    EXPECT_EQ(s.clock.offset_seconds(), -3600);
  });
  // Text that is not a saved state changes nothing and names its line.
  EXPECT_FALSE(sim::LoadBusState(again, "controller 1\nlog-position 0\nevent 00zz\n", error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_EQ(sim::SaveBusState(again), saved);
}

TEST_F(EventLogE2eTest, NullPointersAndRestoreMaxRecordSendNothing) {
  const uint64_t before = Requests();
  EXPECT_EQ(Zarvo_ReadRecordOfBlock(1, 0, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_ReadOne(1, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_MoveNext(1, nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_RestoreMaxRecord(7), ZARVO_OK);
  Zarvo_CloseCom();
  EXPECT_EQ(Zarvo_RestoreMaxRecord(0), ZARVO_OK);  // even without a port
  EXPECT_EQ(Requests(), before);
}

// The log itself, and requests the library never sends.
TEST(VirtualEventLogTest, FullLogDropsItsOldestRecordKeepingTheReadPosition) {
  sim::EventLog log;
  for (uint32_t n = 1; n <= sim::EventLog::kCapacity + 5; ++n) {
    log.Append(Numbered(n));
    if (n <= 10) log.Next();  // the read position on record 11
  }
  ASSERT_EQ(log.records().size(), sim::EventLog::kCapacity);
  EXPECT_EQ(log.records().front(), Numbered(6));
  EXPECT_EQ(log.Current(), Numbered(11));
  // Block numbering counts indexes as the read position does, after drops too.
  const size_t slot = log.position() % sim::EventLog::kBlockRecords;
  const std::vector<uint8_t> block =
      log.Block(static_cast<uint8_t>(log.position() / sim::EventLog::kBlockRecords));
  EXPECT_EQ(std::memcmp(&block[slot * 16], log.Current().data(), 16), 0);
}

TEST(VirtualEventLogTest, MalformedClearAndBlockRequestsAreRefused) {
  sim::ControllerState state(1);
  const size_t seeded = state.events.records().size();
  auto status = [&](std::vector<uint8_t> body) {
    sim::Request request;
    request.command = body[2];
    request.body = std::move(body);
    sim::Reply reply;
    sim::Handlers()[request.command](state, request, reply);
    return reply.status;
  };
  EXPECT_NE(status({0x80, 0x01, kCmdClearEvents}), 0);
  EXPECT_NE(status({0x80, 0x01, kCmdClearEvents, 0x3C, 0xC3, 0x94, 0x6A}), 0);
  EXPECT_EQ(state.events.records().size(), seeded);
  EXPECT_NE(status({0x80, 0x01, kCmdReadEventBlock, 0x00, 0x00}), 0);  // no 0x80 flag
}

}  // namespace
}  // namespace zarvo
