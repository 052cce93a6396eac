// Test fixture: lines of virtual controllers on pseudo-terminals and a real
// SQLite file in a fresh directory. Shaped like the daemon's own site
// fixture (tests/site_fixture.h), whose journal can take the place of the
// plain database here.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "virtual_bus.h"

namespace zarvod::testing {

// The site file as the daemon reads it, in the same shape (SiteConfig).
struct LookalikeController {
  int address = 0;
  std::string name;
  std::vector<std::string> doors;
};
struct LookalikeLine {
  std::string name;
  std::string port;
  int baud = 9600;
  std::vector<LookalikeController> controllers;
};
struct LookalikeClock {
  bool set_at_start = true;
  std::string daily_at = "03:00";
  bool after_dst_change = true;
  int drift_limit_s = 5;
};
struct LookalikeConfig {
  std::string site = "test";
  LookalikeClock clock;
  std::map<std::string, std::vector<std::string>> groups;
  std::vector<LookalikeLine> lines;
};

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
    ASSERT_EQ(sqlite3_open(JournalPath().c_str(), &db_), SQLITE_OK);
  }

  void TearDown() override {
    for (auto& bus : buses_) bus->Stop();
    sqlite3_close(db_);
    std::filesystem::remove_all(dir_);
  }

  std::string JournalPath() const { return dir_ + "/journal.db"; }
  sqlite3* JournalDb() const { return db_; }
  static std::string LineName(size_t line) { return "line" + std::to_string(line); }
  static std::string Name(size_t line, uint8_t address) {
    return "C" + std::to_string(line) + "." + std::to_string(address);
  }

  // The site file of these lines: controllers named by Name(), and the
  // group "lobby" of the first controller of each line.
  LookalikeConfig Config() const {
    LookalikeConfig config;
    for (size_t i = 0; i < buses_.size(); ++i) {
      LookalikeLine line{LineName(i), buses_[i]->device_name(), 9600, {}};
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

  std::string dir_;
  std::vector<std::vector<uint8_t>> addresses_;
  std::vector<std::unique_ptr<zarvo::sim::VirtualBus>> buses_;
  sqlite3* db_ = nullptr;
};

}  // namespace zarvod::testing
