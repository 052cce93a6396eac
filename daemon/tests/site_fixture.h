// The one fixture for daemon tests: lines of virtual controllers on
// pseudo-terminals, a journal in a real SQLite file in a fresh directory,
// and helpers to compare what the controllers logged with what the journal
// holds.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "collect/collector.h"
#include "config/site_config.h"
#include "event_source.h"
#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvod::testing {

class VirtualSiteTest : public ::testing::Test {
 protected:
  // One entry per line: the addresses of its controllers.
  explicit VirtualSiteTest(std::vector<std::vector<uint8_t>> lines = {{1, 2}}) {
    for (auto& addresses : lines) {
      addresses_.push_back(addresses);
      buses_.push_back(std::make_unique<zarvo::sim::VirtualBus>(addresses));
    }
  }

  void SetUp() override {
    char dir[] = "/tmp/zarvod-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    for (auto& bus : buses_) ASSERT_TRUE(bus->Start());
    std::string error;
    journal_ = Journal::Open(JournalPath(), error);
    ASSERT_TRUE(journal_) << error;
  }

  void TearDown() override {
    collectors_.clear();
    for (ZarvoLine* line : lines_) Zarvo_LineDestroy(line);
    lines_.clear();
    for (auto& bus : buses_) bus->Stop();
    journal_.reset();
    std::filesystem::remove_all(dir_);
  }

  std::string JournalPath() const { return dir_ + "/journal.db"; }
  sqlite3* JournalDb() const { return journal_->db(); }
  static std::string LineName(size_t line) { return "line" + std::to_string(line); }
  static std::string Name(size_t line, uint8_t address) {
    return "C" + std::to_string(line) + "." + std::to_string(address);
  }

  // The site file of these lines: controllers named by Name(), and the
  // group "lobby" of the first controller of each line.
  SiteConfig Config() const {
    SiteConfig config;
    config.site = "test";
    config.poll_interval_ms = 10;
    config.journal.path = JournalPath();
    for (size_t i = 0; i < buses_.size(); ++i) {
      LineConfig line{LineName(i), buses_[i]->device_name(), 9600, {}};
      for (uint8_t a : addresses_[i]) line.controllers.push_back({a, Name(i, a), {}});
      config.groups["lobby"].push_back(LineName(i) + "/" + std::to_string(addresses_[i][0]));
      config.lines.push_back(line);
    }
    return config;
  }

  // Valid requests the whole site received.
  uint64_t SiteRequests() const {
    uint64_t n = 0;
    for (const auto& bus : buses_) n += bus->request_count();
    return n;
  }

  // The collector the daemon would run for this controller, on a line the
  // test opens itself.
  Collector& CollectorFor(size_t line, uint8_t address) {
    auto& slot = collectors_[{line, address}];
    if (!slot) {
      if (lines_.size() <= line) lines_.resize(line + 1, nullptr);
      if (!lines_[line]) {
        lines_[line] = Zarvo_LineCreate();
        EXPECT_EQ(Zarvo_LineOpenCom(lines_[line], buses_[line]->device_name().c_str(), 9600),
                  ZARVO_OK);
      }
      const auto id = journal_->Controller({"test", LineName(line), address, Name(line, address)});
      EXPECT_TRUE(id);
      slot = std::make_unique<Collector>(*journal_, id.value_or(0), lines_[line], address,
                                         Name(line, address));
    }
    return *slot;
  }

  // Turns until the controller has nothing left to journal and its read
  // position has caught up with what block reads took.
  void Drain(size_t line, uint8_t address) {
    const std::atomic<bool> stop{false};
    Collector& collector = CollectorFor(line, address);
    TurnResult result = TurnResult::kMore;
    for (int turns = 0; turns < 10000; ++turns) {
      result = collector.Turn(64, stop);
      if (result != TurnResult::kMore &&
          !(result == TurnResult::kIdle && collector.catching_up())) {
        break;
      }
    }
    EXPECT_EQ(result, TurnResult::kIdle) << Name(line, address);
  }

  // Logs `count` card events (cards first_card on); returns what was logged.
  std::vector<StoredRecord> LogEvents(size_t line, uint8_t address, int count,
                                      uint32_t first_card = 1) {
    std::vector<StoredRecord> logged;
    buses_[line]->WithController(address, [&](zarvo::sim::ControllerState& state) {
      for (int i = 0; i < count; ++i) {
        state.LogEvent(zarvo::sim::kEventCardPresented, 0, first_card + static_cast<uint32_t>(i),
                       0);
        logged.push_back(state.events.records().back());
      }
    });
    return logged;
  }

  std::vector<StoredRecord> ControllerLog(size_t line, uint8_t address) {
    std::vector<StoredRecord> records;
    buses_[line]->WithController(address, [&](zarvo::sim::ControllerState& state) {
      for (const auto& r : state.events.records()) records.push_back(r);
    });
    return records;
  }

  std::vector<StoredRecord> Journaled(size_t line, uint8_t address) {
    std::string error;
    auto reader = JournalReader::Open(JournalPath(), error);
    EXPECT_TRUE(reader) << error;
    std::vector<StoredRecord> records;
    if (!reader) return records;
    int64_t seq = 0;
    reader->ForEachEvent(0, 0, [&](const EventRow& e) {
      if (e.controller != Name(line, address)) return;
      EXPECT_EQ(e.seq, ++seq) << "sequence numbers run without holes";
      records.push_back(e.raw);
    });
    return records;
  }

  std::vector<GapRow> Gaps() {
    std::string error;
    auto reader = JournalReader::Open(JournalPath(), error);
    return reader ? reader->Gaps(100) : std::vector<GapRow>{};
  }

  std::string dir_;
  std::vector<std::vector<uint8_t>> addresses_;
  std::vector<std::unique_ptr<zarvo::sim::VirtualBus>> buses_;
  std::unique_ptr<Journal> journal_;
  std::vector<ZarvoLine*> lines_;
  std::map<std::pair<size_t, uint8_t>, std::unique_ptr<Collector>> collectors_;
};

}  // namespace zarvod::testing
